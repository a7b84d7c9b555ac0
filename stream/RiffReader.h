// SPDX-License-Identifier: GPL-3.0-or-later
// Walks the chunks of a RIFF file over a standard file: descend, read, ascend and seek.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

class CRiffReader {
public:
    // One chunk found by a descent. Offsets are from the start of the file.
    struct Chunk {
        char id[4] = {};          // four-character chunk id
        char formType[4] = {};    // form type of a RIFF chunk; unused for other chunks
        int64_t nSize = 0;        // size as declared in the header (never trusted to fit the file)
        int64_t nDataOffset = 0;  // first byte of the contents (for RIFF: the form type)
    };

    // Walks a file its caller opened and keeps owning; Close only lets go of it.
    void Attach(std::FILE* pFile);
    void Close();
    bool IsOpen() const;

    // From the start of the file, the first top-level RIFF chunk of this form type; the file is
    // then positioned after the form type, at the first sub-chunk.
    bool DescendRiff(const char (&formType)[5], Chunk& riff);
    // Searching forward from the current position, the sub-chunk of parent with this id; the file
    // is then positioned at its contents. Chunks that do not lie in the parent are not found.
    bool DescendChunk(const Chunk& parent, const char (&id)[5], Chunk& chunk);
    // The last chunk a descent stepped over whose declared size runs past the end of the file, or
    // null: a walk that found nothing after it was cut short by it.
    const Chunk* GetOverrun() const { return m_bOverrun ? &m_Overrun : nullptr; }
    // Positions the file after chunk, stepping over the pad byte that follows an odd size.
    bool Ascend(const Chunk& chunk);

    // Up to nCount bytes at the current position: the number read, 0 at the end, -1 on error.
    int64_t Read(void* pBuffer, int64_t nCount);
    // The new position from the start of the file, or -1 on failure.
    int64_t Seek(int64_t nOffset, int nOrigin);

    // For readers that take their data straight from the file at its current position.
    std::FILE* GetFile() const;
    // The file's length, or -1 when it cannot be told.
    int64_t FileSize() const;

    // Asked every few thousand chunks of a walk; true ends the walk as if nothing were found.
    void SetStopProbe(std::function<bool()> stopProbe) { m_StopProbe = std::move(stopProbe); }
    bool WasStopped() const { return m_bStopped; }

private:
    bool ReadHeaderAt(int64_t nOffset, Chunk& chunk);
    // The nCount bytes at nOffset, from a window of the file read in large blocks, so that walks
    // over many small chunks cost no read per chunk; null where the file ends first. Valid until
    // the next call; moves the file's position anywhere.
    const uint8_t* WindowAt(int64_t nOffset, int nCount)
    {
        if (nOffset >= m_nWindowStart && nOffset + nCount <= m_nWindowStart + m_nWindowLength)
            return m_pWindow.get() + (nOffset - m_nWindowStart);
        return RefillWindowAt(nOffset, nCount);
    }
    // WindowAt where the window does not hold the bytes: reads it anew from nOffset.
    const uint8_t* RefillWindowAt(int64_t nOffset, int nCount);
    // Moves to nOffset: by reading when it is a little ahead (a seek would throw away the file
    // library's buffer, and walks over many small chunks would then read the file many times
    // over), by seeking otherwise.
    bool MoveTo(int64_t nOffset);
    // Where a parent's sub-chunks end: its declared end, or the file's end for a size of 0,
    // 0xFFFFFFFF or one that runs past the file (streamed and over-long files are common).
    int64_t ContentEnd(const Chunk& parent) const;
    // Asked every kStepsPerProbe chunks of a walk.
    bool StopRequested() { return ++m_nStepsSinceProbe >= kStepsPerProbe && AskStopProbe(); }
    bool AskStopProbe();
    static constexpr int kStepsPerProbe = 4096;

    std::FILE* m_pFile = nullptr;
    int64_t m_nPos = -1;              // where the file is, as far as this reader moved it; -1: unknown
    mutable int64_t m_nFileSize = -2; // the file's length once measured; -1: cannot be told, -2: not yet
    std::function<bool()> m_StopProbe;
    bool m_bStopped = false;
    Chunk m_Overrun;
    bool m_bOverrun = false;
    int m_nStepsSinceProbe = 0;
    std::unique_ptr<uint8_t[]> m_pWindow;  // file bytes from m_nWindowStart, m_nWindowLength of them
    int64_t m_nWindowStart = 0;
    int64_t m_nWindowLength = 0;
};
