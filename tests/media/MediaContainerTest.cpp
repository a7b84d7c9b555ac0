// SPDX-License-Identifier: GPL-3.0-or-later
// DTS tracks of movie files, end to end through kestrune-cli, against FFmpeg's own tools: the
// tracks found, their frame counts, the rebuilt streams and the copies of whole movies.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "dts/RemuxJob.h"
#include "dts/SyncWords.h"
#include "media/MediaContainerSupport.h"
#include "stream/FileShim.h"
#include "support/TestFiles.h"

namespace {

std::string Shell(const std::string& strCommand)
{
    std::string strOut;
    std::FILE* pPipe = popen(strCommand.c_str(), "r");
    if (pPipe == nullptr)
        return strOut;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0)
        strOut.append(buffer, n);
    pclose(pPipe);
    return strOut;
}

bool Have(const char* pszTool)
{
    return std::system((std::string(pszTool) + " -version >/dev/null 2>&1").c_str()) == 0;
}

// Index and packet count of every stream, as ffprobe reads them.
std::vector<std::pair<int, int>> ProbePackets(const std::string& path, const char* pszCodec = nullptr)
{
    const auto j = nlohmann::json::parse(Shell("ffprobe -v error -count_packets -show_entries "
                                               "stream=index,codec_name,nb_read_packets -of json '" + path + "'"));
    std::vector<std::pair<int, int>> streams;
    for (const auto& s : j["streams"]) {
        if (pszCodec == nullptr || s.value("codec_name", "") == pszCodec)
            streams.emplace_back(s["index"].get<int>(), std::stoi(s.value("nb_read_packets", "0")));
    }
    return streams;
}

// Every packet's stream, times and size, sorted (muxers may interleave differently).
std::string PacketTimes(const std::string& path)
{
    return Shell("ffprobe -v error -show_entries packet=stream_index,pts,dts -of csv=p=0 '" + path + "' | grep . | sort | md5sum");
}

std::string DecodedPcm(const std::string& path, const std::string& strMap)
{
    return Shell("ffmpeg -v error -i '" + path + "' -map " + strMap + " -f s32le - | md5sum");
}

nlohmann::json RunJson(std::vector<std::string> args)
{
    args.insert(args.begin(), "--json");
    const CliRun run = RunCli(args);
    return nlohmann::json::parse(run.out);
}

class MediaContainer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static CMediaContainerSupport support;
        IContainerSupport::Installed() = &support;
        if (!Have("ffmpeg") || !Have("ffprobe"))
            return;
        s_pDir = new CTempDir();
        const std::string a = TestDataPath("surround51_48k.dts");
        const std::string b = TestDataPath("stereo_48k.dts");
        const std::string d = s_pDir->Root().string() + "/";
        const std::string video = "-f lavfi -i testsrc=d=1:s=64x48:r=25 ";
        std::ofstream(d + "chapters.txt") << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
                                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n";
        std::ofstream(d + "notes.txt") << "notes\n";
        const std::string ff = "cd '" + d + "' && ffmpeg -v error -y ";
        // Matroska: a video, two DTS tracks (the second ends long before the video), an AC-3
        // track, chapters and an attachment.
        std::system((ff + video + "-i " + a + " -i " + b + " -f lavfi -i sine=d=1 -i chapters.txt -map 0 -map 1 -map 2 -map 3 "
                     "-map_chapters 4 -c:v libx264 -preset ultrafast -c:a:0 copy -c:a:1 copy -c:a:2 ac3 "
                     "-metadata:s:a:0 language=eng -metadata:s:a:1 language=ger -metadata:s:a:1 title=Stereo "
                     "-attach notes.txt -metadata:s:t mimetype=text/plain movie.mkv").c_str());
        std::system((ff + video + "-f lavfi -i sine=d=1 -c:v libx264 -preset ultrafast -c:a ac3 -metadata:s:a:0 language=eng "
                     "nodts.mkv").c_str());
        const std::pair<const char*, const char*> others[] = {
            {"movie.mp4", ""}, {"movie.ts", ""}, {"movie.m2ts", "-f mpegts -mpegts_m2ts_mode 1"}, {"movie.vob", "-f vob"}};
        for (const auto& [pszName, pszOptions] : others)
            std::system((ff + video + "-i " + a + " -map 0 -map 1 -c:v mpeg2video -c:a copy " + pszOptions + " " + pszName).c_str());
    }
    static void TearDownTestSuite()
    {
        delete s_pDir;
        s_pDir = nullptr;
    }
    void SetUp() override
    {
        if (s_pDir == nullptr)
            GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    }
    static std::string Path(const std::string& name) { return s_pDir->Path(name); }

    static CTempDir* s_pDir;
};

