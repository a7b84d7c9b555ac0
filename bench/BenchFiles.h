// SPDX-License-Identifier: GPL-3.0-or-later
// Scratch input files for the microbenchmarks: random stream bytes as a plain, a 14-bit packed
// and a WAVE file, made once per process with the test builders and removed at exit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/StreamVariants.h"
#include "support/TempDir.h"

class CBenchFiles {
public:
    // Stream bytes in each file, a whole number of 14-bit word groups; large enough that the page
    // cache, not the disk, is measured.
    static constexpr size_t kStreamBytes = 16 * 1024 * 1024 - 16 * 1024 * 1024 % 14;

    static const CBenchFiles& Get()
    {
        static const CBenchFiles files;
        return files;
    }

    std::vector<uint8_t> stream;
    std::string strPlain;
    std::string strPacked;
    std::string strWave16;

private:
    CBenchFiles()
        : stream(RandomBytes(kStreamBytes, 1))
    {
        // The sync and the start of a header, so the 14-bit file is recognised as one.
        std::copy(kSyncAndHeader.begin(), kSyncAndHeader.end(), stream.begin());
        strPlain = m_Dir.Write("plain.dts", stream);
        strPacked = m_Dir.Write("packed.cpt", Pack14(stream));
        strWave16 = m_Dir.Write("wave16.wav", WrapWave(SwapWords(stream)));
    }

    CTempDir m_Dir;
};
