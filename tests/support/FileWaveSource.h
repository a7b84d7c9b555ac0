// SPDX-License-Identifier: GPL-3.0-or-later
// A WAVE source over a file it opens by name and closes with itself, for tests and fuzzing.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "dts/input/WaveSource.h"
#include "stream/FileShim.h"

class CFileWaveSource : public CWaveSource {
public:
    // fileName is UTF-8. True when the data chunk was reached, sync found or not.
    bool Open(const std::string& fileName)
    {
        Close();
        m_pFile.reset(CFileShim::OpenForReading(fileName));
        return m_pFile != nullptr && CWaveSource::Open(m_pFile.get());
    }
    void Close()
    {
        CWaveSource::Close();
        m_pFile.reset();
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_pFile{nullptr, std::fclose};
};
