// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that opens, seeks and tells standard files: UTF-8 paths and 64-bit offsets on every platform.

// Before any include: 32-bit POSIX systems then give FILE handles and offsets that reach past 2 GiB.
#ifndef _WIN32
#define _FILE_OFFSET_BITS 64
#endif

#include "stream/FileShim.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char* const kNameTooLong = "the name is too long";
const char* const kUnusableName = "the name cannot be used on this system";
// Names tried before giving up; a clash with another program's file of the same random name is
// already unlikely once.
constexpr int kTemporaryNameTries = 100;

// The inverse of CFileShim::ToPath.
std::string FromPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string str = path.u8string();
    return std::string(reinterpret_cast<const char*>(str.data()), str.size());
#else
    return path.string();
#endif
}

// A hidden name that is new with overwhelming likelihood; the exclusive create still checks it.
// It is at most nFitIn bytes long (shortened where the final name is shorter, so that the
// temporary fits wherever the final name does; the shortest final name still leaves 36 bits).
std::string TemporaryName(size_t nFitIn)
{
    thread_local std::mt19937_64 generator{(static_cast<uint64_t>(std::random_device{}()) << 32)
                                           ^ static_cast<uint64_t>(std::random_device{}())};
    char name[40];
    std::snprintf(name, sizeof name, ".kestrune-%016llx.part", static_cast<unsigned long long>(generator()));
    if (std::strlen(name) <= nFitIn)
        return name;
    std::snprintf(name, sizeof name, ".k%016llx", static_cast<unsigned long long>(generator()));
    return std::string(name, std::min(std::max<size_t>(nFitIn, 11), std::strlen(name)));
}

#ifdef _WIN32

std::FILE* OpenRegularForReading(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    // "S": the file is read in order, so the system may read ahead further.
    return _wfopen(path.c_str(), L"rbS");
}

// Null with errno set when the name exists or cannot be created.
std::FILE* CreateExclusive(const std::filesystem::path& path)
{
    const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* pFile = _wfdopen(fd, L"wb");
    if (pFile == nullptr)
        _close(fd);
    return pFile;
}

#else

// Opening without waiting means a fifo without a writer, or a device that would wait for a
// carrier, cannot block; what was opened is then checked on the handle itself, so a fifo put in
// place of a checked file is refused all the same.
std::FILE* OpenRegularForReading(const std::filesystem::path& path)
{
    std::error_code error;
    // Devices are not opened at all where the name already tells.
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    const int nFlags = ::fcntl(fd, F_GETFL);
    std::FILE* pFile = nullptr;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && nFlags >= 0
        && ::fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) == 0)
        pFile = ::fdopen(fd, "rb");
#ifdef POSIX_FADV_SEQUENTIAL
    // Inputs are read in order: the kernel may read ahead further. Only a hint; a failure is no error.
    if (pFile != nullptr)
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (pFile == nullptr)
        ::close(fd);
    return pFile;
}

std::FILE* CreateExclusive(const std::filesystem::path& path)
{
    int nFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
#ifdef O_NOFOLLOW
    nFlags |= O_NOFOLLOW;
#endif
    const int fd = ::open(path.c_str(), nFlags, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE* pFile = ::fdopen(fd, "wb");
    if (pFile == nullptr) {
        const int nError = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = nError;
    }
    return pFile;
}

#endif

// Whether a file of ours may be renamed over fileName: in a folder with the sticky bit (/tmp) only
// the owner of the file or of the folder may replace it. Told before a walk, not after it.
bool IsRenameAllowedOver(const std::string& fileName)
{
#ifdef _WIN32
    (void)fileName;
    return true;
#else
    const std::filesystem::path path = CFileShim::ToPath(fileName);
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    struct stat file {};
    struct stat dir {};
    if (::lstat(path.c_str(), &file) != 0 || ::stat(folder.c_str(), &dir) != 0 || (dir.st_mode & S_ISVTX) == 0)
        return true;
    // The superuser may replace anything (it holds CAP_FOWNER as a rule).
    const uid_t nMe = ::geteuid();
    return nMe == 0 || file.st_uid == nMe || dir.st_uid == nMe;
#endif
}

// Tries fresh temporary names beside strBesidePath until takeName(path) takes one, which goes to
// strTempPath; a failure for any other cause than a name in use (errno EEXIST) ends the search.
template <typename TakeName>
bool TakeTemporaryName(const std::string& strBesidePath, std::string& strTempPath, std::string& strCause,
                       TakeName takeName)
{
    try {
        const std::filesystem::path beside = CFileShim::ToPath(strBesidePath);
        for (int nTry = 0; nTry < kTemporaryNameTries; ++nTry) {
            const std::filesystem::path temp = beside.parent_path() / TemporaryName(beside.filename().native().size());
            errno = 0;
            if (takeName(temp)) {
                strTempPath = FromPath(temp);
                return true;
            }
            if (errno != EEXIST) {
                strCause = CFileShim::DescribeOutputProblem(strBesidePath, std::error_code(errno, std::generic_category()));
                return false;
            }
        }
        strCause = "no unused name for a temporary file was found in its folder";
    } catch (const std::exception&) {
        strCause = kUnusableName;
    }
    return false;
}

}  // namespace

