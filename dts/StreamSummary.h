// SPDX-License-Identifier: GPL-3.0-or-later
// What a whole stream is, gathered frame by frame as the loop walks it: its kind in full, its
// channels, resolution, duration and bit rates.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "dts/FrameHeader.h"
#include "dts/SubstreamHeader.h"

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
    void AddCoreFrame(const FrameHeader& h, EExtensionKind eExtension, const SubstreamInfo* pFirst, int64_t nBytes)
    {
        // Every frame passes here, and most are like the one before: only their bytes and time count.
        if (h.SFREQ != m_nLastSFREQ || h.NBLKS != m_nLastNBLKS || eExtension > m_eExtension
            || (pFirst != nullptr && m_Asset.nChannels == 0))
            TakeCoreFacts(h, eExtension, pFirst);
        AddTime(m_dCoreFrameSeconds, nBytes);
    }
    // A substream walked as a frame of its own, in a stream without a core.
    void AddSubstreamFrame(const SubstreamInfo& info, int64_t nBytes);
    // Whether the first lossless frame is still to be looked into for DTS:X object data.
    bool WantsDtsXLook() const { return !m_bDtsXLooked; }
    void SetDtsXLooked(bool bDtsX);
    // Whether the substreams' asset facts are still to be taken from one that has them.
    bool WantsAssetFacts() const { return m_Asset.nChannels == 0; }
    // Whether a core frame was walked: a stream of substreams alone has none.
    bool HasCore() const { return m_bCore; }

    Values GetValues() const;

private:
    // What a core frame unlike the one before tells.
    void TakeCoreFacts(const FrameHeader& h, EExtensionKind eExtension, const SubstreamInfo* pFirst);
    // Counts a frame of dSeconds and nBytes into the duration and the bit rates.
    void AddTime(double dSeconds, int64_t nBytes)
    {
        m_dSeconds += dSeconds;
        m_nBytes += nBytes;
        if (dSeconds != m_dWindowFrameSeconds)
            StartWindow(dSeconds);
        if (m_Ring.empty())
            return;
        m_nWindowBytes += nBytes - m_Ring[m_nRingAt];
        m_Ring[m_nRingAt] = nBytes;
        if (++m_nRingAt == m_Ring.size()) {
            m_nRingAt = 0;
            m_bRingFull = true;
        }
        if (m_bRingFull && m_nWindowBytes > m_nPeakWindowBytes)
            NotePeak(dSeconds);
    }
    // The window's bytes are the most yet in frames of dSeconds.
    void NotePeak(double dSeconds);
    // Empties the window for frames of dSeconds.
    void StartWindow(double dSeconds);
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
    // The length of the last core frame, kept for the frames after it, which mostly share it.
    uint32_t m_nLastSFREQ = UINT32_MAX;
    uint32_t m_nLastNBLKS = UINT32_MAX;
    double m_dCoreFrameSeconds = 0;
    // The bytes of the last frames that span one second, in a ring: a frame costs a few additions.
    // Frames of another length start the window anew (a stream's frames mostly share one).
    double m_dWindowFrameSeconds = -1;
    std::vector<int64_t> m_Ring;
    size_t m_nRingAt = 0;
    bool m_bRingFull = false;
    int64_t m_nWindowBytes = 0;
    int64_t m_nPeakWindowBytes = 0;
    double m_dPeakKbps = 0;
};
