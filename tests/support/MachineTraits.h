// SPDX-License-Identifier: GPL-3.0-or-later
// What this machine lets a test show: some failures can only be provoked where a device or a
// permission stops them, and a test that cannot provoke one skips with the reason.
#pragma once

#include <string>

// True when /dev/full exists: a device on which every write fails as on a full disk.
bool HasDevFull();
// True when a file without permissions cannot be read by this process (false for root, and where
// permission bits do not bind reads). Checks once, on a scratch file.
bool PermissionsDenyAccess();

inline const std::string kNoDevFull = "no /dev/full here, so a write on a full device was not checked";
inline const std::string kPermissionsDoNotDeny =
    "permissions do not stop this user (root?), so the unreadable and read-only cases were not checked";