// Windows takes the path as UTF-16; POSIX takes the bytes as they are, since a file name there
// need not be valid UTF-8 at all.
std::filesystem::path CFileShim::ToPath(const std::string& fileName)
{
#ifdef _WIN32
    try {
        return std::filesystem::path(
            std::u8string(reinterpret_cast<const char8_t*>(fileName.data()), fileName.size()));
    } catch (const std::exception&) {
        // Bytes that are not UTF-8 name no file here. The empty path fails every later check
        // like a missing file, where the conversion error would end the program in callers
        // that only ask the file system questions.
        return {};
    }
#else
    return std::filesystem::path(fileName);
#endif
}

std::FILE* CFileShim::OpenForReading(const std::string& fileName)
{
    try {
        std::FILE* pFile = OpenRegularForReading(ToPath(fileName));
        // Inputs are read in large blocks into buffers of their readers. A library buffer would
        // split every block whose start it holds a few bytes of into two reads and a copy.
        if (pFile != nullptr)
            std::setvbuf(pFile, nullptr, _IONBF, 0);
        return pFile;
    } catch (const std::exception&) {
        // A name that cannot be converted to a path names no file we could open.
        return nullptr;
    }
}

std::FILE* CFileShim::CreateTemporaryBeside(const std::string& strBesidePath, std::string& strTempPath,
                                            std::string& strCause)
{
    std::FILE* pFile = nullptr;
    const bool bTaken = TakeTemporaryName(strBesidePath, strTempPath, strCause, [&pFile](const std::filesystem::path& temp) {
        pFile = CreateExclusive(temp);
        return pFile != nullptr;
    });
    return bTaken ? pFile : nullptr;
}

std::string CFileShim::UnusedNameBeside(const std::string& strBesidePath, std::string& strCause)
{
    std::string strTempPath;
    std::FILE* pFile = CreateTemporaryBeside(strBesidePath, strTempPath, strCause);
    if (pFile == nullptr)
        return std::string();
    std::fclose(pFile);
    std::error_code ec;
    std::filesystem::remove(ToPath(strTempPath), ec);
    return strTempPath;
}

bool CFileShim::IsReplaceable(const std::string& fileName, std::string& strCause)
{
    try {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::symlink_status(ToPath(fileName), ec);
        switch (status.type()) {
        case std::filesystem::file_type::not_found:
            return true;
        case std::filesystem::file_type::regular:
            if (!IsRenameAllowedOver(fileName)) {
                strCause = "the older output belongs to another user in a folder that lets only owners replace "
                           "files (sticky); it was left as it is";
                return false;
            }
            return true;
        case std::filesystem::file_type::directory:
            strCause = "a folder of that name is in the way";
            break;
        case std::filesystem::file_type::symlink:
            strCause = "a link of that name is in the way (it was left as it is; remove it to write the output)";
            break;
        case std::filesystem::file_type::none:
            strCause = DescribeOutputProblem(fileName, ec);
            break;
        default:
            strCause = "something that is not a plain file (a fifo or a device) is in the way (it was left as it is)";
            break;
        }
    } catch (const std::exception&) {
        strCause = kUnusableName;
    }
    return false;
}

