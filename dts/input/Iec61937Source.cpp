// SPDX-License-Identifier: GPL-3.0-or-later
// IEC 61937 byte source: the DTS payload of S/PDIF data bursts as a plain stream.
#include "dts/input/Iec61937Source.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kPa = 0xF872;
constexpr uint32_t kPb = 0x4E1F;
constexpr int kBurstHeader = 8;               // Pa, Pb, Pc (burst info), Pd (length)
constexpr int kReadAhead = 64 * 1024;
// The data types of Pc's low five bits that carry a DTS frame (types I, II and III: 512, 1024
// and 2048 samples); their length Pd counts bits.
constexpr uint32_t kDtsTypeI = 11;
constexpr uint32_t kDtsTypeIII = 13;

} // namespace

EIecOrder CIec61937Source::DetectIec61937(const uint8_t* pBytes, size_t nCount)
{
    if (nCount < 4)
        return EIecOrder::None;
    if (pBytes[0] == 0xF8 && pBytes[1] == 0x72 && pBytes[2] == 0x4E && pBytes[3] == 0x1F)
        return EIecOrder::BigEndian;
    if (pBytes[0] == 0x72 && pBytes[1] == 0xF8 && pBytes[2] == 0x1F && pBytes[3] == 0x4E)
        return EIecOrder::LittleEndian;
    return EIecOrder::None;
}

void CIec61937Source::Reset(IByteSource* pStored, EIecOrder eOrder, std::function<bool()> stopProbe)
{
    m_StopProbe = std::move(stopProbe);
    m_pStored = pStored;
    m_eOrder = eOrder;
    m_Stored.assign(kReadAhead, 0);
    m_nAt = 0;
    m_nEnd = 0;
    m_Payload.clear();
    m_nPayloadAt = 0;
}

bool CIec61937Source::Fill(int nCount)
{
    if (m_nEnd - m_nAt >= nCount)
        return true;
    if (m_pStored == nullptr || m_pStored->HasReadError())
        return false;
    std::memmove(m_Stored.data(), m_Stored.data() + m_nAt, static_cast<size_t>(m_nEnd - m_nAt));
    m_nEnd -= m_nAt;
    m_nAt = 0;
    if (static_cast<int>(m_Stored.size()) < nCount)
        m_Stored.resize(static_cast<size_t>(nCount));
    while (m_nEnd < nCount) {
        const int nRead = m_pStored->Read(m_Stored.data() + m_nEnd, static_cast<int>(m_Stored.size()) - m_nEnd);
        if (nRead <= 0)
            return false;
        m_nEnd += nRead;
    }
    return true;
}

uint32_t CIec61937Source::WordAt(int nAt) const
{
    const uint8_t* p = m_Stored.data() + m_nAt + nAt;
    return m_eOrder == EIecOrder::LittleEndian ? p[0] | (p[1] << 8u) : (p[0] << 8u) | p[1];
}

bool CIec61937Source::NextBurst()
{
    m_Payload.clear();
    m_nPayloadAt = 0;
    // Bursts start at word boundaries; the stuffing between them is zeros, but anything that is no
    // preamble is stepped over a word at a time.
    for (int64_t nPassed = 1; Fill(kBurstHeader); ++nPassed) {
        if (WordAt(0) != kPa || WordAt(2) != kPb) {
            m_nAt += 2;
            // A stop is heard every 2 MiB of stuffing or junk.
            if (nPassed % (1 << 20) == 0 && m_StopProbe && m_StopProbe())
                return false;
            continue;
        }
        const uint32_t nType = WordAt(4) & 0x1F;
        const int nBytes = static_cast<int>((WordAt(6) + 7) / 8);
        m_nAt += kBurstHeader;
        const int nStored = (nBytes + 1) & ~1;
        const bool bWhole = Fill(nStored);
        const int nTake = std::min(nStored, m_nEnd - m_nAt) & ~1;
        if (nType >= kDtsTypeI && nType <= kDtsTypeIII) {
            m_Payload.resize(static_cast<size_t>(nTake));
            for (int i = 0; i < nTake; i += 2) {
                const uint32_t nWord = WordAt(i);
                m_Payload[static_cast<size_t>(i)] = static_cast<uint8_t>(nWord >> 8);
                m_Payload[static_cast<size_t>(i) + 1] = static_cast<uint8_t>(nWord);
            }
            // The padding of an odd length's last word is not the stream's.
            m_Payload.resize(std::min(m_Payload.size(), static_cast<size_t>(nBytes)));
        }
        m_nAt += nTake;
        if (!m_Payload.empty() || !bWhole)
            return !m_Payload.empty();
    }
    return false;
}

int CIec61937Source::Read(uint8_t* pBytes, int nCount)
{
    int nDone = 0;
    while (nDone < nCount) {
        if (m_nPayloadAt >= m_Payload.size() && !NextBurst())
            break;
        const int nTake = static_cast<int>(std::min<size_t>(static_cast<size_t>(nCount - nDone), m_Payload.size() - m_nPayloadAt));
        std::memcpy(pBytes + nDone, m_Payload.data() + m_nPayloadAt, static_cast<size_t>(nTake));
        m_nPayloadAt += static_cast<size_t>(nTake);
        nDone += nTake;
    }
    return nDone;
}
