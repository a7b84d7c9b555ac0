// SPDX-License-Identifier: GPL-3.0-or-later
// A WAVE source over a file it opens by name and closes with itself, for tests and fuzzing.
#pragma once

#include <cstdio>
#include <string>

#include "dts/input/WaveSource.h"
#include "stream/FileShim.h"

class CFileWaveSource : public CWaveSource {
public:
    ~CFileWaveSource() override { Close(); }

    // fileName is UTF-8. True when the data chunk was reached, sync found or not.
    bool Open(const std::string& fileName)
    {
        Close();
        m_pFile = CFileShim::OpenForReading(fileName);
        return m_pFile != nullptr && CWaveSource::Open(m_pFile);
    }
    void Close()
    {
        CWaveSource::Close();
        if (m_pFile != nullptr)
            std::fclose(m_pFile);
        m_pFile = nullptr;
    }

private:
    std::FILE* m_pFile = nullptr;
};
