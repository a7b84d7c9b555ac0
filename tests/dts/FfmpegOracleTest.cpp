// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg as a second opinion on what Kestrune reads and writes from DTS-HD, open-rate and
// re-laid-out streams (core filter, packet counts, decoded PCM, substream CRCs, DTS-HD MA profile).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dts/FileJob.h"
#include "dts/RecorderHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TestFiles.h"

namespace {

// Why the FFmpeg checks cannot run here, or null when they can.
const char* FfmpegMissing()
{
#ifdef _WIN32
    return "runs ffmpeg through a POSIX shell";
#else
    if (std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") != 0 ||
        std::system("ffprobe -hide_banner -version >/dev/null 2>&1") != 0)
        return "ffmpeg or ffprobe is not installed";
    return nullptr;
#endif
}

#define SKIP_WITHOUT_FFMPEG()                   \
    do {                                        \
        if (const char* why = FfmpegMissing())  \
            GTEST_SKIP() << why;                \
    } while (0)

std::string Quote(const std::string& path)
{
    return "'" + path + "'";
}

// Runs a shell command with its standard output and error collected; returns both as one text.
std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a shell command printed: its standard output and, apart, its standard error.
struct Printed {
    std::string out;
    std::string err;
};

Printed Shell(const std::string& cmd, const CTempDir& dir)
{
    const std::string out = dir.Path("stdout.txt");
    const std::string err = dir.Path("stderr.txt");
    (void)std::system((cmd + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return Printed{ReadText(out), ReadText(err)};
}

// Raw streams are named to FFmpeg as DTS: its auto-detection gives up on small files.
std::string InputArgs(const std::string& path)
{
    const bool bWave = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
    return std::string(bWave ? "" : "-f dts ") + "-i " + Quote(path);
}

// How many packets ffprobe reads from the file: one a core frame, its substream included.
long PacketCount(const std::string& path, const CTempDir& dir)
{
    const std::string text = Shell("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
                                     InputArgs(path), dir).out;
    return std::strtol(text.c_str(), nullptr, 10);
}

// The MD5 of the PCM FFmpeg decodes, of the core alone when bCoreOnly; empty when it fails.
std::string PcmMd5(const std::string& path, bool bCoreOnly, const CTempDir& dir)
{
    const std::string text = Shell(std::string("ffmpeg -hide_banner -v error ") + (bCoreOnly ? "-core_only 1 " : "") +
                                     InputArgs(path) + " -map 0:a -f md5 -", dir).out;
    return text.rfind("MD5=", 0) == 0 ? text : std::string();
}

// The profile ffprobe gives when the decoder cannot override it: with -err_detect explode, the
// builders' empty lossless payloads fail the decode, and the profile is the one FFmpeg's parser
// took from the last packet, "DTS-HD MA" when it found an extension substream with a lossless asset
// at the core frame's 4-byte boundary.
std::string ParsedProfile(const std::string& path, const CTempDir& dir)
{
    const std::string text = Shell("ffprobe -v quiet -err_detect explode -show_entries stream=profile -of csv=p=0 " +
                                   InputArgs(path), dir).out;
    return text.substr(0, text.find_first_of("\r\n"));
}

// The stream FFmpeg's dca_core filter leaves of the file: each packet cut to its core frame.
std::vector<uint8_t> FfmpegCore(const std::string& path, const CTempDir& dir)
{
    const std::string out = dir.Path("ffmpeg_core.dts");
    std::remove(out.c_str());
    Shell("ffmpeg -hide_banner -v error -y " + InputArgs(path) + " -c:a copy -bsf:a dca_core -f dts " + Quote(out),
          dir);
    std::ifstream probe(out);
    return probe ? ReadFileBytes(out) : std::vector<uint8_t>{};
}

struct Options {
    bool bCoreOnly = false;
    bool bRemoveCRC = false;
    bool bRemoveDialNorm = false;
};

struct Outcome {
    int64_t nFrames = 0;         // what kestrune-cli --json reports as "frames"
    std::vector<uint8_t> output; // the rebuilt stream
    int64_t nPaddingBytes = 0;   // zeros stepped over between frames
    std::string strInputKind;
};

// A rebuild of the file as the command line runs it, through the per-file job.
Outcome Rebuild(const std::string& path, const Options& options, const CTempDir& dir)
{
    CRecorderHost host;
    host.bRebuild = true;
    CBitStream inStream;
    COutBitStream outStream;
    const std::string out = dir.Path("kestrune_out.dts");
    const auto nSize = static_cast<int64_t>(std::filesystem::file_size(path));
    const CFileJob::Result r = CFileJob::Run(host, inStream, outStream, path, out, nSize,
                                             CFileJob::Options{true, options.bCoreOnly, options.bRemoveCRC, options.bRemoveDialNorm});
    EXPECT_EQ(r.eState, CFileJob::EState::Done) << r.Message();
    Outcome outcome;
    outcome.nFrames = r.nFrames;
    outcome.nPaddingBytes = r.nPaddingBytes;
    outcome.strInputKind = r.strInputKind;
    if (r.bOutputWritten)
        outcome.output = ReadFileBytes(out);
    return outcome;
}

// A substream spec grown until the substream takes a multiple of nMultiple bytes: 28 keeps every
// frame of a 1792-byte core plus its substream a whole number of 14-bit words (and the next core
// on a 4-byte boundary), so FFmpeg can read the packed variants too.
SubstreamSpec Sized(SubstreamSpec spec, size_t nMultiple)
{
    while (BuildSubstream(spec).size() % nMultiple != 0)
        ++spec.nPayloadBytes;
    return spec;
}

// A narrow header with one lossless asset carrying a dialog normalisation code.
SubstreamSpec Narrow()
{
    SubstreamSpec spec;
    spec.nPayloadBytes = 40;
    spec.assets[0].dialNorm = 9;
    return spec;
}

// A wide header with mixing metadata over the given assets.
SubstreamSpec Wide(std::vector<SubstreamAsset> assets)
{
    SubstreamSpec spec;
    spec.bWide = true;
    spec.bMixMetadata = true;
    spec.nPayloadBytes = 90;
    spec.assets = std::move(assets);
    return spec;
}

// DTS-HD as real streams mix it: a narrow-header lossless substream, a frame without one, a
// wide-header substream with two assets and mixing metadata, in turn.
std::vector<uint8_t> MixedHd(const std::vector<uint8_t>& core)
{
    const SubstreamSpec narrow = Sized(Narrow(), 28);
    const SubstreamSpec wide = Sized(Wide({{ESubstreamContent::XBR, 0, 20}, {ESubstreamContent::LBR, 0, 3}}), 28);
    return AppendSubstreams(core, [&](size_t i) -> std::optional<SubstreamSpec> {
        if (i % 3 == 1)
            return std::nullopt;
        return i % 3 == 0 ? narrow : wide;
    });
}

// stereo_44k_cd.dts twice over: 1792-byte frames fill whole 14-bit words, so FFmpeg reads the
// packed layouts too, and twelve frames are enough for FFmpeg to find DTS inside a 16-bit WAVE
// file (it probes the data chunk's contents, and six frames of this size do not convince it).
std::vector<uint8_t> CdStream()
{
    const std::vector<uint8_t> once = ReadFileBytes(TestDataPath("stereo_44k_cd.dts"));
    return Concat({once, once});
}

struct Layout {
    const char* name;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> make;
};

// The input layouts Kestrune reads, each from a 16-bit big-endian stream. The WAVE data chunks
// start with a few zero bytes, well within what FFmpeg's WAVE reader probes.
std::vector<Layout> Layouts()
{
    WaveOptions lead;
    lead.prefix.assign(6, 0);
    return {
        {"be16.dts", [](const std::vector<uint8_t>& s) { return s; }},
        {"le16.dts", [](const std::vector<uint8_t>& s) { return SwapWords(s); }},
        {"be14.dts", [](const std::vector<uint8_t>& s) { return Pack14(s); }},
        {"le14.dts", [](const std::vector<uint8_t>& s) { return SwapWords(Pack14(s)); }},
        {"le16.wav", [lead](const std::vector<uint8_t>& s) { return WrapWave(SwapWords(s), lead); }},
        {"le14.wav", [lead](const std::vector<uint8_t>& s) { return WrapWave(SwapWords(Pack14(s)), lead); }},
    };
}

} // namespace

// Core only writes exactly the core frames FFmpeg's dca_core filter cuts from each packet, over
// narrow and wide substreams and frames without one, with and without a header CRC (514-byte
// frames, so the substreams sit after two bytes of padding that must go too), and does so from
// every input layout. Catches substream or padding bytes kept, a core frame cut short, a frame
// lost at a core-only frame, and a layout whose reader loses its place after a substream.
TEST(FfmpegOracle, CoreOnlyMatchesFfmpegsCoreFilterInEveryLayout)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    for (const char* base : {"stereo_48k.dts", "stereo_48k_hcrc.dts", "stereo_44k_cd.dts"}) {
        SCOPED_TRACE(base);
        const std::vector<uint8_t> core = ReadFileBytes(TestDataPath(base));
        const std::vector<uint8_t> hd = MixedHd(core);
        const std::vector<uint8_t> expected = FfmpegCore(dir.Write("hd.dts", hd), dir);
        ASSERT_EQ(SplitFrames(expected).size(), SplitFrames(core).size()) << "FFmpeg read every frame";
        for (const Layout& layout : Layouts()) {
            SCOPED_TRACE(layout.name);
            const Outcome k = Rebuild(dir.Write(layout.name, layout.make(hd)), Options{true}, dir);
            EXPECT_EQ(k.output, expected);
        }
    }
}

// ffprobe reads as many packets as Kestrune counts frames, for every committed sample FFmpeg
// reads whole and for DTS-HD streams in the layouts FFmpeg reads. Left out: stereo_48k.cpt (its
// 512-byte frames do not fill whole 14-bit words, and FFmpeg finds 8 of 24), WAVE files whose
// lead-in is longer than FFmpeg's probe, and frames under 96 bytes, which FFmpeg counts and
// Kestrune treats as damage. Catches a frame counted twice or missed (at a substream, at a layout's
// word boundary).
TEST(FfmpegOracle, PacketCountsEqualKestrunesFrameCounts)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    std::vector<std::string> paths;
    for (const char* name : {"mono_8k.dts", "mono_11k.dts", "stereo_22k.dts", "stereo_44k_1411k.dts",
                             "stereo_44k_cd.dts", "stereo_48k.dts", "stereo_48k_ratechange.dts", "quad_32k.dts",
                             "surround50_32k.dts", "surround51_44k.dts", "surround51_48k.dts",
                             "stereo_48k_hcrc.dts", "stereo_48k_16le.wav", "stereo_44k_cd.cpt",
                             "stereo_44k_cd_14le.wav", "stereo_48k_hcrc_ma.dts"})
        paths.push_back(TestDataPath(name));
    const std::vector<uint8_t> hd = MixedHd(CdStream());
    for (const Layout& layout : Layouts())
        paths.push_back(dir.Write(std::string("hd_") + layout.name, layout.make(hd)));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const Outcome k = Rebuild(path, Options{}, dir);
        EXPECT_GT(k.nFrames, 1);
        EXPECT_EQ(PacketCount(path, dir), k.nFrames);
    }
}