CTempDir* MediaContainer::s_pDir = nullptr;

} // namespace

// The tracks walked are the container's DTS tracks, each with ffprobe's packet count, and each
// rebuilt stream equals what ffmpeg extracts: catches container bytes read as stream bytes,
// tracks mixed up or numbered unlike FFmpeg (MPEG-PS finds its streams late), lost packets.
TEST_F(MediaContainer, TracksAndRebuildsMatchFfmpeg)
{
    const std::pair<const char*, const char*> kinds[] = {{"movie.mkv", "Matroska"}, {"movie.mp4", "MP4"},
                                                         {"movie.ts", "MPEG-TS"},   {"movie.m2ts", "MPEG-TS"},
                                                         {"movie.vob", "MPEG-PS"}};
    for (const auto& [pszName, pszContainer] : kinds) {
        SCOPED_TRACE(pszName);
        const std::string path = Path(pszName);
        const auto dts = ProbePackets(path, "dts");
        const nlohmann::json report = RunJson({"--rebuild", path});
        ASSERT_EQ(report["files"].size(), dts.size());
        for (size_t i = 0; i < dts.size(); ++i) {
            const auto& file = report["files"][i];
            EXPECT_EQ(file["container"], pszContainer);
            EXPECT_EQ(file["track"], dts[i].first);
            EXPECT_EQ(file["state"], "done");
            EXPECT_EQ(file["frames"], dts[i].second);
            EXPECT_TRUE(file["skipped"].empty());
            EXPECT_NEAR(file["rows"][0]["time"].get<double>(), 0.0, 0.05);
            const std::string extracted = path + ".ffmpeg.dts";
            std::system(("ffmpeg -v error -y -i '" + path + "' -map 0:" + std::to_string(dts[i].first)
                         + " -c copy -f dts '" + extracted + "'").c_str());
            EXPECT_EQ(ReadFileBytes(file["output"].get<std::string>()), ReadFileBytes(extracted));
        }
    }
    const nlohmann::json mkv = RunJson({Path("movie.mkv")});
    EXPECT_EQ(mkv["files"][1]["language"], "ger");
    EXPECT_EQ(mkv["files"][1]["title"], "Stereo");
    EXPECT_TRUE(std::filesystem::exists(Path("movie.mkv.track2.fixed.dts")));
}

// A copy keeps every stream with its packets and times, the chapters and the attachment, stays
// in the input's format (M2TS keeps its 192-byte packets), and its DTS tracks decode as the
// rebuilt streams do. MPEG-PS cannot be written back and a plain stream is no movie: both say so
// and leave no file.
TEST_F(MediaContainer, RemuxKeepsEverythingElse)
{
    for (const char* pszName : {"movie.mkv", "movie.mp4", "movie.ts", "movie.m2ts"}) {
        SCOPED_TRACE(pszName);
        const std::string path = Path(pszName);
        const CliRun run = RunCli({"--remux", path});
        ASSERT_EQ(run.nExit, 0) << run.err;
        const std::string copy = CRemuxJob::OutputPathFor(path);
        EXPECT_EQ(ProbePackets(copy), ProbePackets(path));
        EXPECT_EQ(PacketTimes(copy), PacketTimes(path));
        EXPECT_EQ(DecodedPcm(copy, "0:1"), DecodedPcm(path, "0:1"));
    }
    const std::vector<uint8_t> m2ts = ReadFileBytes(Path("movie.fixed.m2ts"));
    ASSERT_GT(m2ts.size(), 400u);
    EXPECT_TRUE(m2ts[4] == 0x47 && m2ts[196] == 0x47 && m2ts[388] == 0x47);
    if (Have("mkvmerge")) {
        auto tracks = [](const std::string& p) {
            const auto j = nlohmann::json::parse(Shell("mkvmerge -J '" + p + "'"));
            std::vector<std::string> summary;
            for (const auto& t : j["tracks"])
                summary.push_back(t["codec"].get<std::string>() + "/" + t["properties"].value("language", ""));
            for (const auto& a : j["attachments"])
                summary.push_back(a["file_name"].get<std::string>());
            summary.push_back(std::to_string(j["chapters"][0]["num_entries"].get<int>()));
            return summary;
        };
        EXPECT_EQ(tracks(Path("movie.fixed.mkv")), tracks(Path("movie.mkv")));
    }
    const CliRun vob = RunCli({"--remux", Path("movie.vob")});
    EXPECT_EQ(vob.nExit, 1);
    EXPECT_NE(vob.err.find("--rebuild"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("movie.fixed.vob")));
    const CliRun plain = RunCli({"--remux", TestDataPath("stereo_48k.dts")});
    EXPECT_EQ(plain.nExit, 2);
    EXPECT_EQ(RunCli({"--remux", "--rebuild", Path("movie.mkv")}).nExit, 2);
}

