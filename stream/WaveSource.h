// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, unpacking 14-bit words when the data holds them.
#pragma once

#include <cstdint>
#include <string>

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
    // --- private members are the source implementation's own ---
};