// A rebuild decodes to the PCM its source decodes to, from every layout, for a core stream and for
// DTS-HD (both decoded core only, as FFmpeg cannot decode the builders' empty extension payloads);
// Core only decodes the same too. Catches a rebuild that changes audio bits, loses or repeats a frame,
// or leaves an FSIZE that makes FFmpeg drop frames.
TEST(FfmpegOracle, RebuiltOutputDecodesToTheSourcesPcmInEveryLayout)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    const std::vector<uint8_t> core = CdStream();
    for (bool bHd : {false, true}) {
        const std::vector<uint8_t> stream = bHd ? MixedHd(core) : core;
        for (const Layout& layout : Layouts()) {
            SCOPED_TRACE(std::string(bHd ? "DTS-HD " : "core ") + layout.name);
            const std::string source = dir.Write(layout.name, layout.make(stream));
            const std::string expected = PcmMd5(source, true, dir);
            ASSERT_FALSE(expected.empty()) << "FFmpeg decodes the source";
            EXPECT_EQ(PcmMd5(dir.Write("rebuilt.dts", Rebuild(source, Options{}, dir).output), true, dir), expected);
            if (bHd) {
                const Outcome coreOnly = Rebuild(source, Options{true}, dir);
                EXPECT_EQ(PcmMd5(dir.Write("core.dts", coreOnly.output), false, dir), expected);
            }
        }
    }
}

