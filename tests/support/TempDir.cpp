// SPDX-License-Identifier: GPL-3.0-or-later
// A unique scratch directory for tests that write files.
#include "support/TempDir.h"

#include "support/TestFiles.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <system_error>

CTempDir::CTempDir()
{
    // Tests run in parallel under CTest, so the name mixes a random seed with a per-process counter.
    static std::atomic<unsigned> s_nCounter{0};
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "kestrune-test-%08x-%u", static_cast<unsigned>(random()),
                      s_nCounter.fetch_add(1));
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error)) {
            m_pathRoot = base / name;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory under " + base.string());
}

CTempDir::~CTempDir()
{
    // A destructor must not throw; a leftover directory is harmless. Folders a test locked are
    // opened again first, or their contents could not be removed.
    std::error_code error;
    const auto unlock = [](const std::filesystem::path& path) {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    };
    unlock(m_pathRoot);
    for (auto it = std::filesystem::recursive_directory_iterator(m_pathRoot, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            unlock(it->path());
    }
    std::filesystem::remove_all(m_pathRoot, error);
}

std::string CTempDir::Path(const std::string& name) const
{
    return (m_pathRoot / name).string();
}

std::string CTempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    const std::string path = Path(name);
    WriteFileBytes(path, bytes);
    return path;
}
