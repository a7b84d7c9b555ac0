// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of COutBitStream: the exact bytes written, the last partial byte, reopening, and write errors.
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "stream/FileShim.h"
#include "stream/OutBitStream.h"
#include "support/MachineTraits.h"
#include "support/OutputFiles.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

// Catches a wrong bit order, a wrong PutBits mask (high bits leaking in) and a bit value other
// than exactly 1 being taken as a one.
TEST(OutBitStream, WritesBitsMostSignificantFirst)
{
    CTempDir dir;
    const std::string path = dir.Path("out.dts");
    COutBitStream out;
    ASSERT_TRUE(OpenOutputFile(out, path));
    EXPECT_TRUE(out.IsOpen());
    out.PutBits(0x7FFE8001, 32);  // 0111 1111 1111 1110 1000 0000 0000 0001
    out.PutBits(0xFFFFFFA5, 8);   // only the low byte: 1010 0101
    out.PutBits(0xFFFFFFFF, 0);   // nothing
    out.PutBits(0xFFFFFFFF, -4);  // nothing
    // 1, 2, 1, -1, 1, 0, 1, 255 -> 1 0 1 0 1 0 1 0 = AA
    for (int bit : {1, 2, 1, -1, 1, 0, 1, 255})
        out.PutBit(bit);
    out.Close();
    EXPECT_FALSE(out.HasWriteError());
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0x7F, 0xFE, 0x80, 0x01, 0xA5, 0xAA}));
}

// Catches a lost or badly padded last byte, and an extra byte after whole bytes.
TEST(OutBitStream, CloseCompletesOnlyAPartialByte)
{
    CTempDir dir;
    COutBitStream out;

    ASSERT_TRUE(OpenOutputFile(out, dir.Path("partial.dts")));
    out.PutBits(5, 3);  // 101 then zeros: 1010 0000
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("partial.dts")), (Bytes{0xA0}));

    ASSERT_TRUE(OpenOutputFile(out, dir.Path("whole.dts")));
    out.PutBits(0x1234, 16);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("whole.dts")), (Bytes{0x12, 0x34}));

    ASSERT_TRUE(OpenOutputFile(out, dir.Path("empty.dts")));
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("empty.dts")), Bytes{});

    // A second Close, or one on a stream never opened, must neither write nor fail.
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("empty.dts")), Bytes{});
    COutBitStream never;
    never.Close();
    never.Close();
    EXPECT_FALSE(never.IsOpen());
    EXPECT_FALSE(never.HasWriteError());
}

// Catches a reopen that drops the first file's pending bits, carries them into the second file,
// or leaves bits put while closed in the next file.
TEST(OutBitStream, ReopenCompletesThePreviousFileAndDiscardsClosedBits)
{
    CTempDir dir;
    COutBitStream out;
    ASSERT_TRUE(OpenOutputFile(out, dir.Path("first.dts")));
    out.PutBits(0xAB, 8);
    out.PutBits(0b110, 3);
    ASSERT_TRUE(OpenOutputFile(out, dir.Path("second.dts")));
    // The first file is complete before the second is written: 1010 1011, 110 0 0000.
    EXPECT_EQ(ReadFileBytes(dir.Path("first.dts")), (Bytes{0xAB, 0xC0}));
    out.PutBits(0x5A, 8);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("second.dts")), (Bytes{0x5A}));

    // Bits put while closed (whole bytes and a partial one) go nowhere.
    out.PutBits(0xFFFF, 16);
    out.PutBits(0b111, 3);
    ASSERT_TRUE(OpenOutputFile(out, dir.Path("third.dts")));
    out.PutBits(0x01, 8);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("third.dts")), (Bytes{0x01}));
}

// Catches an Open that appends to, or only partly overwrites, an existing output.
TEST(OutBitStream, OpenTruncatesAnExistingFile)
{
    CTempDir dir;
    const std::string path = dir.Write("old.dts", Bytes(100, 0xEE));
    COutBitStream out;
    ASSERT_TRUE(OpenOutputFile(out, path));
    out.PutBits(0xC3, 8);
    out.Close();
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0xC3}));
}

// Catches an Open that reports success where nothing can be created, and a failed Open that
// leaves the stream half open.
TEST(OutBitStream, OpenFailsWhereNoFileCanBeCreated)
{
    CTempDir dir;
    std::filesystem::create_directories(dir.Path("sub"));
    COutBitStream out;
    EXPECT_FALSE(OpenOutputFile(out, dir.Path("sub")));                  // a directory
    EXPECT_FALSE(out.IsOpen());
    EXPECT_FALSE(OpenOutputFile(out, dir.Path("missing/dir/out.dts")));  // no such folder
    EXPECT_FALSE(out.IsOpen());
    out.PutBits(0xFF, 8);
    out.Close();
}

// A full disk must not leave a short output that looks complete: the error shows at the latest
// at Close, where the file library's buffer is written out, and the next Open clears it.
TEST(OutBitStream, ReportsWriteErrorsOnAFullDevice)
{
    if (!HasDevFull())
        GTEST_SKIP() << kNoDevFull;
    COutBitStream out;

    ASSERT_TRUE(OpenOutputFile(out, "/dev/full"));
    out.PutBits(0x7F, 8);
    out.Close();
    EXPECT_TRUE(out.HasWriteError());
    out.Close();
    EXPECT_TRUE(out.HasWriteError());  // stays readable after Close

    // Larger than any file library buffer: fails while writing, not only at Close.
    ASSERT_TRUE(OpenOutputFile(out, "/dev/full"));
    for (int i = 0; i < 1 << 20; ++i)
        out.PutBits(0x5A, 8);
    EXPECT_TRUE(out.HasWriteError());
    out.Close();
    EXPECT_TRUE(out.HasWriteError());

    CTempDir dir;
    ASSERT_TRUE(OpenOutputFile(out, dir.Path("ok.dts")));
    EXPECT_FALSE(out.HasWriteError());
    out.PutBits(0x12, 8);
    out.Close();
    EXPECT_FALSE(out.HasWriteError());
    EXPECT_EQ(ReadFileBytes(dir.Path("ok.dts")), (Bytes{0x12}));
}

