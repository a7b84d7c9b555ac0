// A unique scratch directory under the system temp directory, removed with everything in it at destruction.
#pragma once

#include <filesystem>
#include <string>

class CTempDir {
public:
    // Throws std::runtime_error when no fresh directory can be made.
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // Path of an entry inside the directory; nothing is created.
    std::string Path(const std::string& name) const;
    const std::filesystem::path& Root() const { return m_pathRoot; }

private:
    std::filesystem::path m_pathRoot;
};
