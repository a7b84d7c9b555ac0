// SPDX-License-Identifier: GPL-3.0-or-later
// Input bit stream: hands out the stream of a byte source most significant bit first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#include "stream/BitReader.h"
#include "stream/EOFBSException.h"
#include "stream/IByteSource.h"
#include "stream/IStreamInput.h"
#include "stream/WordLayout.h"

class CBitStream {
public:
    // Large enough that a refill costs little per byte, small enough to stay in the CPU cache.
    static constexpr int kDefaultBufferSize = 64 * 1024;

    CBitStream();
    // nBufferSize: bytes asked for per refill; rounded up to an even number of at least 2, so
    // that WAVE words are never split between two refills. Tests use small sizes to cross many
    // refills with few bytes.
    explicit CBitStream(int nBufferSize);
    virtual ~CBitStream() = default;
    CBitStream(const CBitStream&) = delete;
    CBitStream& operator=(const CBitStream&) = delete;

    // Reads the stream bytes of source as they come (no kind is detected); source is not owned.
    void Open(IByteSource& source);
    // Reads the stream of input (opened, not owned) from its start offset, and positions it
    // again where Reseat asks.
    void Open(IStreamInput& input);
    void Close();

    // Asked now and then during long steps that read ahead of the frames (searching for a frame,
    // stepping over zeros); true stops them as if the input ended. Kept across files.
    void SetStopProbe(std::function<bool()> stopProbe) { m_StopProbe = std::move(stopProbe); }
    bool IsStopRequested() const { return m_StopProbe && m_StopProbe(); }

    // True once a read of the input has failed: the end of the stream was not the end of the file.
    bool HasReadError() const { return m_pSource != nullptr && m_pSource->HasReadError(); }

    // 0 or 1; throws EOFBSException when no bit is left.
    int GetBit();
    // The next count bits, first bit most significant. count <= 0 reads nothing and
    // returns 0; above 32 only the last 32 bits read are kept. When the input ends first,
    // the bits already taken stay consumed and EOFBSException is thrown.
    uint32_t GetBits(int count);
    // The next nCount bytes, exactly as nCount calls of GetBits(8) would hand them out, at any
    // bit position. Returns how many were delivered: fewer than nCount only when the input ended,
    // and then the stream is where GetBits(8) would have left it when it threw (the bits of a
    // byte begun before the end are consumed, the counter counts the whole bytes delivered, and
    // every further read throws). Never throws EOFBSException itself, so a caller can keep the
    // bytes of a cut-short block without a handler per byte. nCount <= 0 reads nothing.
    int ReadBytes(uint8_t* pBytes, int nCount);
    // Copies up to nCount (at most the buffer size) upcoming bytes into pBytes without consuming
    // them, the first starting nSkipBits (0..15) bits after the current position, at any bit
    // position; fewer only where the input ends. Returns how many were copied.
    int PeekBytes(uint8_t* pBytes, int nCount, int nSkipBits = 0);
    // Reads ahead, without handing anything out, until the buffer holds nCount bytes (at most its
    // size) from the current one on, so that reading them and going back (Reseat) reads nothing
    // again. Returns how many it holds; fewer only where the input ends.
    int Prefetch(int nCount) { return FillAhead(std::min(nCount, m_nBufferSize)); }
    // Hands out and drops nCount bytes, at any bit position; false where the input ended first.
    bool SkipBytes(int64_t nCount);
    // Starts reading again at nOffset of the stored words (from the start of a plain file, or of
    // a WAVE file's data chunk; even for every layout but 16-bit big-endian) in word layout
    // eLayout; the counter becomes the walk offset of nOffset (WalkOffsetOf). For the 16-bit
    // layouts the two are the same, so a walk can go back to any frame start it has seen. False
    // where the input cannot be positioned there.
    bool Reseat(int64_t nOffset, EWordLayout eLayout);
    // The time in seconds of the container packet that holds stream offset nOffset; negative
    // for inputs without times (a plain file, WAVE) and where the container gives none.
    double TimeAt(int64_t nOffset) const { return GetTrack() ? GetTrack()->TimeAt(nOffset) : -1.0; }
    // How far into the input file reading has come, for a progress: the bytes handed out, or for
    // a container's track how far the container has been read.
    int64_t GetProgressPos() const { return GetTrack() ? GetTrack()->GetFilePos() : GetBytePos(); }
    // The word layout bytes are being read in.
    EWordLayout GetLayout() const { return m_eLayout; }

