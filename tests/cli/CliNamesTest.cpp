// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli and awkward file names: control characters shown escaped on the terminal, names
// over the file system's limits, names that are not UTF-8 in JSON, and a progress bar that fits.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/CliHost.h"
#include "cli/CliRun.h"
#include "cli/TerminalText.h"
#include "dts/SyntheticFrames.h"
#include "support/TestFiles.h"

#ifndef _WIN32
namespace {

// The names that are not UTF-8 come back from the JSON as hex; only POSIX names can be such bytes.
std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

} // namespace
#endif

// Catches a control character that reaches the terminal raw (a newline that forges a line, an
// escape sequence that recolours or clears it), C1 controls, bidirectional controls and line
// separators and broken UTF-8 passed through, and printable UTF-8 mangled (their neighbours).
TEST(CliNames, EscapeShowsEveryControlCharacter)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain name.dts", "plain name.dts"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5"},
        {"\xc2\x9b" "31m", "\\u009b31m"},
        {"\xff\xfe", "\\xff\\xfe"},
        {"cut \xe2\x82", "cut \\xe2\\x82"},
        {"\xc0\xaf overlong", "\\xc0\\xaf overlong"},
        {"\xed\xa0\x80 surrogate", "\\xed\\xa0\\x80 surrogate"},
        // A right-to-left override shows "evil\u202Eftm.dts" as "evil" + "std.mtf" reversed.
        {"evil\xe2\x80\xae" "ftm.dts", "evil\\u202eftm.dts"},
        {"\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9", "\\u200e\\u200f\\u202a\\u2066\\u2069"},
        {"line\xe2\x80\xa8para\xe2\x80\xa9", "line\\u2028para\\u2029"},
        {"\xe2\x80\xa7 \xe2\x80\xaf \xe2\x81\xa5", "\xe2\x80\xa7 \xe2\x80\xaf \xe2\x81\xa5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTerminalText::Escape(c.in), c.out);
}