// A private movie gives a private copy, and --remux killed at any moment (as the OOM killer ends
// a process) leaves beside the movie nothing, or the whole copy once it was done: catches the
// copy's permission bits taken from nothing, and a temporary copy or rebuilt track left named.
TEST_F(MediaContainer, RemuxCopyIsPrivateAndNeverLeftHalfWritten)
{
    namespace fs = std::filesystem;
    CTempDir dir;
    const std::string in = dir.Path("long.mkv");
    std::system(("ffmpeg -v error -stream_loop 2000 -i " + TestDataPath("stereo_48k.dts") + " -c copy '" + in + "'").c_str());
    fs::permissions(in, fs::perms::owner_read | fs::perms::owner_write);
    const std::string copy = CRemuxJob::OutputPathFor(in);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunCli({"--remux", in}).nExit, 0);
    const double nSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ProbePackets(copy), ProbePackets(in));
    fs::remove(copy);
    // A rebuilt track that cannot be written (a file size limit) fails naming the copy, not the
    // hidden name of the track's own file, and leaves nothing.
    const std::string strError =
        ShellOutput("cd '" + dir.Root().string() + "' && (ulimit -f 64; " KESTRUNE_CLI " --remux long.mkv) 2>&1 >/dev/null || true");
    EXPECT_EQ(strError.rfind("kestrune-cli: long.fixed.mkv: write failed", 0), 0u) << strError;
    std::FILE* pProbe = CFileShim::CreateUnnamedBeside(in);
    if (pProbe == nullptr)
        GTEST_SKIP() << "no files without a name here";
    std::fclose(pProbe);
    for (double nShare : {0.1, 0.3, 0.5, 0.7, 0.9, 1.2}) {
        const std::string strDelay = std::to_string(0.02 + nShare * nSeconds);
        std::system(("cd '" + dir.Root().string() + "' && (" KESTRUNE_CLI " --remux long.mkv >/dev/null 2>&1 & sleep " +
                     strDelay + "; kill -9 $! 2>/dev/null; wait)").c_str());
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Root()))
            names.insert(entry.path().filename().string());
        SCOPED_TRACE(strDelay);
        if (names.erase("long.fixed.mkv") == 1) {
            EXPECT_EQ(ProbePackets(copy), ProbePackets(in)) << "a copy that has its name is whole";
        }
        EXPECT_EQ(names, std::set<std::string>({"long.mkv"}));
        for (const std::string& name : names)
            fs::remove(name == "long.mkv" ? copy : dir.Path(name));
    }
}

// A container without a DTS track, or a --track that names none, is an error naming what the
// file holds; a build without container support says it reads streams and WAVE only.
TEST_F(MediaContainer, MissingTracksNameWhatTheFileHolds)
{
    const CliRun none = RunCli({Path("nodts.mkv")});
    EXPECT_EQ(none.nExit, 1);
    EXPECT_NE(none.err.find("no DTS track: video (H.264), audio (AC-3, eng)"), std::string::npos) << none.err;
    const CliRun bad = RunCli({"--track", "0", Path("movie.mkv")});
    EXPECT_EQ(bad.nExit, 1);
    EXPECT_NE(bad.err.find("no DTS track 0 (its DTS tracks: 1, 2): video (H.264)"), std::string::npos) << bad.err;
    const nlohmann::json picked = RunJson({"--track", "2", Path("movie.mkv")});
    ASSERT_EQ(picked["files"].size(), 1u);
    EXPECT_EQ(picked["files"][0]["track"], 2);

    IContainerSupport* pInstalled = IContainerSupport::Installed();
    IContainerSupport::Installed() = nullptr;
    const std::vector<InputItem> items = CInputItems::Expand(Path("movie.ts"), {});
    IContainerSupport::Installed() = pInstalled;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_NE(items[0].strProblem.find("this build reads elementary streams and WAVE only"), std::string::npos);
}

