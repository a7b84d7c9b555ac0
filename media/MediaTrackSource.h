// SPDX-License-Identifier: GPL-3.0-or-later
// One DTS track of a movie container read through libavformat: the payloads of its packets back
// to back, with a recent stretch kept so that the search for the next frame can step back.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "stream/ITrackSource.h"

struct AVFormatContext;
struct AVPacket;

class CMediaTrackSource : public ITrackSource {
public:
    CMediaTrackSource() = default;
    ~CMediaTrackSource() override;
    CMediaTrackSource(const CMediaTrackSource&) = delete;
    CMediaTrackSource& operator=(const CMediaTrackSource&) = delete;

    // Opens strPath (UTF-8) and its stream nStream; false with strProblem set when it cannot.
    bool Open(const std::string& strPath, int nStream, std::string& strProblem);

    int Read(uint8_t* pBytes, int nCount) override;
    bool HasReadError() const override { return m_bReadError; }
    bool SeekTo(int64_t nOffset) override;
    double TimeAt(int64_t nOffset) const override;
    int64_t GetFilePos() const override;

    // Bytes of the track kept for stepping back: a search steps back by one frame at most
    // (a core frame and its substreams stay well below this).
    static constexpr size_t kKeepBehind = 1 << 20;

private:
    // Appends the next packet of the track to the kept bytes; false at the end of the input.
    bool NextPacket();
    // Drops kept bytes (and packet times) that lie well behind the read position.
    void Trim();

    AVFormatContext* m_pFormat = nullptr;
    AVPacket* m_pPacket = nullptr;
    int m_nStream = -1;
    double m_dTimeBase = 0;                         // seconds per timestamp unit
    double m_dStart = 0;                            // the movie's first time, in seconds
    std::vector<uint8_t> m_Kept;                    // track bytes from m_nKeptStart on
    int64_t m_nKeptStart = 0;
    int64_t m_nPos = 0;                             // the next byte Read hands out
    std::deque<std::pair<int64_t, double>> m_Times; // where each kept packet starts, and its time
    bool m_bEnded = false;
    bool m_bReadError = false;
};
