// SPDX-License-Identifier: GPL-3.0-or-later
// Input bit stream: hands out the stream of a byte source most significant bit first.
#include "stream/BitStream.h"

#include <algorithm>
#include <cstring>

namespace {

// Wide reads load eight bytes from any byte of the buffer, so this many more are allocated.
constexpr int kTail = 8;

int EvenBufferSize(int nBufferSize)
{
    const int nSize = std::max(nBufferSize, 2);
    return nSize + (nSize & 1);
}

}  // namespace

CBitStream::CBitStream()
    : CBitStream(kDefaultBufferSize)
{
}

CBitStream::CBitStream(int nBufferSize)
    : m_nBufferSize(EvenBufferSize(nBufferSize)),
      m_pBuffer(new uint8_t[static_cast<size_t>(m_nBufferSize) + kTail]())
{
}

void CBitStream::Open(IByteSource& source)
{
    Close();
    m_nBufferBaseBits = 0;
    ResetPosition();
    m_pSource = &source;
}

void CBitStream::Open(IStreamInput& input)
{
    Close();
    // A WAVE file's offsets count from its data chunk, and its stream starts at the first sync.
    m_pInput = &input;
    m_pSource = input.GetSource();
    m_eLayout = input.GetLayout();
    m_nOrigin = input.GetStartOffset();
    m_nBufferBaseBits = 8 * m_nOrigin;
    ResetPosition();
}

void CBitStream::Close()
{
    m_pSource = nullptr;
    m_pInput = nullptr;
    m_eLayout = EWordLayout::Unknown;
    m_nOrigin = 0;
    // A read after Close must not hand out what is left of the old file's buffer.
    ResetPosition();
}

bool CBitStream::IsOpen() const
{
    return m_pSource != nullptr;
}

void CBitStream::ResetPosition()
{
    // Bits that do not fill a whole byte are dropped with the buffer.
    m_nBufferBaseBits = GetBytePos() * 8;
    m_nValidLength = 0;
    m_nValidBits = 0;
    m_nBitPos = 0;
}

bool CBitStream::TryRefill()
{
    // After a failed read nothing more is taken: what a retry would deliver lies past a hole.
    const bool bUsable = m_pSource != nullptr && !m_pSource->HasReadError();
    const int nDelivered = bUsable ? m_pSource->Read(m_pBuffer.get(), m_nBufferSize) : 0;
    // A read error ends the stream like the end of the file (HasReadError tells them apart).
    // The buffer was wholly handed out, so emptying it leaves the counter where it is.
    if (nDelivered <= 0) {
        ResetPosition();
        return false;
    }
    m_nBufferBaseBits += static_cast<int64_t>(m_nValidLength) * 8;
    m_nValidLength = nDelivered;
    m_nValidBits = static_cast<uint64_t>(nDelivered) * 8;
    m_nBitPos = 0;
    return true;
}

void CBitStream::Refill()
{
    if (!TryRefill())
        throw EOFBSException();
}

int CBitStream::GetBitAfterRefill()
{
    Refill();
    return GetBit();
}

uint32_t CBitStream::GetBitsAcrossRefills(int count)
{
    // 64 bits wide so that a shift by 32 is defined; only the last 32 bits read are returned.
    uint64_t nValue = 0;
    while (count > 0) {
        // Throws with the bits of this call taken so far consumed, as a bit-by-bit read would.
        if (m_nBitPos >= m_nValidBits)
            Refill();
        const int n = static_cast<int>(std::min<uint64_t>({static_cast<uint64_t>(count), 32, m_nValidBits - m_nBitPos}));
        nValue = (nValue << n) | TakeBuffered(n);
        count -= n;
    }
    return static_cast<uint32_t>(nValue);
}

int CBitStream::ReadBytes(uint8_t* pBytes, int nCount)
{
    int nDone = 0;
    if ((m_nBitPos & 7) == 0) {
        // Byte-aligned: whole bytes are copied straight out of the buffer.
        while (nDone < nCount) {
            if (m_nBitPos >= m_nValidBits && !TryRefill())
                return nDone;
            const int nAvailable = static_cast<int>((m_nValidBits - m_nBitPos) >> 3);
            const int nTake = std::min(nAvailable, nCount - nDone);
            std::memcpy(pBytes + nDone, m_pBuffer.get() + (m_nBitPos >> 3), static_cast<size_t>(nTake));
            m_nBitPos += static_cast<uint64_t>(nTake) * 8;
            nDone += nTake;
        }
        return nDone;
    }
    try {
        for (; nDone < nCount; ++nDone)
            pBytes[nDone] = static_cast<uint8_t>(GetBits(8));
    } catch (const EOFBSException&) {
        // The bytes delivered are what a cut-short block keeps.
    }
    return nDone;
}