// A damaged frame in a track is skipped and reported at its time; in a copy its packet is
// dropped and every other packet stays: catches a copy that keeps the broken bytes, or that
// shifts the frames after the damage into the wrong packets. A track with no frame left writes
// no copy, and the last track's row says so instead of "done".
TEST_F(MediaContainer, DamagedFrameDropsItsPacket)
{
    std::vector<uint8_t> bytes = ReadFileBytes(Path("movie.mkv"));
    // The sync of the fifth frame of track 1: the first after where ffprobe says its packet lies.
    const std::string positions = Shell("ffprobe -v error -select_streams 1 -show_entries packet=pos -of csv=p=0 '"
                                        + Path("movie.mkv") + "' | sed -n 5p");
    size_t i = std::stoul(positions);
    while (i + 4 < bytes.size() && !(bytes[i] == 0x7F && bytes[i + 1] == 0xFE && bytes[i + 2] == 0x80 && bytes[i + 3] == 0x01))
        ++i;
    ASSERT_LT(i + 4, bytes.size());
    bytes[i + 1] = 0x00;
    const std::string damaged = s_pDir->Write("damaged.mkv", bytes);
    const auto before = ProbePackets(damaged);
    const nlohmann::json report = RunJson({"--remux", damaged});
    const auto& first = report["files"][0];
    EXPECT_EQ(first["frames"], before[1].second - 1);
    ASSERT_EQ(first["skipped"].size(), 1u);
    // The stretch is at its packet's time (the movie starts at 0).
    const std::string packetTime = Shell("ffprobe -v error -select_streams 1 -show_entries packet=pts_time -of csv=p=0 '"
                                         + damaged + "' | sed -n 5p");
    EXPECT_NEAR(first["skipped"][0]["time"].get<double>(), std::stod(packetTime), 0.0005);
    EXPECT_EQ(report["files"][1]["output"], Path("damaged.fixed.mkv"));
    auto after = ProbePackets(Path("damaged.fixed.mkv"));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[1].second, before[1].second - 1);
    after[1].second = before[1].second;
    EXPECT_EQ(after, before);

    std::istringstream all(Shell("ffprobe -v error -select_streams 1 -show_entries packet=pos -of csv=p=0 '" + Path("movie.mkv") + "'"));
    for (std::string pos; std::getline(all, pos);) {
        for (i = std::stoul(pos); i + 4 < bytes.size() && !DtsSync::IsCoreAt(&bytes[i]);)
            ++i;
        bytes[i + 1] = 0x00;
    }
    const std::string dead = s_pDir->Write("dead.mkv", bytes);
    const CliRun run = RunCli({"--json", "--remux", dead});
    const nlohmann::json files = nlohmann::json::parse(run.out)["files"];
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(files[0]["state"], "error: no DTS frames found");
    EXPECT_EQ(files[1]["state"], "error: cannot create output");
    EXPECT_EQ(files[1]["error"], "a track of the movie failed, so no copy was written");
    EXPECT_FALSE(std::filesystem::exists(Path("dead.fixed.mkv")));
}