bool CFileShim::RenameOver(const std::string& strFrom, const std::string& strTo, std::string& strCause)
{
    std::error_code ec;
    try {
#ifdef _WIN32
        // Replaces an existing file, which a plain rename does not do everywhere on Windows.
        if (MoveFileExW(ToPath(strFrom).c_str(), ToPath(strTo).c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
        std::filesystem::rename(ToPath(strFrom), ToPath(strTo), ec);
        if (!ec)
            return true;
#endif
    } catch (const std::exception&) {
        ec = std::make_error_code(std::errc::invalid_argument);
    }
    strCause = DescribeOutputProblem(strTo, ec);
    return false;
}

std::FILE* CFileShim::CreateUnnamedBeside(const std::string& strBesidePath)
{
#if defined(__linux__) && defined(O_TMPFILE)
    // The file is named through /proc at the end (NameUnnamed); without /proc (some containers)
    // it never could be, so the named scheme is used from the start.
    if (::access("/proc/self/fd", X_OK) != 0)
        return nullptr;
    try {
        std::filesystem::path folder = ToPath(strBesidePath).parent_path();
        if (folder.empty())
            folder = ".";
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            return nullptr;
        std::FILE* pFile = ::fdopen(fd, "wb");
        if (pFile == nullptr)
            ::close(fd);
        return pFile;
    } catch (const std::exception&) {
        return nullptr;
    }
#else
    (void)strBesidePath;
    return nullptr;
#endif
}

bool CFileShim::NameUnnamed(std::FILE* pFile, const std::string& strBesidePath, std::string& strTempPath,
                            std::string& strCause)
{
#if defined(__linux__) && defined(O_TMPFILE)
    // Linking an open file by its descriptor needs no privilege through /proc.
    const std::string strSelf = "/proc/self/fd/" + std::to_string(::fileno(pFile));
    return TakeTemporaryName(strBesidePath, strTempPath, strCause, [&strSelf](const std::filesystem::path& temp) {
        return ::linkat(AT_FDCWD, strSelf.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
#else
    (void)pFile;
    (void)strBesidePath;
    (void)strTempPath;
    strCause = "files without a name are not supported here";
    return false;
#endif
}

bool CFileShim::SyncToDisk(std::FILE* pFile)
{
    if (std::fflush(pFile) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(pFile)) == 0;
#else
    // A file system that cannot sync (EINVAL: a pipe or a special file system) has nothing to lose.
    return ::fsync(::fileno(pFile)) == 0 || errno == EINVAL || errno == EROFS;
#endif
}

void CFileShim::CopyPermissions(std::FILE* pFrom, std::FILE* pTo)
{
#ifdef _WIN32
    (void)pFrom;
    (void)pTo;
#else
    // From the open input, not its name: a file renamed over the input meanwhile gives nothing.
    struct stat info {};
    if (pFrom != nullptr && pTo != nullptr && ::fstat(::fileno(pFrom), &info) == 0)
        (void)::fchmod(::fileno(pTo), info.st_mode & 0777);
#endif
}

std::FILE* CFileShim::OpenStandardStream(bool bOutput)
{
    const int nStandard = bOutput ? 1 : 0;
#ifdef _WIN32
    const int fd = _dup(nStandard);
    if (fd < 0)
        return nullptr;
    _setmode(fd, _O_BINARY);
    std::FILE* pFile = _fdopen(fd, bOutput ? "wb" : "rb");
    if (pFile == nullptr)
        _close(fd);
#else
    const int fd = ::fcntl(nStandard, F_DUPFD_CLOEXEC, 3);
    if (fd < 0)
        return nullptr;
    std::FILE* pFile = ::fdopen(fd, bOutput ? "wb" : "rb");
    if (pFile == nullptr)
        ::close(fd);
#endif
    // The readers and the writer collect whole blocks themselves.
    if (pFile != nullptr)
        std::setvbuf(pFile, nullptr, _IONBF, 0);
    return pFile;
}

bool CFileShim::CanCreateIn(const std::string& strFolder, std::string& strCause)
{
    std::error_code ec;
    std::filesystem::file_status status;
    try {
        status = std::filesystem::status(ToPath(strFolder), ec);
    } catch (const std::exception&) {
        strCause = kUnusableName;
        return false;
    }
    if (status.type() == std::filesystem::file_type::not_found) {
        strCause = "the folder does not exist";
        return false;
    }
    if (!std::filesystem::is_directory(status)) {
        strCause = ec ? ec.message() : "it is not a folder";
        return false;
    }
    // The name only gives the folder: UnusedNameBeside takes the folder of a path.
    if (UnusedNameBeside(strFolder + "/probe", strCause).empty()) {
        strCause = "no file can be created in it (read-only folder or no permission?)";
        return false;
    }
    return true;
}

int CFileShim::Seek(std::FILE* pFile, int64_t nOffset, int nOrigin)
{
#ifdef _WIN32
    return _fseeki64(pFile, nOffset, nOrigin);
#else
    return fseeko(pFile, static_cast<off_t>(nOffset), nOrigin);
#endif
}

int64_t CFileShim::SizeOf(std::FILE* pFile)
{
#ifdef _WIN32
    struct _stat64 info {};
    return _fstat64(_fileno(pFile), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#else
    struct stat info {};
    return ::fstat(::fileno(pFile), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

int64_t CFileShim::Tell(std::FILE* pFile)
{
#ifdef _WIN32
    return _ftelli64(pFile);
#else
    return static_cast<int64_t>(ftello(pFile));
#endif
}

bool CFileShim::GetRegularFileSize(const std::string& fileName, uint64_t& nSize, std::string& strCause)
{
    if (std::FILE* pFile = OpenForReading(fileName)) {
        const bool bSized = Seek(pFile, 0, SEEK_END) == 0;
        const int64_t nBytes = bSized ? Tell(pFile) : -1;
        std::fclose(pFile);
        if (nBytes >= 0) {
            nSize = static_cast<uint64_t>(nBytes);
            return true;
        }
    }
    strCause = DescribeInputProblem(fileName);
    if (strCause.empty())
        strCause = "its size cannot be told";
    return false;
}

std::string CFileShim::DescribeInputProblem(const std::string& fileName)
{
    std::error_code ec;
    std::filesystem::file_status status;
    try {
        status = std::filesystem::status(ToPath(fileName), ec);
    } catch (const std::exception&) {
        return kUnusableName;
    }
    if (status.type() == std::filesystem::file_type::not_found)
        return "the file does not exist";
    if (ec == std::errc::filename_too_long)
        return kNameTooLong;
    if (ec)
        return ec.message();
    if (status.type() == std::filesystem::file_type::directory)
        return "it is a directory";
    if (status.type() != std::filesystem::file_type::regular)
        return "it is not a regular file";
    std::FILE* pProbe = OpenForReading(fileName);
    if (pProbe == nullptr)
        return "it cannot be read (permission denied?)";
    std::fclose(pProbe);
    return std::string();
}

std::string CFileShim::DescribeOutputProblem(const std::string& fileName, std::error_code error)
{
    if (error == std::errc::filename_too_long)
        return kNameTooLong;
    std::error_code ec;
    std::filesystem::path path;
    try {
        path = ToPath(fileName);
    } catch (const std::exception&) {
        return kUnusableName;
    }
    (void)std::filesystem::symlink_status(path, ec);
    if (ec == std::errc::filename_too_long)
        return kNameTooLong;
    if (std::filesystem::is_directory(path, ec))
        return "a folder of that name is in the way";
    const std::filesystem::path dir = path.parent_path();
    if (!dir.empty()) {
        const std::filesystem::file_status status = std::filesystem::status(dir, ec);
        if (status.type() == std::filesystem::file_type::not_found)
            return "its folder does not exist";
        if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
            return "its folder is a file";
    }
    if (error == std::errc::no_space_on_device)
        return "the disk is full";
    return "the file cannot be created (read-only folder or no permission?)";
}
