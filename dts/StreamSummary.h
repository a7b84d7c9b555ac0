// What a whole stream is, gathered frame by frame as the loop walks it: its kind in full, its
// channels, resolution, duration and bit rates.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "dts/SubstreamHeader.h"

struct FrameHeader;

class CStreamSummary {
public:
    struct Values {
        std::string strKind;       // "DTS", "DTS-ES", ..., "DTS-HD MA + DTS:X"; empty: no frame
        int nChannels = 0;         // LFE included
        std::string strLayout;     // "7.1", "5.1", "2.0"...
        std::string strSpeakers;   // the speakers in the core's names ("C+L+R+SL+SR+LFE")
        bool bLFE = false;
        int nBits = 0;             // 0 where no header tells
        int nSampleRateHz = 0;
        bool bLossless = false;
        bool bDtsX = false;
        double dDurationS = 0;
        double dKbpsAvg = 0;       // the whole stream's bytes over its duration
        double dKbpsPeak = 0;      // the most over any one second (the average in a shorter stream)

        // "DTS-HD MA 7.1 24-bit 48 kHz lossless, 0:01.003, 1596 kb/s"; empty without a frame.
        std::string Text() const;
    };

    // A whole core frame, with what its substreams carry (pFirst: the first one's header, or
    // null where none follows) and nBytes from its start to where the next frame may start.
    void AddCoreFrame(const FrameHeader& h, EExtensionKind eExtension, const SubstreamInfo* pFirst, int64_t nBytes);
    // A substream walked as a frame of its own, in a stream without a core.
    void AddSubstreamFrame(const SubstreamInfo& info, int64_t nBytes);
    // Whether the first lossless frame is still to be looked into for DTS:X object data.
    bool WantsDtsXLook() const { return !m_bDtsXLooked; }
    void SetDtsXLooked(bool bDtsX);
    // Whether a core frame was walked: a stream of substreams alone has none.
    bool HasCore() const { return m_bCore; }

    Values GetValues() const;

    // The speakers of a speaker activity mask in the core's names, LFE last ("C+L+R+SL+SR+LFE").
    static std::string SpeakerNames(uint32_t nMask);
    // The LFE channels of a speaker activity mask.
    static int LfeChannels(uint32_t nMask);

private:
    // Counts a frame of nSamples at nRateHz into the duration and the bit rates.
    void AddTime(int nSamples, int nRateHz, int64_t nBytes);
    void TakeAsset(const SubstreamInfo& info);
    std::string KindText() const;

    bool m_bCore = false;
    bool m_bCoreFacts = false;          // the first core frame's facts below are set
    uint32_t m_nAMODE = 0;
    bool m_bCoreLFE = false;
    uint32_t m_nPCMR = 0;
    int m_nCoreRateHz = 0;
    bool m_bXCh = false;                // the core carries a sixth/seventh channel extension
    bool m_bX96 = false;
    AssetFacts m_Asset;                 // from the first substream whose asset says what it holds
    EExtensionKind m_eExtension = EExtensionKind::None;
    bool m_bDtsXLooked = false;
    bool m_bDtsX = false;

    double m_dSeconds = 0;
    int64_t m_nBytes = 0;
    // The last frames, spanning just under one second, for the peak bit rate.
    std::deque<std::pair<int64_t, double>> m_Window;
    int64_t m_nWindowBytes = 0;
    double m_dWindowSeconds = 0;
    double m_dPeakKbps = 0;
};