    // Offsets in a 14-bit layout count the stream's bytes, seven for every eight stored, from an
    // origin: the file's start, the first sync of a WAVE file, or where a search for the first
    // frame of a file sets it. For the 16-bit layouts offsets are those of the stored bytes.
    void SetOrigin(int64_t nOffset) { m_nOrigin = nOffset; }
    int64_t GetOrigin() const { return m_nOrigin; }
    // The walk offset of stored offset nOffset in layout eLayout (rounded down to a whole byte).
    int64_t WalkOffsetOf(int64_t nOffset, EWordLayout eLayout) const;
    // The stored offset of the first word that starts after walk offset nWalk in layout eLayout.
    int64_t NextWordAfter(int64_t nWalk, EWordLayout eLayout) const;
    // Bits from the current position to the start of the next stored word in a 14-bit layout
    // (0 at a word start, and always 0 in a 16-bit layout).
    int BitsToNextWord() const;

    // Bytes wholly handed out since Open, plus the WAVE sync offset for WAVE inputs; in 14-bit
    // layouts, see SetOrigin. 64-bit: streams of several GiB are common.
    int64_t GetBytePos() const;

    bool IsOpen() const;

private:
    const ITrackSource* GetTrack() const { return m_pInput != nullptr ? m_pInput->GetTrack() : nullptr; }
    // Empties the buffer, keeping the counter, so that the next bit read refills.
    void ResetPosition();
    // Fills the buffer from the input; false (the buffer left empty) when nothing more comes.
    bool TryRefill();
    // Moves the unread bits (with the partly read byte) to the front and reads behind them until
    // the buffer holds nBytes bytes from the current byte on, or the input ends; the bit position
    // within the byte is kept. Returns the whole bytes now available after the current position.
    int FillAhead(int nBytes);
    // As TryRefill, but the end of the input throws EOFBSException.
    void Refill();
    // The next n bits (1..32), which the buffer must hold.
    uint32_t TakeBuffered(int n);
    // GetBits for reads that cross the end of the buffer or are wider than 32 bits.
    uint32_t GetBitsAcrossRefills(int count);
    // Reseat within the bytes still buffered, where the layout allows: false where it cannot.
    bool ReseatInBuffer(int64_t nOffset, EWordLayout eLayout);
    // GetBit when the buffer is used up: refills (or throws) first.
    int GetBitAfterRefill();

    int m_nBufferSize;                       // bytes asked for per refill
    std::unique_ptr<uint8_t[]> m_pBuffer;    // m_nBufferSize bytes and a zeroed tail, allocated once
    int64_t m_nBufferBaseBits = 0;           // the counter, in bits, at the first bit of the buffer
    int m_nValidLength = 0;                  // bytes the last refill delivered
    uint64_t m_nValidBits = 0;               // m_nValidLength * 8
    uint64_t m_nBitPos = 0;                  // bits of the buffer handed out so far
    int64_t m_nOrigin = 0;                   // where 14-bit offsets start counting (SetOrigin)
    IByteSource* m_pSource = nullptr;        // where refills come from; null when closed
    // The input's word layout, kept here because every frame asks for it.
    EWordLayout m_eLayout = EWordLayout::Unknown;
    IStreamInput* m_pInput = nullptr;        // what m_pSource is positioned through; null for a bare source
    std::function<bool()> m_StopProbe;
};

// The header fields of every frame are read with these, so their common case is inline.

inline uint32_t CBitStream::TakeBuffered(int n)
{
    // Bytes beyond the valid length (or in the zeroed tail) only fill bits that are shifted away.
    const uint32_t nField = CBitReader::FieldAt(m_pBuffer.get(), m_nBitPos, n);
    m_nBitPos += static_cast<uint64_t>(n);
    return nField;
}

// Asked several times for every frame.
inline int64_t CBitStream::GetBytePos() const
{
    return (m_nBufferBaseBits + static_cast<int64_t>(m_nBitPos)) >> 3;
}

inline int CBitStream::GetBit()
{
    if (m_nBitPos >= m_nValidBits)
        return GetBitAfterRefill();
    const int nBit = (m_pBuffer[m_nBitPos >> 3] >> (7 - (m_nBitPos & 7))) & 1;
    ++m_nBitPos;
    return nBit;
}

inline uint32_t CBitStream::GetBits(int count)
{
    if (count > 0 && count <= 32 && m_nBitPos + static_cast<uint64_t>(count) <= m_nValidBits)
        return TakeBuffered(count);
    return count > 0 ? GetBitsAcrossRefills(count) : 0;
}