// Open-rate frames FSIZE bytes long, alone (the committed sample) and each followed directly by a
// lossless substream. FFmpeg walks FSIZE + 1 bytes: in the first it loses every other frame, in the
// second it misses the substreams (it looks one 4-byte step too far). A rebuild writes the
// standard's FSIZE; FFmpeg must then read every frame Kestrune counts, find the substreams, and
// decode the PCM of the encoder's stream the samples were made from. Catches an FSIZE left as it
// was, or a substream moved off the boundary of the corrected frame.
TEST(FfmpegOracle, OpenRateRebuildsAreReadWhole)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    const std::vector<uint8_t> core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const int64_t nFrames = static_cast<int64_t>(SplitFrames(core).size());
    const std::string reference = PcmMd5(TestDataPath("stereo_48k.dts"), true, dir);
    ASSERT_FALSE(reference.empty());

    const std::string plain = TestDataPath("stereo_48k_openrate.dts");
    const Outcome k = Rebuild(plain, Options{}, dir);
    EXPECT_EQ(k.nFrames, nFrames);
    EXPECT_LT(PacketCount(plain, dir), nFrames) << "FFmpeg is expected to lose frames of the input";
    const std::string rebuilt = dir.Write("open_rebuilt.dts", k.output);
    EXPECT_EQ(PacketCount(rebuilt, dir), nFrames);
    EXPECT_EQ(PcmMd5(rebuilt, false, dir), reference);

    std::vector<uint8_t> hd = AppendSubstreams(core, [](size_t) { return std::optional<SubstreamSpec>(Narrow()); });
    const size_t nStride = hd.size() / static_cast<size_t>(nFrames);  // frames and substreams all alike
    for (size_t nAt = 0; nAt < hd.size(); nAt += nStride) {
        SetHeaderField(hd, nAt * 8 + DtsBits::kFSIZE, 14, GetHeaderField(hd, nAt * 8 + DtsBits::kFSIZE, 14) + 1);
        SetRate(hd, nAt, 29);
    }
    const std::string ma = dir.Write("open_ma.dts", hd);
    EXPECT_NE(ParsedProfile(ma, dir), "DTS-HD MA") << "FFmpeg is expected to miss the input's substreams";
    const Outcome kMa = Rebuild(ma, Options{}, dir);
    EXPECT_EQ(kMa.nFrames, nFrames);
    const std::string rebuiltMa = dir.Write("open_ma_rebuilt.dts", kMa.output);
    EXPECT_EQ(PacketCount(rebuiltMa, dir), nFrames);
    EXPECT_EQ(ParsedProfile(rebuiltMa, dir), "DTS-HD MA");
    EXPECT_EQ(PcmMd5(rebuiltMa, true, dir), reference);
}

