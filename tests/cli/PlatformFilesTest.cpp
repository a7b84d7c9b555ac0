// SPDX-License-Identifier: GPL-3.0-or-later
// Files where Windows and POSIX differ, through the file shim and kestrune-cli in process: names
// that are not ASCII, files over 4 GiB, and files another handle holds open. Runs on both; the
// cases that need Windows share modes run only there.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <io.h>
#include <winioctl.h>
#endif

#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "stream/FileShim.h"
#include "support/OutputFiles.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

fs::path FromUtf8(const std::string& text)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

Bytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Makes a file of nSize bytes that ends with tail and has a hole before it, so a file over 4 GiB
// takes no disk space. NTFS needs to be told the file is sparse, or it writes the zeros.
void MakeSparseFile(const fs::path& path, int64_t nSize, const Bytes& tail)
{
    std::FILE* pFile = OpenForWriting(Utf8(path));
    ASSERT_NE(pFile, nullptr);
#ifdef _WIN32
    DWORD nReturned = 0;
    DeviceIoControl(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pFile))), FSCTL_SET_SPARSE,
                    nullptr, 0, nullptr, 0, &nReturned, nullptr);
#endif
    ASSERT_EQ(CFileShim::Seek(pFile, nSize - static_cast<int64_t>(tail.size()), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(tail.data(), 1, tail.size(), pFile), tail.size());
    ASSERT_EQ(std::fclose(pFile), 0);
}

#ifdef _WIN32
// A handle as another Windows program takes it, with its own access and share mode.
class CForeignHandle {
public:
    CForeignHandle(const fs::path& path, DWORD nAccess, DWORD nShare)
        : m_hFile(CreateFileW(path.c_str(), nAccess, nShare, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~CForeignHandle()
    {
        if (IsOpen())
            CloseHandle(m_hFile);
    }
    CForeignHandle(const CForeignHandle&) = delete;
    CForeignHandle& operator=(const CForeignHandle&) = delete;
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFile;
};
#endif

} // namespace

// Names outside ASCII, in the folder and the file, with characters no single ANSI code page
// holds and one outside the Basic Multilingual Plane: catches a path passed to the system in
// the ANSI code page, a UTF-8 name taken as Latin-1, an output name built from a mangled input
// name, and a report that spells the name differently from how it was given.
TEST(PlatformFiles, NamesOutsideAsciiAreReadWrittenAndReported)
{
    CTempDir dir;
    const fs::path folder = dir.Root() / fs::path(u8"Bande originale – été");
    fs::create_directories(folder);
    const fs::path input = folder / fs::path(u8"Фильм 象 \U0001F3B5.dts");
    fs::copy_file(TestDataPath("stereo_48k.dts"), input);
    const Bytes sample = ReadFileBytes(TestDataPath("stereo_48k.dts"));

    std::FILE* pFile = CFileShim::OpenForReading(Utf8(input));
    ASSERT_NE(pFile, nullptr) << "the shim cannot open " << Utf8(input);
    Bytes head(16);
    EXPECT_EQ(std::fread(head.data(), 1, head.size(), pFile), head.size());
    std::fclose(pFile);
    EXPECT_EQ(head, Bytes(sample.begin(), sample.begin() + 16));

    CliRun run = RunCli({"--json", "--rebuild", Utf8(input)});
    ASSERT_EQ(run.nExit, 0) << run.err;
    const nlohmann::json file = nlohmann::json::parse(run.out)["files"][0];
    EXPECT_EQ(file["file"], Utf8(input));
    EXPECT_EQ(file["state"], "done");
    EXPECT_EQ(file["size"], sample.size());
    const fs::path output = folder / fs::path(u8"Фильм 象 \U0001F3B5.dts.fixed.dts");
    EXPECT_EQ(file["output"], Utf8(output));
    EXPECT_EQ(ReadAll(output), sample) << "the rebuilt copy of a plain 16-bit stream is the stream";
    // Exactly the two files: no second output under a mangled name.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// A name that is not UTF-8 names no file on Windows (and none exists here on POSIX): it is a
// file that cannot be opened, reported with its cause, and the next file is still processed.
// Catches a conversion error that ends the program instead.
TEST(PlatformFiles, NameThatIsNotUtf8IsAFileThatCannotBeOpened)
{
    CTempDir dir;
    const std::string good = dir.Path("good.dts");
    WriteFileBytes(good, ReadFileBytes(TestDataPath("stereo_48k.dts")));
    const std::string bad = Utf8(dir.Root()) + "/bad\xff\xfe.dts";

    CliRun run = RunCli({"--json", bad, good});
    EXPECT_EQ(run.nExit, 1);
    const nlohmann::json files = nlohmann::json::parse(run.out)["files"];
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["state"], "error: cannot open input");
    EXPECT_EQ(files[1]["state"], "done");
    EXPECT_TRUE(Contains(run.err, "cannot open input")) << run.err;
}

// Offsets past 4 GiB: the shim writes, seeks, tells and reads there, and the report gives the
// whole size. Catches a 32-bit long in fseek or ftell (Windows keeps long at 32 bits) and a size
// cut to 32 bits.
TEST(PlatformFiles, FilesOver4GiBSeekTellReadAndReportTheirSize)
{
    CTempDir dir;
    const fs::path path = dir.Root() / "big.dts";
    const Bytes sample = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const int64_t nSize = (int64_t{1} << 32) + 4096 + static_cast<int64_t>(sample.size());
    ASSERT_NO_FATAL_FAILURE(MakeSparseFile(path, nSize, sample));
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), nSize);

    std::FILE* pFile = CFileShim::OpenForReading(Utf8(path));
    ASSERT_NE(pFile, nullptr);
    ASSERT_EQ(CFileShim::Seek(pFile, 0, SEEK_END), 0);
    EXPECT_EQ(CFileShim::Tell(pFile), nSize);
    const int64_t nTail = nSize - static_cast<int64_t>(sample.size());
    ASSERT_EQ(CFileShim::Seek(pFile, nTail, SEEK_SET), 0);
    Bytes tail(sample.size());
    EXPECT_EQ(std::fread(tail.data(), 1, tail.size(), pFile), tail.size());
    EXPECT_EQ(tail, sample);
    EXPECT_EQ(CFileShim::Tell(pFile), nSize);
    ASSERT_EQ(CFileShim::Seek(pFile, -static_cast<int64_t>(sample.size()), SEEK_CUR), 0);
    EXPECT_EQ(CFileShim::Tell(pFile), nTail);
    std::fclose(pFile);

    CliRun run = RunCli({"--json", Utf8(path)});
    const nlohmann::json file = nlohmann::json::parse(run.out)["files"][0];
    EXPECT_EQ(file["size"], nSize);
}

