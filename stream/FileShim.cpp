// The one place that opens, seeks and tells standard files: UTF-8 paths and 64-bit offsets on every platform.

// Before any include: 32-bit POSIX systems then give FILE handles and offsets that reach past 2 GiB.
#ifndef _WIN32
#define _FILE_OFFSET_BITS 64
#endif

#include "stream/FileShim.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

std::FILE* OpenPath(const std::filesystem::path& path, bool bWrite)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), bWrite ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), bWrite ? "wb" : "rb");
#endif
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
        const std::filesystem::path path = ToPath(fileName);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            return nullptr;
        return OpenPath(path, false);
    } catch (const std::exception&) {
        // A name that cannot be converted to a path names no file we could open.
        return nullptr;
    }
}

std::FILE* CFileShim::OpenForWriting(const std::string& fileName)
{
    try {
        return OpenPath(ToPath(fileName), true);
    } catch (const std::exception&) {
        return nullptr;
    }
}

int CFileShim::Seek(std::FILE* pFile, int64_t nOffset, int nOrigin)
{
#ifdef _WIN32
    return _fseeki64(pFile, nOffset, nOrigin);
#else
    return fseeko(pFile, static_cast<off_t>(nOffset), nOrigin);
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
    std::error_code ec;
    const std::filesystem::path path = ToPath(fileName);
    if (std::filesystem::is_regular_file(path, ec)) {
        const uintmax_t nBytes = std::filesystem::file_size(path, ec);
        std::ifstream probe(path, std::ios::binary);
        if (!ec && probe) {
            nSize = static_cast<uint64_t>(nBytes);
            return true;
        }
    }
    strCause = DescribeInputProblem(fileName);
    return false;
}

std::string CFileShim::DescribeInputProblem(const std::string& fileName)
{
    std::error_code ec;
    const std::filesystem::path path = ToPath(fileName);
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return "the file does not exist";
    if (ec)
        return ec.message();
    if (status.type() == std::filesystem::file_type::directory)
        return "it is a directory";
    if (status.type() != std::filesystem::file_type::regular)
        return "it is not a regular file";
    std::ifstream probe(path, std::ios::binary);
    if (!probe)
        return "it cannot be read (permission denied?)";
    return "it is not a readable DTS stream or RIFF WAVE file (a WAVE file needs a \"fmt \" chunk and a \"data\" chunk after it)";
}

std::string CFileShim::DescribeOutputProblem(const std::string& fileName)
{
    std::error_code ec;
    const std::filesystem::path path = ToPath(fileName);
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
    return "the file cannot be created (read-only folder or no permission?)";
}