// Remove Dialog Normalization zeroes each substream asset's code and reseals the substream header,
// as FFmpeg's CRC check confirms, for a narrow header with one asset and a wide one with two and
// mixing metadata. The control, the same codes zeroed with the CRC left as it was, must draw
// FFmpeg's complaint, or the check would pass a stale CRC. Catches a CRC not recomputed or computed
// over the wrong range, a code left as it was, and a substream moved by the rewrite.
TEST(FfmpegOracle, RemoveDialNormLeavesNoSubstreamCrcError)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    const auto crcComplaint = [&](const std::vector<uint8_t>& stream) {
        const std::string cmd = "ffmpeg -hide_banner -nostats -v error -err_detect crccheck -f dts -i " +
                                Quote(dir.Write("check.dts", stream)) + " -f null -";
        return Shell(cmd, dir).err.find("EXSS header checksum") != std::string::npos;
    };
    const std::vector<uint8_t> core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const SubstreamSpec wide = Wide({{ESubstreamContent::XLL, 0, 20}, {ESubstreamContent::XBR, 0, 31}});
    for (const SubstreamSpec& spec : {Narrow(), wide}) {
        SCOPED_TRACE(spec.bWide ? "wide" : "narrow");
        SubstreamLayout layout;
        BuildSubstream(spec, &layout);
        const std::vector<uint8_t> hd =
            AppendSubstreams(core, [&](size_t) { return std::optional<SubstreamSpec>(spec); });
        const std::vector<size_t> starts = SubstreamStarts(hd);
        ASSERT_EQ(starts.size(), SplitFrames(core).size());
        std::vector<uint8_t> stale = hd;
        for (const size_t nStart : starts) {
            for (const size_t nBit : layout.dialNormBits)
                SetHeaderField(stale, nStart * 8 + nBit, 5, 0);
        }
        ASSERT_FALSE(crcComplaint(hd)) << "the builder's CRC holds";
        ASSERT_TRUE(crcComplaint(stale)) << "FFmpeg sees a stale CRC";

        const Outcome k = Rebuild(dir.Write("hd.dts", hd), Options{false, false, true}, dir);
        EXPECT_FALSE(crcComplaint(k.output));
        ASSERT_EQ(SubstreamStarts(k.output), starts);
        for (const size_t nStart : starts) {
            for (const size_t nBit : layout.dialNormBits)
                EXPECT_EQ(GetHeaderField(k.output, nStart * 8 + nBit, 5), 0u) << "at " << nStart;
        }
    }
}

