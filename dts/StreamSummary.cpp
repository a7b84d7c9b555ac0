// SPDX-License-Identifier: GPL-3.0-or-later
// The summary of a stream, gathered during its walk.
#include "dts/StreamSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dts/HeaderLabels.h"
#include "dts/SpeakerMask.h"

namespace {

// EXT_AUDIO_ID of the core's own extensions: a sixth (or further) channel, 96 kHz.
constexpr uint32_t kExtXCh = 0;
constexpr uint32_t kExtX96 = 2;
constexpr uint32_t kExtXXCh = 6;

// A second span short of one second still counts as one: sums of frame lengths are not exact.
constexpr double kOneSecond = 1.0 - 1e-9;

} // namespace

namespace {

std::string LayoutName(int nChannels, int nLfe)
{
    return std::to_string(nChannels - nLfe) + "." + std::to_string(nLfe);
}

std::string DurationText(double dSeconds)
{
    const auto nMs = static_cast<long long>(std::llround(dSeconds * 1000));
    char text[48];
    if (nMs >= 3600000)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", nMs / 3600000, nMs / 60000 % 60, nMs / 1000 % 60,
                      nMs % 1000);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", nMs / 60000, nMs / 1000 % 60, nMs % 1000);
    return text;
}

} // namespace

void CStreamSummary::TakeCoreFacts(const FrameHeader& h, EExtensionKind eExtension, const SubstreamInfo* pFirst)
{
    if (!m_bCoreFacts) {
        m_bCoreFacts = true;
        m_nAMODE = h.AMODE;
        m_bCoreLFE = h.LFF == 1 || h.LFF == 2;
        m_nPCMR = h.PCMR;
        m_nCoreRateHz = SampleRateHz(h.SFREQ, 0);
        m_bXCh = h.EXT_AUDIO == 1 && (h.EXT_AUDIO_ID == kExtXCh || h.EXT_AUDIO_ID == kExtXXCh);
        m_bX96 = h.EXT_AUDIO == 1 && h.EXT_AUDIO_ID == kExtX96;
    }
    m_bCore = true;
    if (eExtension > m_eExtension)
        m_eExtension = eExtension;
    if (pFirst != nullptr && m_Asset.nChannels == 0)
        TakeAsset(*pFirst);
    if (h.SFREQ != m_nLastSFREQ || h.NBLKS != m_nLastNBLKS) {
        m_nLastSFREQ = h.SFREQ;
        m_nLastNBLKS = h.NBLKS;
        const int nRateHz = SampleRateHz(h.SFREQ, 0);
        // A frame whose rate no header tells adds its bytes but no time.
        m_dCoreFrameSeconds = nRateHz > 0 ? (h.NBLKS + 1) * 32.0 / nRateHz : 0.0;
    }
}

void CStreamSummary::AddSubstreamFrame(const SubstreamInfo& info, int64_t nBytes)
{
    m_eExtension = StrongerKind(m_eExtension, info.eKind);
    TakeAsset(info);
    AddTime(info.nRefClockHz > 0 ? static_cast<double>(info.nFrameSamples) / info.nRefClockHz : 0.0, nBytes);
}

void CStreamSummary::SetDtsXLooked(bool bDtsX)
{
    m_bDtsXLooked = true;
    m_bDtsX = bDtsX;
}

void CStreamSummary::TakeAsset(const SubstreamInfo& info)
{
    if (m_Asset.nChannels == 0 && info.best.nChannels > 0) {
        m_Asset = info.best;
        // Only a lossless asset can carry DTS:X object data.
        m_bDtsXLooked = m_bDtsXLooked || !m_Asset.bLossless;
    }
}

void CStreamSummary::StartWindow(double dSeconds)
{
    m_dWindowFrameSeconds = dSeconds;
    m_Ring.assign(dSeconds > 0 ? static_cast<size_t>(std::ceil(kOneSecond / dSeconds)) : 0, 0);
    m_nRingAt = 0;
    m_bRingFull = false;
    m_nWindowBytes = 0;
    m_nPeakWindowBytes = 0;
}

void CStreamSummary::NotePeak(double dSeconds)
{
    m_nPeakWindowBytes = m_nWindowBytes;
    const double dWindowSeconds = dSeconds * static_cast<double>(m_Ring.size());
    m_dPeakKbps = std::max(m_dPeakKbps, static_cast<double>(m_nWindowBytes) * 8 / dWindowSeconds / 1000);
}

std::string CStreamSummary::KindText() const
{
    std::string strKind;
    if (m_eExtension == EExtensionKind::MA || m_eExtension == EExtensionKind::HRA || !m_bCore)
        strKind = ExtensionKindLabel(m_eExtension);
    else if (m_eExtension != EExtensionKind::None)
        strKind = "DTS-HD";
    else if (m_bXCh)
        strKind = "DTS-ES";
    else
        strKind = m_bX96 ? "DTS 96/24" : "DTS";
    return m_bDtsX ? strKind + " + DTS:X" : strKind;
}

CStreamSummary::Values CStreamSummary::GetValues() const
{
    Values v;
    if (!m_bCore && m_eExtension == EExtensionKind::None)
        return v;
    v.strKind = KindText();
    if (m_Asset.nChannels > 0) {
        const int nLfe = SpeakerMask::LfeChannels(m_Asset.nSpeakerMask);
        v.nChannels = m_Asset.nChannels;
        v.strLayout = LayoutName(v.nChannels, nLfe);
        v.strSpeakers = SpeakerMask::SpeakerNames(m_Asset.nSpeakerMask);
        v.bLFE = nLfe > 0;
        v.nBits = m_Asset.nBits;
        v.nSampleRateHz = m_Asset.nSampleRateHz;
        v.bLossless = m_Asset.bLossless;
    } else if (m_bCoreFacts) {
        // The extension's extra channel is a surround centre behind the core's arrangement.
        v.bLFE = m_bCoreLFE;
        v.nChannels = ChannelCount(static_cast<int32_t>(m_nAMODE)) + (m_bXCh ? 1 : 0) + (v.bLFE ? 1 : 0);
        v.strLayout = LayoutName(v.nChannels, v.bLFE ? 1 : 0);
        v.strSpeakers = FormatChannelLabel(static_cast<int32_t>(m_nAMODE)) + (m_bXCh ? "+S" : "") + (v.bLFE ? "+LFE" : "");
        v.nBits = PcmResolutionBits(m_nPCMR);
        v.nSampleRateHz = m_nCoreRateHz * (m_bX96 ? 2 : 1);
    }
    v.bDtsX = m_bDtsX;
    v.dDurationS = m_dSeconds;
    v.dKbpsAvg = m_dSeconds > 0 ? static_cast<double>(m_nBytes) * 8 / m_dSeconds / 1000 : 0.0;
    v.dKbpsPeak = m_dPeakKbps > 0 ? m_dPeakKbps : v.dKbpsAvg;
    return v;
}

std::string CStreamSummary::Values::Text() const
{
    if (strKind.empty())
        return std::string();
    char text[160];
    char bits[16] = "";
    if (nBits > 0)
        std::snprintf(bits, sizeof bits, " %d-bit", nBits);
    std::snprintf(text, sizeof text, "%s %s%s %g kHz%s, %s, %.0f kb/s", strKind.c_str(), strLayout.c_str(), bits,
                  nSampleRateHz / 1000.0, bLossless ? " lossless" : "", DurationText(dDurationS).c_str(), dKbpsAvg);
    return text;
}
