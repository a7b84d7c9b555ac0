// SPDX-License-Identifier: GPL-3.0-or-later
// A unique scratch directory under the system temp directory, removed with everything in it at
// destruction, folders a test made read-only included.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CTempDir {
public:
    // Throws std::runtime_error when no fresh directory can be made.
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // Path of an entry inside the directory; nothing is created.
    std::string Path(const std::string& name) const;
    // Writes a file of exactly these bytes inside the directory and returns its path; throws
    // std::runtime_error on failure.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    const std::filesystem::path& Root() const { return m_pathRoot; }

private:
    std::filesystem::path m_pathRoot;
};
