// SPDX-License-Identifier: GPL-3.0-or-later
// What this machine lets a test show.
#include "support/MachineTraits.h"

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

bool HasDevFull()
{
    return std::filesystem::exists("/dev/full");
}

bool PermissionsDenyAccess()
{
    static const bool s_bDeny = [] {
        CTempDir dir;
        const std::string locked = dir.Write("locked", {1});
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        return !std::ifstream(locked).is_open();
    }();
    return s_bDeny;
}