int CBitStream::FillAhead(int nBytes)
{
    const int nOffset = static_cast<int>(m_nBitPos >> 3);
    if (m_nValidLength - nOffset < nBytes && m_pSource != nullptr) {
        // The unread bytes move to the front and the rest of the buffer is filled behind them.
        const int nKeep = m_nValidLength - nOffset;
        std::memmove(m_pBuffer.get(), m_pBuffer.get() + nOffset, static_cast<size_t>(nKeep));
        m_nBufferBaseBits += static_cast<int64_t>(nOffset) * 8;
        m_nBitPos &= 7;
        m_nValidLength = nKeep;
        while (m_nValidLength < nBytes) {
            // Even counts keep 16-bit words whole from one read to the next.
            const int nRoom = (m_nBufferSize - m_nValidLength) & ~1;
            const int nRead = nRoom > 0 && !m_pSource->HasReadError() ? m_pSource->Read(m_pBuffer.get() + m_nValidLength, nRoom) : 0;
            if (nRead <= 0)
                break;
            m_nValidLength += nRead;
        }
        m_nValidBits = static_cast<uint64_t>(m_nValidLength) * 8;
    }
    return m_nValidLength - static_cast<int>(m_nBitPos >> 3);
}

int CBitStream::PeekBytes(uint8_t* pBytes, int nCount, int nSkipBits)
{
    if (nCount <= 0)
        return 0;
    // Bytes wanted from the current one on: a bit position inside a byte needs one more.
    const int nLead = static_cast<int>(m_nBitPos & 7) + nSkipBits;
    FillAhead(std::min(m_nBufferSize, nCount + (nLead + 7) / 8));
    const uint64_t nFirst = m_nBitPos + static_cast<uint64_t>(nSkipBits);
    if (nFirst >= m_nValidBits)
        return 0;
    const int nCopied = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(nCount), (m_nValidBits - nFirst) >> 3));
    if ((nFirst & 7) == 0) {
        std::memcpy(pBytes, m_pBuffer.get() + (nFirst >> 3), static_cast<size_t>(nCopied));
        return nCopied;
    }
    // Each byte read loads eight from the buffer on, which its zeroed tail leaves room for.
    for (int i = 0; i < nCopied; ++i)
        pBytes[i] = static_cast<uint8_t>(CBitReader::FieldAt(m_pBuffer.get(), nFirst + 8 * static_cast<uint64_t>(i), 8));
    return nCopied;
}

bool CBitStream::SkipBytes(int64_t nCount)
{
    while (nCount > 0) {
        if (m_nValidBits - m_nBitPos < 8) {
            // Inside a byte the bits left of the buffer are kept in front of the next read.
            const bool bMore = (m_nBitPos & 7) == 0 ? TryRefill() : FillAhead(m_nBufferSize) > 1;
            if (!bMore) {
                m_nBitPos = m_nValidBits;
                ResetPosition();
                return false;
            }
        }
        const int64_t nTake = std::min<int64_t>(nCount, static_cast<int64_t>((m_nValidBits - m_nBitPos) >> 3));
        m_nBitPos += static_cast<uint64_t>(nTake) * 8;
        nCount -= nTake;
    }
    return true;
}

int64_t CBitStream::WalkOffsetOf(int64_t nOffset, EWordLayout eLayout) const
{
    if (!IsPacked14(eLayout))
        return nOffset;
    // Seven stream bytes for every eight stored after the origin.
    return (8 * m_nOrigin + 7 * (nOffset - m_nOrigin)) >> 3;
}

int64_t CBitStream::NextWordAfter(int64_t nWalk, EWordLayout eLayout) const
{
    if (eLayout == EWordLayout::Words16BE)
        return nWalk + 1;
    // Words start at an even distance from the origin (a search may find a file's first frame at
    // an odd offset).
    if (!IsPacked14(eLayout))
        return nWalk + 2 - ((nWalk - m_nOrigin) & 1);
    const int64_t nBits = 8 * (nWalk - m_nOrigin);
    const int64_t nWord = nBits >= 0 ? nBits / 14 : -1;
    return m_nOrigin + 2 * (nWord + 1);
}

int CBitStream::BitsToNextWord() const
{
    if (!IsPacked14(m_eLayout))
        return 0;
    const int64_t nBits = m_nBufferBaseBits + static_cast<int64_t>(m_nBitPos) - 8 * m_nOrigin;
    const int nInto = static_cast<int>(((nBits % 14) + 14) % 14);
    return nInto == 0 ? 0 : 14 - nInto;
}

bool CBitStream::Reseat(int64_t nOffset, EWordLayout eLayout)
{
    // A byte source given as is cannot be positioned.
    if (m_pInput == nullptr || !m_pInput->MayReposition(nOffset, eLayout))
        return false;
    if (ReseatInBuffer(nOffset, eLayout))
        return true;
    if (!m_pInput->Reposition(nOffset, eLayout))
        return false;
    m_pSource = m_pInput->GetSource();
    m_eLayout = m_pInput->GetLayout();
    m_nBufferBaseBits = IsPacked14(eLayout) ? 8 * m_nOrigin + 7 * (nOffset - m_nOrigin) : 8 * nOffset;
    m_nValidLength = 0;
    m_nValidBits = 0;
    m_nBitPos = 0;
    return true;
}

bool CBitStream::ReseatInBuffer(int64_t nOffset, EWordLayout eLayout)
{
    // A search goes back to each candidate it confirms: where the bytes there are still buffered
    // in the same 16-bit layout (stored offsets are stream offsets), they are not read again.
    const int64_t nBit = 8 * nOffset;
    if (eLayout != m_eLayout || !m_pInput->KeepsStoredOffsets()
        || IsPacked14(eLayout) || nBit < m_nBufferBaseBits
        || nBit > m_nBufferBaseBits + static_cast<int64_t>(m_nValidBits))
        return false;
    m_nBitPos = static_cast<uint64_t>(nBit - m_nBufferBaseBits);
    return true;
}
