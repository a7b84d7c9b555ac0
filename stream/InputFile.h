// A file as Kestrune's own readers take it: what kind it is, told by its first bytes, and the
// byte source that hands out the DTS stream it stores (words in any layout, or WAVE data).
// Movie containers are not its business: their tracks come from an ITrackSource.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "stream/FileByteSource.h"
#include "stream/IByteSource.h"
#include "stream/InputKind.h"
#include "stream/WaveSource.h"
#include "stream/WordLayoutSource.h"

class CInputFile {
public:
    CInputFile() = default;
    ~CInputFile() { Close(); }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // fileName is UTF-8 ("-": standard input, which a pipe may feed: read once, in order, and
    // never WAVE). True when the file is open with its source at the stream's start.
    // stopProbe is asked during long steps (walking a WAVE file's chunks).
    bool Open(const std::string& fileName, const std::function<bool()>& stopProbe);
    void Close();
    bool IsOpen() const { return m_pFile != nullptr; }

    // Why the last Open of a file that could be read failed (a WAVE file's structure), or empty.
    const std::string& GetOpenProblem() const { return m_strOpenProblem; }
    // Wave, the word layout of a plain file that starts with a frame, or Unknown.
    EInputKind GetKind() const { return m_eKind; }
    // The layout the source reads in: a WAVE file's, a plain file's, or 16-bit BE (its bytes as
    // stored) for a plain file that starts with no frame.
    EInputKind GetLayout() const { return m_eLayout; }
    // Where stream offsets start: a WAVE file's first sync within its data; 0 otherwise.
    int64_t GetSyncOffset() const { return m_nSyncOffset; }
    // Hands out the stream; valid while open.
    IByteSource& Source() { return *m_pSource; }

    // Makes the source start again at nOffset of the stored words (from the start of a plain
    // file, or of a WAVE file's data chunk), in layout eLayout. False where the file cannot be
    // positioned there.
    bool Reposition(int64_t nOffset, EInputKind eLayout);
    // True once Reposition failed because the input is a pipe.
    bool WasRepositionRefused() const { return m_bRepositionRefused; }

private:
    std::FILE* m_pFile = nullptr;
    EInputKind m_eKind = EInputKind::Unknown;
    EInputKind m_eLayout = EInputKind::Unknown;
    int64_t m_nSyncOffset = 0;
    int64_t m_nDataStart = 0;                // where the stored words start in the file
    int64_t m_nDataSize = -1;                // how many there are; -1: to the end of the file
    IByteSource* m_pSource = nullptr;
    CFileByteSource m_FileSource;            // a plain file's words as stored
    CWordLayoutSource m_WordSource;          // ...as stream bytes
    CWaveSource m_WaveSource;                // a WAVE file's data as stream bytes
    std::string m_strOpenProblem;
    bool m_bSeekable = true;                 // false for a pipe: read once, in order
    bool m_bRepositionRefused = false;       // a Reposition failed for that reason
};
