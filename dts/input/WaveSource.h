// SPDX-License-Identifier: GPL-3.0-or-later
// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and hands
// out the stream as plain bytes, in whichever word layout the data stores it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "dts/input/InputKind.h"
#include "stream/FileByteSource.h"
#include "stream/IByteSource.h"
#include "stream/RiffReader.h"
#include "stream/WordLayoutSource.h"

class CWaveSource : public IByteSource {
public:
    // Walks a file the caller opened and keeps owning, from its start; true when the data chunk
    // was reached, sync found or not. stopProbe, when given, is asked now and then during the
    // walk and the sync search; true ends them.
    bool Open(std::FILE* pFile, const std::function<bool()>& stopProbe = {});
    void Close();
    // Why the last Open failed, in plain English ("there is no \"data\" chunk after \"fmt \"").
    const std::string& GetProblem() const { return m_strProblem; }

    // Up to count stream bytes into buffer; the number placed, or <= 0 at the end.
    int Read(uint8_t* buffer, int count) override;
    bool HasReadError() const override { return m_Data.HasReadError(); }

    // Offset of the first sync from the start of the data chunk's contents, in bytes as stored.
    int64_t GetSyncOffset() const { return m_nSyncOffset; }
    // Where the data chunk's contents start in the file, and how many bytes of them there are
    // (-1: to the end of the file, for a size of 0, 0xFFFFFFFF or one that runs past the end).
    int64_t GetDataOffset() const { return m_nDataOffset; }
    int64_t GetDataSize() const { return m_nDataSize; }
    // The word layout the data chunk stores the stream in (Unknown before a sync is found).
    EWordLayout GetLayout() const { return m_eLayout; }

private:
    // Walks the open file to the contents of the data chunk.
    bool DescendToData(const std::function<bool()>& stopProbe);
    // The walk itself: null on reaching the data chunk, else what is missing.
    const char* WalkToData();
    // What is missing, with what in the file's structure made it so (a chunk whose size runs past
    // the end of the file, a RIFF size that ends before the chunks do).
    std::string ExplainMissing(const char* pszProblem) const;
    // The data chunk's size as the stream is to be read: -1 where the file's end must end it.
    int64_t UsableDataSize() const;
    // Looks for the first sync of any word layout at even offsets of the data; on a match
    // leaves the file at the sync and sets m_nSyncOffset and m_eLayout.
    bool FindSync(const std::function<bool()>& stopProbe);

    CRiffReader m_Riff;
    CRiffReader::Chunk m_RiffChunk;     // the RIFF chunk of form type "WAVE"
    CRiffReader::Chunk m_SubChunk;      // "fmt ", then "data"
    CFileByteSource m_Data;             // the stored words from the sync on
    CWordLayoutSource m_Words;          // ...as stream bytes
    int64_t m_nSyncOffset = 0;
    int64_t m_nDataOffset = 0;
    int64_t m_nDataSize = -1;
    EWordLayout m_eLayout = EWordLayout::Unknown;
    std::string m_strProblem;
};
