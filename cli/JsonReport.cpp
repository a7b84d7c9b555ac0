// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's JSON report.
#include "cli/JsonReport.h"

#include "cli/TerminalText.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace {

// The bytes of a name as hex, so a name that is not valid UTF-8 can still be recovered.
std::string HexBytes(const std::string& str)
{
    std::string hex;
    char digits[3];
    for (unsigned char c : str) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

std::string Optional(const std::optional<std::string>& str)
{
    return str ? CJsonReport::Quote(*str) : "null";
}

std::string Number(double d)
{
    return nlohmann::json(d).dump();
}

// The "stream" object of a file, or null where no frame was walked.
std::string StreamObject(const CStreamSummary::Values& v)
{
    if (v.strKind.empty())
        return "null";
    auto flag = [](bool b) { return b ? "true" : "false"; };
    std::string str = "{\"kind\":" + CJsonReport::Quote(v.strKind) + ",\"channels\":" + std::to_string(v.nChannels)
                      + ",\"layout\":" + CJsonReport::Quote(v.strLayout) + ",\"speakers\":" + CJsonReport::Quote(v.strSpeakers)
                      + ",\"lfe\":" + flag(v.bLFE) + ",\"bits\":" + (v.nBits > 0 ? std::to_string(v.nBits) : "null")
                      + ",\"sample_rate_hz\":" + std::to_string(v.nSampleRateHz) + ",\"lossless\":" + flag(v.bLossless)
                      + ",\"dtsx\":" + flag(v.bDtsX);
    // Milliseconds and whole kb/s: finer figures would claim more than frame counts can tell.
    return str + ",\"duration_s\":" + Number(std::round(v.dDurationS * 1000) / 1000)
           + ",\"bitrate_kbps_avg\":" + Number(std::round(v.dKbpsAvg))
           + ",\"bitrate_kbps_peak\":" + Number(std::round(v.dKbpsPeak)) + '}';
}

std::string CutShortObject(const std::optional<CutShortFrame>& cut)
{
    if (!cut)
        return "null";
    return "{\"offset\":" + std::to_string(cut->nOffset) + ",\"frame\":" + std::to_string(cut->nFrame)
           + ",\"bytes\":" + std::to_string(cut->nBytes)
           + ",\"expected\":" + (cut->nExpected > 0 ? std::to_string(cut->nExpected) : "null") + '}';
}

} // namespace

CJsonReport::CJsonReport(std::ostream& out)
    : CCliReport(out)
{
    m_Out << "{\"schema\":" << kSchema << ",\"files\":[";
}

std::string CJsonReport::Quote(const std::string& str)
{
    return nlohmann::json(str).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void CJsonReport::BeginFile(const InputItem& item, std::optional<uint64_t> nSize)
{
    const std::string& strPath = item.strPath;
    auto orNull = [](const std::string& str) { return str.empty() ? std::string("null") : Quote(str); };
    m_Out << (m_bFirstFile ? "" : ",") << "{\"file\":" << Quote(strPath);
    if (!CTerminalText::IsValidUtf8(strPath))
        m_Out << ",\"file_bytes\":\"" << HexBytes(strPath) << '"';
    m_Out << ",\"size\":" << (nSize ? std::to_string(*nSize) : "null") << ",\"container\":" << orNull(item.strContainer)
          << ",\"track\":" << (item.IsTrack() ? std::to_string(item.nTrack) : "null")
          << ",\"language\":" << orNull(item.strLanguage) << ",\"title\":" << orNull(item.strTitle) << ",\"rows\":[";
    m_bFirstFile = false;
    m_bFirstRow = true;
}

void CJsonReport::AddRow(const FrameRow& row)
{
    if (row.nSkippedBytes > 0) {
        m_Skipped.push_back({row.nOffset, row.nSkippedBytes, row.dTime});
        return;
    }
    m_Out << (m_bFirstRow ? "" : ",") << "{\"offset\":" << row.nOffset << ",\"frame\":" << row.nFrame
          << ",\"bitrate\":" << Quote(row.strBitrate)
          << ",\"bitrate_kbps\":" << (row.dBitrateKbps < 0 ? "null" : Number(row.dBitrateKbps))
          << ",\"format\":" << Quote(row.strFormat) << ",\"sample_rate_hz\":" << row.nSampleRateHz
          << ",\"channels\":" << Quote(row.strChannels) << ",\"lfe\":" << (row.bLFE ? "true" : "false")
          << ",\"frame_size\":" << row.nFrameSize << ",\"dialnorm\":" << Quote(row.strDialNorm)
          << ",\"dialnorm_db\":" << row.nDialNormDb << ",\"crc\":" << (row.bCRC ? "true" : "false")
          << ",\"extension\":" << (row.strExtension.empty() ? "null" : Quote(row.strExtension))
          << ",\"time\":" << (row.dTime < 0 ? "null" : Number(row.dTime)) << '}';
    m_bFirstRow = false;
}

void CJsonReport::EndFile(const FileSummary& summary)
{
    m_Out << "],\"skipped\":[";
    for (size_t i = 0; i < m_Skipped.size(); ++i)
        m_Out << (i == 0 ? "" : ",") << "{\"offset\":" << m_Skipped[i].nOffset << ",\"bytes\":" << m_Skipped[i].nBytes
              << ",\"time\":" << (m_Skipped[i].dTime < 0 ? "null" : Number(m_Skipped[i].dTime)) << '}';
    m_Skipped.clear();
    m_Out << "],\"state\":" << Quote(summary.strState)
          << ",\"error\":" << (summary.strError.empty() ? "null" : Quote(summary.strError))
          << ",\"detected_format\":" << Optional(summary.strDetectedFormat) << ",\"frames\":" << summary.nFrames
          << ",\"output\":" << Optional(summary.strOutput)
          << ",\"input_kind\":" << (summary.strInputKind.empty() ? "null" : Quote(summary.strInputKind))
          << ",\"stream\":" << StreamObject(summary.stream) << ",\"cut_short\":" << CutShortObject(summary.cutShort);
    if (summary.strOutput && !CTerminalText::IsValidUtf8(*summary.strOutput))
        m_Out << ",\"output_bytes\":\"" << HexBytes(*summary.strOutput) << '"';
    m_Out << '}';
}

void CJsonReport::Finish()
{
    m_Out << "]}\n";
}
