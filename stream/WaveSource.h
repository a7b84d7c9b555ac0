// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, unpacking 14-bit words when the data holds them.
#pragma once

#include <cstdint>
#include <string>

#include "stream/FileWordSource.h"
#include "stream/RiffReader.h"
#include "stream/Unpacker14.h"

class CWaveSource {
public:
    CWaveSource();
    virtual ~CWaveSource();
    CWaveSource(const CWaveSource&) = delete;
    CWaveSource& operator=(const CWaveSource&) = delete;

    // Up to count stream bytes into buffer; the number placed, or <= 0 at the end.
    virtual int Read(uint8_t* buffer, int count);
    // fileName is UTF-8. True when the data chunk was reached, sync found or not.
    virtual bool Open(const std::string& fileName);
    virtual void Close();

    // Offset of the first sync from the start of the data chunk's contents, in bytes as stored.
    int64_t m_nSyncOffset = 0;

private:
    // Room for the usual 16- or 18-byte fmt chunk; the record is never interpreted, and the
    // bytes of a larger chunk beyond it are stepped over.
    static constexpr int kFormatRecordSize = 18;

    // Looks for the first 16- or 14-bit sync at even offsets from the current position; on a
    // match leaves the file at the sync and sets m_nSyncOffset and m_nPacking.
    bool FindSync();

    CRiffReader m_Riff;
    CRiffReader::Chunk m_RiffChunk;                 // the RIFF chunk of form type "WAVE"
    CRiffReader::Chunk m_SubChunk;                  // "fmt ", then "data"
    uint8_t m_FormatRecord[kFormatRecordSize] = {};
    CUnpacker14 m_Unpacker;
    CFileWordSource m_WordSource{false};            // WAVE words are little-endian
    uint8_t m_nPacking = 1;                         // 1: 16-bit words; 0: 14-bit packed words
};
