// The one place that opens, seeks and tells standard files: UTF-8 paths and 64-bit offsets on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class CFileShim {
public:
    // A UTF-8 path as the file system takes it on this platform; on Windows, bytes that are not
    // UTF-8 give the empty path, which names no file.
    static std::filesystem::path ToPath(const std::string& fileName);
    // fileName is UTF-8. Only a regular file is opened (mode "rb"): a directory opens on some
    // systems and fails only at its first read, and a fifo or a device could block the open or
    // never end, so all of them give null like a missing or unreadable file.
    static std::FILE* OpenForReading(const std::string& fileName);
    // fileName is UTF-8. Creates or truncates (mode "wb"); null on failure.
    static std::FILE* OpenForWriting(const std::string& fileName);
    // As fseek, with a 64-bit offset: 0 on success.
    static int Seek(std::FILE* pFile, int64_t nOffset, int nOrigin);
    // As ftell, with a 64-bit result: -1 on failure.
    static int64_t Tell(std::FILE* pFile);

    // The size of a regular file; false, with the reason in strCause, for anything that cannot
    // be opened as one (the wording of DescribeInputProblem).
    static bool GetRegularFileSize(const std::string& fileName, uint64_t& nSize, std::string& strCause);
    // Why a file cannot be read, in plain English ("the file does not exist", "it is a directory").
    // The one place that tells a missing file, a folder, a device and an unreadable file apart.
    static std::string DescribeInputProblem(const std::string& fileName);
    // Why an output cannot be created, in plain English ("its folder does not exist").
    static std::string DescribeOutputProblem(const std::string& fileName);
};