namespace {

size_t CountEntries(const std::string& folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

} // namespace

// A replacing output is all or nothing: until Commit the final name keeps what it held and the
// bytes go to one extra file in the same folder; Close without Commit removes that file, Commit
// renames it over the final name, and a second stream on the same name gets a file of its own.
// Catches writes that reach the final name early, a temporary file left behind, and two
// replacing streams sharing one temporary file.
TEST(OutBitStream, ReplacingIsAllOrNothing)
{
    CTempDir dir;
    const std::string path = dir.Write("out.dts", Bytes{0xEE, 0xEE});
    const std::string folder = std::filesystem::path(path).parent_path().string();
    // Where the system gives files without a name, a temporary file shows in the folder only
    // once it is committed.
    std::FILE* pUnnamed = CFileShim::CreateUnnamedBeside(path);
    const size_t nNamed = pUnnamed == nullptr ? 1 : 0;
    if (pUnnamed != nullptr)
        std::fclose(pUnnamed);
    std::string strCause;
    {
        COutBitStream out;
        ASSERT_TRUE(out.OpenReplacing(path, strCause)) << strCause;
        out.PutBits(0xC3, 8);
        out.Flush();
        EXPECT_EQ(ReadFileBytes(path), (Bytes{0xEE, 0xEE}));
        EXPECT_EQ(CountEntries(folder), 1u + nNamed);
        out.Close();
        EXPECT_FALSE(out.Commit(strCause)) << "nothing left to commit";
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0xEE, 0xEE}));
    EXPECT_EQ(CountEntries(folder), 1u);
    {
        COutBitStream first;
        COutBitStream second;
        ASSERT_TRUE(first.OpenReplacing(path, strCause));
        ASSERT_TRUE(second.OpenReplacing(path, strCause));
        EXPECT_EQ(CountEntries(folder), 1u + 2 * nNamed);
        first.PutBits(0x12, 8);
        second.PutBits(0x34, 8);
        ASSERT_TRUE(first.Commit(strCause)) << strCause;
        EXPECT_EQ(ReadFileBytes(path), (Bytes{0x12}));
        EXPECT_FALSE(first.IsOpen());
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{0x12})) << "the second stream's end removed only its own file";
    EXPECT_EQ(CountEntries(folder), 1u);
}

#ifndef _WIN32
// A final path one byte short of the longest the system takes, with a short name (the shortest
// an output can have): catches a temporary name longer than the final one, which refuses an
// output whose own name fits.
TEST(OutBitStream, TheTemporaryNameFitsWhereTheFinalNameFits)
{
    CTempDir dir;
    std::string folder = dir.Root();
    const std::string name = "/a.fixed.dts";
    const size_t nLongest = 4095;
    while (folder.size() + name.size() < nLongest) {
        const size_t nPart = std::min<size_t>(200, nLongest - folder.size() - name.size() - 1);
        folder.append(1, '/').append(nPart, 'd');
        ASSERT_TRUE(std::filesystem::create_directory(folder)) << folder.size();
    }
    ASSERT_EQ(folder.size() + name.size(), nLongest);
    // The hidden file where the system gives no unnamed one, and the name an unnamed one takes.
    std::string strCause;
    std::string strTemp;
    std::FILE* pFile = CFileShim::CreateTemporaryBeside(folder + name, strTemp, strCause);
    ASSERT_NE(pFile, nullptr) << strCause;
    std::fclose(pFile);
    std::filesystem::remove(strTemp);
    COutBitStream out;
    ASSERT_TRUE(out.OpenReplacing(folder + name, strCause)) << strCause;
    EXPECT_TRUE(out.Commit(strCause)) << strCause;
}

// An older output of another user's in a sticky folder (/tmp): only its owner may replace it, so
// the rename at the end of a walk would fail. Catches a refusal found only after a whole walk:
// the open refuses at once with the cause. Run as another user in a child, as root may replace
// anything.
TEST(OutBitStream, AnOutputThatCannotBeReplacedIsRefusedAtOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own the older output and then become another user";
    CTempDir dir;
    std::filesystem::permissions(dir.Root(), std::filesystem::perms(0755));
    const std::string sticky = dir.Root().string() + "/sticky";
    std::filesystem::create_directory(sticky);
    std::filesystem::permissions(sticky, std::filesystem::perms(01777));
    const std::string path = sticky + "/out.dts";
    WriteFileBytes(path, Bytes{1});
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setuid(65534) != 0)
            ::_exit(3);
        COutBitStream out;
        std::string strCause;
        const bool bOpened = out.OpenReplacing(path, strCause);
        ::_exit(bOpened ? 1 : strCause.find("sticky") != std::string::npos ? 0 : 2);
    }
    int nStatus = 0;
    ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0) << "1: opened, 2: another cause, 3: no other user";
    EXPECT_EQ(ReadFileBytes(path), Bytes{1});
}
#endif