// A DTS-HD MA stream stays one to FFmpeg when rebuilt, and when Remove CRC shortens each 514-byte
// core frame to 512 and the substream moves up to the new 4-byte boundary. FFmpeg cannot decode the
// builder's empty lossless payload: its decoder reports "Invalid XLL sync word" (at -v verbose) and
// falls back to the core, which sets the profile "DTS". With -err_detect explode that decode fails
// instead, and ffprobe's profile is the one its parser gives after finding an extension substream
// with a lossless asset at the core frame's 4-byte boundary: "DTS-HD MA". So the profile under
// explode is the check, for the input and both rebuilds; the verbose messages then show that the
// decoder found the substream of every frame of the CRC-free rebuild, whose core decodes. The
// control keeps the substream where it was (two zero bytes after the shortened core), which FFmpeg
// must not take for DTS-HD. Catches padding not recomputed after Remove CRC, a substream dropped or
// misplaced, and a frame of the rebuild whose substream FFmpeg does not find.
TEST(FfmpegOracle, RebuiltMaStreamIsStillDtsHdMa)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    const auto profile = [&](const std::vector<uint8_t>& stream) {
        return ParsedProfile(dir.Write("probe.dts", stream), dir);
    };
    const std::string input = TestDataPath("stereo_48k_hcrc_ma.dts");
    const std::vector<uint8_t> ma = ReadFileBytes(input);
    EXPECT_EQ(profile(ma), "DTS-HD MA");
    EXPECT_EQ(profile(Rebuild(input, Options{}, dir).output), "DTS-HD MA");

    const Outcome k = Rebuild(input, Options{false, true}, dir);
    EXPECT_EQ(profile(k.output), "DTS-HD MA");
    const std::string cmd = "ffmpeg -hide_banner -nostats -loglevel repeat+verbose -f dts -i " +
                            Quote(dir.Write("nocrc.dts", k.output)) + " -f null -";
    const std::string log = Shell(cmd, dir).err;
    int64_t nFound = 0;
    const std::string found = "Invalid XLL sync word";
    for (size_t n = log.find(found); n != std::string::npos; n = log.find(found, n + 1))
        ++nFound;
    EXPECT_GE(nFound, k.nFrames);

    // The control: cores without the CRC, each followed by the two bytes of padding it had before,
    // which leave the substream off the 4-byte boundary.
    std::vector<uint8_t> stale;
    const std::vector<size_t> starts = SubstreamStarts(ma);
    ASSERT_EQ(static_cast<int64_t>(starts.size()), k.nFrames);
    const std::vector<uint8_t> cores = RemoveHeaderCrc(ReadFileBytes(TestDataPath("stereo_48k_hcrc.dts")), true);
    const std::vector<size_t> coreStarts = SplitFrames(cores);
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t nCoreEnd = i + 1 < coreStarts.size() ? coreStarts[i + 1] : cores.size();
        // The next 514-byte core and its two bytes of padding end where the next substream starts.
        const size_t nSubEnd = i + 1 < starts.size() ? starts[i + 1] - 516 : ma.size();
        stale.insert(stale.end(), cores.begin() + static_cast<std::ptrdiff_t>(coreStarts[i]),
                     cores.begin() + static_cast<std::ptrdiff_t>(nCoreEnd));
        stale.insert(stale.end(), {0, 0});
        stale.insert(stale.end(), ma.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                     ma.begin() + static_cast<std::ptrdiff_t>(nSubEnd));
    }
    ASSERT_EQ(stale.size(), ma.size() - 2 * starts.size());
    EXPECT_EQ(profile(stale), "DTS");
}

