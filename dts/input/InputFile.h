// SPDX-License-Identifier: GPL-3.0-or-later
// An input file: recognises what it holds by its first bytes and builds the byte source that
// hands out the stream it carries, and positions that source again when a reader goes back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "dts/input/Iec61937Source.h"
#include "dts/input/InputKind.h"
#include "dts/input/WaveSource.h"
#include "stream/FileByteSource.h"
#include "stream/IByteSource.h"
#include "stream/IStreamInput.h"
#include "stream/ITrackSource.h"
#include "stream/WordLayoutSource.h"

class CInputFile : public IStreamInput {
public:
    CInputFile() = default;
    ~CInputFile() override;
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // fileName is UTF-8, or "-" for standard input. True when the file is open and its source
    // ready. stopProbe is asked during the long steps of opening (a WAVE file's chunks, the
    // search for its first sync, IEC 61937 bursts).
    bool Open(const std::string& fileName, const std::function<bool()>& stopProbe);
    // One track of a movie container, owned from now on; false for a null track.
    bool Open(std::unique_ptr<ITrackSource> pTrack);
    void Close();

    // IStreamInput. Stored offsets of a WAVE file count from its data chunk's start; plain words,
    // burst payloads and a track keep their stored offsets.
    IByteSource* GetSource() const override { return m_pSource; }
    int64_t GetStartOffset() const override { return m_nStartOffset; }
    EWordLayout GetLayout() const override { return m_eLayout; }
    bool KeepsStoredOffsets() const override;
    bool MayReposition(int64_t nOffset, EWordLayout eLayout) const override;
    bool Reposition(int64_t nOffset, EWordLayout eLayout) override;
    const ITrackSource* GetTrack() const override { return m_pTrack.get(); }

    EInputKind GetInputKind() const { return m_eKind; }
    // The stream is the payload of IEC 61937 bursts (a raw S/PDIF capture, or one in a WAVE
    // file's data): offsets then count the payload's bytes.
    bool IsIec61937() const { return m_pSource != nullptr && m_pSource == &m_IecSource; }
    // True once Reposition failed because the input is read once, in order (a pipe): the walk
    // then cannot go back to search past damage or junk, and its end is not the stream's end.
    bool WasRepositionRefused() const { return m_bRepositionRefused; }
    // Why the last Open of a file that could be read failed (a WAVE file's structure), or empty.
    const std::string& GetOpenProblem() const { return m_strOpenProblem; }
    // True when the last Open failed because a read failed (an I/O error), wherever it was: the
    // first bytes, a WAVE file's chunks or the search for its first sync.
    bool HadOpenReadError() const { return m_bOpenReadError; }
    // True when the open file is shorter now than when it was opened (another program cut it):
    // the end the walk met was not the stream's.
    bool HasShrunk() const;
    // The open file (null for a track or when closed), for what only the file system tells of
    // it, such as its permissions.
    std::FILE* GetFile() const { return m_pFile; }

private:
    // Recognises the kind of the open file and readies the source it needs.
    bool OpenKind(bool bStandardInput, const std::function<bool()>& stopProbe);
    // A WAVE file's data as stream bytes, or the bursts it carries.
    bool OpenWave(const std::function<bool()>& stopProbe);
    // The IEC 61937 bursts stored from nOffset of the file on in eOrder.
    bool OpenIec61937(int64_t nOffset, int64_t nSize, EIecOrder eOrder, const std::function<bool()>& stopProbe);

    std::FILE* m_pFile = nullptr;
    EInputKind m_eKind = EInputKind::Unknown;
    EWordLayout m_eLayout = EWordLayout::Unknown;
    int64_t m_nDataStart = 0;                // where the stored words start in the file
    int64_t m_nDataSize = -1;                // how many there are; -1: to the end of the file
    int64_t m_nStartOffset = 0;              // GetStartOffset
    IByteSource* m_pSource = nullptr;
    CFileByteSource m_FileSource;            // a plain file's words as stored
    CWordLayoutSource m_WordSource;          // ...as stream bytes
    CWaveSource m_WaveSource;                // a WAVE file's data as stream bytes
    CIec61937Source m_IecSource;             // the payload of IEC 61937 bursts
    std::unique_ptr<ITrackSource> m_pTrack;  // a container's track, when that is the input
    std::string m_strOpenProblem;
    bool m_bSeekable = true;                 // false for a pipe: read once, in order
    bool m_bRepositionRefused = false;
    bool m_bOpenReadError = false;
    int64_t m_nOpenSize = -1;                // the file's size when it was opened
};
