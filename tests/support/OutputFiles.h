// SPDX-License-Identifier: GPL-3.0-or-later
// Plain output files by name for tests and benchmarks, which write where the program would replace.
#pragma once

#include <cstdio>
#include <string>

#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

// fileName is UTF-8. Creates or truncates it (mode "wb"); null on failure.
inline std::FILE* OpenForWriting(const std::string& fileName)
{
#ifdef _WIN32
    return _wfopen(CFileShim::ToPath(fileName).c_str(), L"wb");
#else
    return std::fopen(fileName.c_str(), "wb");
#endif
}

// Has out write straight to fileName, created or truncated, as COutBitStream::Open does (which
// first completes a file still open). True when it is open.
inline bool OpenOutputFile(COutBitStream& out, const std::string& fileName)
{
    return out.Open(OpenForWriting(fileName));
}
