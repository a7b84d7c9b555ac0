// A unique scratch directory for tests that write files.
#include "support/TempDir.h"

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
    std::error_code error; // a destructor must not throw; a leftover directory is harmless
    std::filesystem::remove_all(m_pathRoot, error);
}

std::string CTempDir::Path(const std::string& name) const
{
    return (m_pathRoot / name).string();
}