// Sharing a file with other handles, as a player or a recorder would: Kestrune's input stays
// readable by others while Kestrune reads it, its output can be watched while it is written, and
// an input another handle is still writing can be read. Catches an input opened with write
// access or a deny-share mode, which on Windows locks other programs out.
TEST(PlatformFiles, OpenFilesAreSharedWithOtherHandles)
{
    CTempDir dir;
    const fs::path input = dir.Root() / "shared.dts";
    const Bytes sample = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    WriteFileBytes(Utf8(input), sample);

    std::FILE* pInput = CFileShim::OpenForReading(Utf8(input));
    ASSERT_NE(pInput, nullptr);
    EXPECT_EQ(ReadAll(input), sample) << "a second reader of the input";
#ifdef _WIN32
    {
        // Many Windows programs open for reading and share reading only, which fails while any
        // other handle has write access.
        CForeignHandle player(input, GENERIC_READ, FILE_SHARE_READ);
        EXPECT_TRUE(player.IsOpen()) << "a reader that shares only reading, error " << GetLastError();
    }
#endif
    std::fclose(pInput);

    const fs::path output = dir.Root() / "being-written.dts";
    std::FILE* pOutput = OpenForWriting(Utf8(output));
    ASSERT_NE(pOutput, nullptr);
    ASSERT_EQ(std::fwrite(sample.data(), 1, sample.size(), pOutput), sample.size());
    ASSERT_EQ(std::fflush(pOutput), 0);
    EXPECT_EQ(ReadAll(output), sample) << "a reader of the output while it is written";
    std::fclose(pOutput);

    // A recorder still appending to the input: the walk reads what is there.
    std::ofstream recorder(input, std::ios::binary | std::ios::app);
    ASSERT_TRUE(recorder.is_open());
    CliRun run = RunCli({"--json", "--rebuild", Utf8(input)});
    EXPECT_EQ(run.nExit, 0) << run.err;
    EXPECT_EQ(ReadAll(FromUtf8(Utf8(input) + ".fixed.dts")), sample);
}

// Files another Windows program holds without sharing: each is a failure naming the file and
// the cause, the other files are still processed and nothing held is changed. POSIX has no such
// locks, so this runs on Windows only.
TEST(PlatformFiles, FilesHeldWithoutSharingFailWithTheirCause)
{
#ifndef _WIN32
    GTEST_SKIP() << "share modes exist on Windows only";
#else
    CTempDir dir;
    const Bytes sample = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const fs::path locked = dir.Root() / "locked.dts";
    WriteFileBytes(Utf8(locked), sample);
    const fs::path good = dir.Root() / "good.dts";
    WriteFileBytes(Utf8(good), sample);
    // An output a player has open, sharing reading only: it cannot be emptied and rewritten.
    const fs::path played = dir.Root() / "good.dts.fixed.dts";
    const Bytes old = {1, 2, 3, 4};
    WriteFileBytes(Utf8(played), old);

    CForeignHandle editor(locked, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(editor.IsOpen());
    CForeignHandle player(played, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(player.IsOpen());

    CliRun run = RunCli({"--json", "--rebuild", Utf8(locked), Utf8(good)});
    EXPECT_EQ(run.nExit, 1);
    const nlohmann::json files = nlohmann::json::parse(run.out)["files"];
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["state"], "error: cannot open input");
    EXPECT_EQ(files[1]["state"], "error: cannot create output");
    EXPECT_TRUE(Contains(run.err, Utf8(locked) + ": cannot open input: ")) << run.err;
    EXPECT_TRUE(Contains(run.err, Utf8(played) + ": cannot create output: ")) << run.err;
    EXPECT_FALSE(fs::exists(Utf8(locked) + ".fixed.dts"));
    EXPECT_EQ(ReadAll(played), old);
    EXPECT_EQ(ReadAll(good), sample);
#endif
}