#ifndef _WIN32
// A file whose name holds a newline and an escape sequence, walked and rebuilt, and a missing one:
// catches a name printed raw in the text report's summary line, its output name and the message
// on stderr. JSON escapes by itself and keeps the name exact.
TEST(CliNames, ControlCharactersInNamesAreEscapedInTextAndMessages)
{
    CTempDir dir;
    const std::string in = dir.Path("bad\nname\x1b[31m.dts");
    WriteFileBytes(in, RepeatFrame(3));
    const std::string shown = dir.Path("bad\\nname\\x1b[31m.dts");
    const CliRun run = RunCli({"--rebuild", in});
    EXPECT_EQ(run.nExit, 0) << run.err;
    EXPECT_EQ(run.out.rfind(shown + ": done, Detected Format: DTS 16/48, 3 frames, DTS 2.0 16-bit 48 kHz, 0:00.032, 75 kb/s, output: " + shown + ".fixed.dts\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(in + ".fixed.dts"));

    const std::string missing = dir.Path("gone\t\x1b]0;title\x07.dts");
    const CliRun failed = RunCli({missing, "--\x1b[2J"});
    EXPECT_EQ(failed.nExit, 2);
    EXPECT_EQ(failed.err.find('\x1b'), std::string::npos) << "an unknown option is escaped too";
    const CliRun gone = RunCli({missing});
    EXPECT_EQ(gone.err, "kestrune-cli: " + dir.Path("gone\\t\\x1b]0;title\\x07.dts") + ": cannot open input: the file does not exist\n");

    const nlohmann::json doc = nlohmann::json::parse(RunCli({"--json", in}).out);
    EXPECT_EQ(doc["files"][0]["file"], in);
}

// A name that is not valid UTF-8, rebuilt: catches an output name that cannot be recovered from
// the JSON document (its readable form has replacement characters), and bytes keys added to
// names that need none.
TEST(CliNames, NamesThatAreNotUtf8KeepTheirBytesInJson)
{
    CTempDir dir;
    const std::string in = dir.Path("latin1-\xe9t\xe9.dts");
    WriteFileBytes(in, RepeatFrame(2));
    const CliRun run = RunCli({"--json", "--rebuild", in});
    EXPECT_EQ(run.nExit, 0) << run.err;
    const nlohmann::json file = nlohmann::json::parse(run.out)["files"][0];
    ASSERT_TRUE(file.contains("file_bytes"));
    ASSERT_TRUE(file.contains("output_bytes"));
    EXPECT_EQ(FromHex(file["file_bytes"]), in);
    EXPECT_EQ(FromHex(file["output_bytes"]), in + ".fixed.dts");
    EXPECT_TRUE(std::filesystem::exists(FromHex(file["output_bytes"])));

    const std::string plain = dir.Path("plain.dts");
    WriteFileBytes(plain, RepeatFrame(2));
    const nlohmann::json other = nlohmann::json::parse(RunCli({"--json", "--rebuild", plain}).out)["files"][0];
    EXPECT_FALSE(other.contains("file_bytes"));
    EXPECT_FALSE(other.contains("output_bytes"));

    // Which names need their bytes: the UTF-8 check agrees with the JSON library's, at the edges
    // of every sequence length, overlong forms, surrogates and past U+10FFFF.
    for (const std::string name : {"plain", "\xc2\x80", "\xdf\xbf", "\xe0\xa0\x80", "\xef\xbf\xbf",
                                   "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf", "\xc0\xaf", "\xc1\xbf",
                                   "\xe0\x9f\xbf", "\xed\xa0\x80", "\xf0\x8f\xbf\xbf", "\xf4\x90\x80\x80",
                                   "\xf5\x80\x80\x80", "\xe2\x82", "\x80", "\xff", "a\xe9-"}) {
        bool bJsonTakesIt = true;
        try {
            (void)nlohmann::json(name).dump();
        } catch (const nlohmann::json::type_error&) {
            bJsonTakesIt = false;
        }
        EXPECT_EQ(CTerminalText::IsValidUtf8(name), bJsonTakesIt) << CTerminalText::Escape(name);
    }
}

// Names over the file system's limit of 255 bytes: an input whose output name alone is too long,
// and an input name that is too long itself. Catches the cause given as a permission problem.
TEST(CliNames, NamesThatAreTooLongSaySo)
{
    CTempDir dir;
    const std::string in = dir.Path(std::string(250, 'n') + ".dts");
    WriteFileBytes(in, RepeatFrame(2));
    const CliRun run = RunCli({"--rebuild", in});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.err, "kestrune-cli: " + in + ".fixed.dts: cannot create output: the name is too long\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), std::filesystem::directory_iterator()), 1)
        << "no temporary file is left";

    const std::string tooLong = dir.Path(std::string(300, 'n') + ".dts");
    const CliRun input = RunCli({tooLong});
    EXPECT_EQ(input.err, "kestrune-cli: " + tooLong + ": cannot open input: the name is too long\n");
}
#endif

// The progress line at several terminal widths, with a long name: catches a line that reaches
// the last column (the terminal wraps it, and every redraw then leaves a stale line), a control
// character in it, and a name cut at its end rather than its start.
TEST(CliNames, TheProgressLineFitsTheTerminal)
{
    const std::string label = CTerminalText::Escape("/media/films/" + std::string(200, 'x') + "\n/the-end.dts");
    for (int nColumns : {200, 80, 40, 20, 8}) {
        for (int nPercent : {0, 42, 100}) {
            SCOPED_TRACE(testing::Message() << nColumns << " columns, " << nPercent << "%");
            const std::string line = CCliHost::FitProgressLine(nPercent, 123456, label, nColumns);
            EXPECT_LE(CTerminalText::Columns(line), static_cast<size_t>(nColumns - 1));
            EXPECT_EQ(line.find_first_of("\n\r\x1b"), std::string::npos);
            if (nColumns >= 40) {
                EXPECT_NE(line.find(std::to_string(nPercent) + "%"), std::string::npos) << line;
                EXPECT_NE(line.find("frame 123456"), std::string::npos) << line;
                EXPECT_EQ(line.substr(line.size() - 7), "end.dts") << line;
            }
        }
    }
    const std::string wide = CCliHost::FitProgressLine(50, 7, "short.dts", 200);
    EXPECT_EQ(wide, "[###############---------------]  50%  frame 7  short.dts");
}
