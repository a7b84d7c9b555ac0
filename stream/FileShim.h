// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that opens, seeks and tells standard files: UTF-8 paths and 64-bit offsets on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

class CFileShim {
public:
    // A UTF-8 path as the file system takes it on this platform; on Windows, bytes that are not
    // UTF-8 give the empty path, which names no file.
    static std::filesystem::path ToPath(const std::string& fileName);
    // fileName is UTF-8. Only a regular file is opened (mode "rb"): the name is opened without
    // waiting and what it names is checked on the open handle, so a fifo or a device (even one
    // swapped in after a check) never blocks, and a directory, a fifo or a device give null like
    // a missing or unreadable file.
    static std::FILE* OpenForReading(const std::string& fileName);
    // Creates a new file of a unique name in the folder of strBesidePath for writing (mode "wb"),
    // readable and writable by its owner only. It never opens a name that exists, so it never
    // follows a link or opens a fifo or a device. strTempPath receives the name; null on failure,
    // with the cause in strCause.
    // The name is never longer than the name of strBesidePath, so it fits wherever that fits.
    static std::FILE* CreateTemporaryBeside(const std::string& strBesidePath, std::string& strTempPath,
                                            std::string& strCause);
    // A name beside strBesidePath (as CreateTemporaryBeside gives them) that no file has now: a
    // file was created under it and removed again. Empty, with the cause, where none can be made.
    static std::string UnusedNameBeside(const std::string& strBesidePath, std::string& strCause);
    // Creates a file without a name in the folder of strBesidePath for writing (Linux's
    // O_TMPFILE), readable and writable by its owner only: however the process ends, nothing is
    // left until NameUnnamed gives it a name. Null where the system or file system refuses one.
    static std::FILE* CreateUnnamedBeside(const std::string& strBesidePath);
    // Gives the unnamed file pFile a new temporary name beside strBesidePath (as
    // CreateTemporaryBeside names them), in strTempPath. False, with the cause, on failure.
    static bool NameUnnamed(std::FILE* pFile, const std::string& strBesidePath, std::string& strTempPath,
                            std::string& strCause);
    // Writes what the library holds of pFile and asks the system to put it on the disk; false
    // where either fails.
    static bool SyncToDisk(std::FILE* pFile);
    // Whether an output may be put at fileName by replacing what is there: nothing or a plain
    // file may be replaced; a folder, a link, a fifo or a device is left alone (false, the cause
    // in strCause).
    static bool IsReplaceable(const std::string& fileName, std::string& strCause);
    // Renames strFrom to strTo, replacing a file of that name. False, with the cause, on failure.
    static bool RenameOver(const std::string& strFrom, const std::string& strTo, std::string& strCause);
    // Gives the open file pTo the permission bits of the open file pFrom (on POSIX; Windows has
    // none to give). Harmless when either fails.
    static void CopyPermissions(std::FILE* pFrom, std::FILE* pTo);
    // The name that stands for standard input (as an input) or standard output (as an output).
    static constexpr const char* kStandardStream = "-";
    static bool IsStandardStream(const std::string& fileName) { return fileName == kStandardStream; }
    // A new handle on standard input ("rb") or standard output ("wb"), in binary mode and
    // unbuffered; closing it leaves the process's own descriptor open. Null when it is closed.
    static std::FILE* OpenStandardStream(bool bOutput);
    // Whether outputs can be created in the folder strFolder: tried by creating and removing a
    // temporary file there, which also tells a read-only mount. False, with the cause, when not.
    static bool CanCreateIn(const std::string& strFolder, std::string& strCause);
    // As fseek, with a 64-bit offset: 0 on success.
    static int Seek(std::FILE* pFile, int64_t nOffset, int nOrigin);
    // The size of the open file pFile as the file system has it now; -1 where it cannot tell.
    static int64_t SizeOf(std::FILE* pFile);
    // As ftell, with a 64-bit result: -1 on failure.
    static int64_t Tell(std::FILE* pFile);

    // The size of a regular file; false, with the reason in strCause, for anything that cannot
    // be opened as one (the wording of DescribeInputProblem).
    static bool GetRegularFileSize(const std::string& fileName, uint64_t& nSize, std::string& strCause);
    // Why a file cannot be read, in plain English ("the file does not exist", "it is a directory").
    // The one place that tells a missing file, a folder, a device and an unreadable file apart;
    // empty for a readable regular file (what is wrong then is inside it).
    static std::string DescribeInputProblem(const std::string& fileName);
    // Why an output cannot be created, in plain English ("its folder does not exist"); error is
    // what the attempt failed with, when known.
    static std::string DescribeOutputProblem(const std::string& fileName, std::error_code error = {});
};
