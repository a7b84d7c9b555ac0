// SPDX-License-Identifier: GPL-3.0-or-later
// IEC 61937 byte source: takes the DTS payload out of the data bursts of an S/PDIF framing
// (preambles F872 4E1F, burst info, length, the frame, zero stuffing) and hands it out as a
// plain 16-bit big-endian stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "stream/IByteSource.h"

// How the 16-bit words of a burst are stored, told from its first bytes.
enum class EIecOrder { None, BigEndian, LittleEndian };

class CIec61937Source : public IByteSource {
public:
    // The byte order of the burst preamble (Pa F872, Pb 4E1F) at pBytes, or None.
    static EIecOrder DetectIec61937(const uint8_t* pBytes, size_t nCount);

    // Reads the bursts from pStored, the bytes as stored from the first preamble on (not owned);
    // null detaches. stopProbe, when given, is asked now and then while a long stretch without a
    // burst is passed (a long silence); true ends the stream there.
    void Reset(IByteSource* pStored, EIecOrder eOrder, std::function<bool()> stopProbe = {});

    // The payload of each DTS burst (types I to III) in order; other bursts (pauses, other
    // codecs) and the stuffing between bursts are stepped over.
    int Read(uint8_t* pBytes, int nCount) override;
    bool HasReadError() const override { return m_pStored != nullptr && m_pStored->HasReadError(); }

private:
    // Makes at least nCount stored bytes available from m_nAt; false where the input ends first.
    bool Fill(int nCount);
    // The 16-bit word at stored offset m_nAt + nAt in the stored order.
    uint32_t WordAt(int nAt) const;
    // Finds the next DTS burst and takes its payload into m_Payload; false at the end.
    bool NextBurst();

    IByteSource* m_pStored = nullptr;
    EIecOrder m_eOrder = EIecOrder::None;
    std::vector<uint8_t> m_Stored;      // stored bytes read ahead
    int m_nAt = 0;                      // the next of them to look at
    int m_nEnd = 0;                     // ...and how many are valid
    std::vector<uint8_t> m_Payload;     // the current burst's payload, in stream order
    size_t m_nPayloadAt = 0;            // the next payload byte to hand out
    std::function<bool()> m_StopProbe;
};