// Frames padded with zeros to 2048-byte boundaries and with runs of 333 zeros, as some writers
// store them: catches every frame after the first lost as skipped damage. FFmpeg's packet count
// is the oracle; the rebuild is the stream without the padding.
TEST(FfmpegOracle, GapsBetweenFramesMatchFfmpeg)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    const std::vector<uint8_t> stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<size_t> starts = SplitFrames(stream);
    std::vector<uint8_t> padded;
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t nEnd = i + 1 < starts.size() ? starts[i + 1] : stream.size();
        padded.insert(padded.end(), stream.begin() + static_cast<long>(starts[i]), stream.begin() + static_cast<long>(nEnd));
        padded.resize(i % 2 == 0 ? (padded.size() + 2047) / 2048 * 2048 : padded.size() + 333, 0);
    }
    const std::string path = dir.Path("padded.dts");
    WriteFileBytes(path, padded);
    const Outcome outcome = Rebuild(path, Options{}, dir);
    EXPECT_EQ(outcome.nFrames, PacketCount(path, dir));
    EXPECT_EQ(outcome.nFrames, static_cast<int64_t>(starts.size()));
    EXPECT_EQ(outcome.output, stream);
    EXPECT_EQ(outcome.nPaddingBytes, static_cast<int64_t>(padded.size() - stream.size()));
}

// DTS in IEC 61937 bursts, as FFmpeg's spdif muxer writes them: raw little- and big-endian words
// and the little-endian words in a WAVE file. Catches every frame after the first lost to the
// preambles and stuffing between bursts, and a rebuild that keeps any of the framing: the frame
// count is ffprobe's and the rebuild is the stream FFmpeg unwraps.
TEST(FfmpegOracle, Iec61937BurstsMatchFfmpeg)
{
    SKIP_WITHOUT_FFMPEG();
    CTempDir dir;
    for (const char* pszSample : {"stereo_48k.dts", "surround51_44k.dts", "quad_32k.dts"}) {
        const std::string src = TestDataPath(pszSample);
        const std::string le = dir.Path("le.spdif");
        const std::string be = dir.Path("be.spdif");
        const std::string wav = dir.Path("spdif.wav");
        Shell("ffmpeg -v error -y -f dts -i " + Quote(src) + " -c copy -f spdif " + Quote(le), dir);
        Shell("ffmpeg -v error -y -f dts -i " + Quote(src) + " -c copy -f spdif -spdif_flags be " + Quote(be), dir);
        Shell("ffmpeg -v error -y -f s16le -ar 48000 -ac 2 -i " + Quote(le) + " -c copy " + Quote(wav), dir);
        const std::string unwrapped = dir.Path("unwrapped.dts");
        Shell("ffmpeg -v error -y -f spdif -i " + Quote(le) + " -c copy -f dts " + Quote(unwrapped), dir);
        const long nPackets = std::strtol(Shell("ffprobe -v error -f spdif -count_packets -show_entries "
                                                "stream=nb_read_packets -of csv=p=0 " + Quote(le), dir).out.c_str(),
                                          nullptr, 10);
        ASSERT_GT(nPackets, 1) << pszSample;
        for (const auto& [path, pszKind] : {std::pair{le, "IEC 61937"}, std::pair{be, "IEC 61937"},
                                           std::pair{wav, "IEC 61937 in WAVE"}}) {
            SCOPED_TRACE(std::string(pszSample) + " " + path);
            const Outcome outcome = Rebuild(path, Options{}, dir);
            EXPECT_EQ(outcome.nFrames, nPackets);
            EXPECT_EQ(outcome.strInputKind, pszKind);
            EXPECT_EQ(outcome.output, ReadFileBytes(unwrapped));
        }
    }
}