// Containers cut anywhere end with a clear result: what was whole is reported, a rebuild or a
// copy is kept only when complete, and no temporary file is left behind.
TEST_F(MediaContainer, CutContainersLeaveNothingHalfWritten)
{
    for (const char* pszName : {"movie.mkv", "movie.ts", "movie.mp4"}) {
        const std::vector<uint8_t> whole = ReadFileBytes(Path(pszName));
        for (size_t nCut : {size_t{100}, whole.size() / 3, whole.size() / 2, whole.size() - 777}) {
            SCOPED_TRACE(std::string(pszName) + " cut at " + std::to_string(nCut));
            CTempDir dir;
            const std::string cut = dir.Write(std::string("cut") + std::filesystem::path(pszName).extension().string(),
                                              std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(nCut)));
            const CliRun run = RunCli({"--json", "--remux", cut});
            ASSERT_NE(run.nExit, 2) << run.err;
            std::set<std::string> names;
            for (const auto& entry : std::filesystem::directory_iterator(dir.Root()))
                names.insert(entry.path().filename().string());
            const nlohmann::json report = nlohmann::json::parse(run.out);
            const bool bCopied = run.nExit == 0;
            // The input, and the copy exactly when the run says it is done.
            EXPECT_EQ(names.size(), bCopied ? 2u : 1u);
            for (const auto& file : report["files"])
                EXPECT_TRUE(file["state"] == "done" || !file["error"].is_null());
        }
    }
}

// The real DTS-HD MA sample, its dialog normalisation taken out in a copy of the movie, still
// decodes losslessly to the same samples (its dialog normalisation is 0 dB already).
TEST_F(MediaContainer, RemuxedMasterAudioStaysLossless)
{
    const std::string sample = std::string(KESTRUNE_SHARED_SAMPLES) + "/sample_with_dts_hd_ma.mkv";
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "../shared/samples is not there";
    const std::string movie = s_pDir->Write("ma.mkv", ReadFileBytes(sample));
    const CliRun run = RunCli({"--remux", "--remove-dialnorm", movie});
    ASSERT_EQ(run.nExit, 0) << run.err;
    EXPECT_EQ(DecodedPcm(Path("ma.fixed.mkv"), "0:0"), DecodedPcm(movie, "0:0"));
    EXPECT_EQ(ProbePackets(Path("ma.fixed.mkv")), ProbePackets(movie));
}

// An MPEG-TS DTS stream declared with stream type 0x03 (as FFmpeg 5.1 reads a type 0x82 without
// the Blu-ray registration: MP3) is still found by its packets and walked, and its rebuild is the
// declared file's. Catches tracks chosen by their declared codec alone.
TEST_F(MediaContainer, UndeclaredDtsTrackIsFoundByItsPackets)
{
    std::vector<uint8_t> ts = ReadFileBytes(Path("movie.ts"));
    // The CRC of a PSI section: CRC-32/MPEG-2.
    auto crc32 = [](const uint8_t* p, size_t n) {
        uint32_t crc = 0xFFFFFFFF;
        for (size_t i = 0; i < n; ++i) {
            crc ^= static_cast<uint32_t>(p[i]) << 24;
            for (int b = 0; b < 8; ++b)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        return crc;
    };
    int nPatched = 0;
    for (size_t p = 0; p + 188 <= ts.size(); p += 188) {
        uint8_t* pk = ts.data() + p;
        // A PMT section starting in this packet, pointer field 0: table id 2 at byte 5.
        if ((pk[1] & 0x40) == 0 || pk[4] != 0 || pk[5] != 0x02)
            continue;
        const size_t nEnd = 8 + (((pk[6] & 0x0F) << 8) | pk[7]);
        for (size_t i = 17 + (((pk[15] & 0x0F) << 8) | pk[16]); i + 5 <= nEnd - 4; i += 5 + (((pk[i + 3] & 0x0F) << 8) | pk[i + 4])) {
            if (pk[i] == 0x82)
                pk[i] = 0x03;
        }
        const uint32_t crc = crc32(pk + 5, nEnd - 4 - 5);
        for (int k = 0; k < 4; ++k)
            pk[nEnd - 4 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
        ++nPatched;
    }
    ASSERT_GT(nPatched, 0);
    const std::string undeclared = s_pDir->Write("undeclared.ts", ts);
    ASSERT_EQ(ProbePackets(undeclared, "dts").size(), 0u) << "ffprobe should no longer call it DTS";
    const nlohmann::json report = RunJson({"--rebuild", undeclared});
    ASSERT_EQ(report["files"].size(), 1u);
    EXPECT_EQ(report["files"][0]["track"], 1);
    EXPECT_EQ(report["files"][0]["frames"], ProbePackets(Path("movie.ts"), "dts")[0].second);
    RunCli({"--rebuild", Path("movie.ts")});
    EXPECT_EQ(ReadFileBytes(undeclared + ".fixed.dts"), ReadFileBytes(Path("movie.ts.fixed.dts")));
}
