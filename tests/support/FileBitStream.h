// SPDX-License-Identifier: GPL-3.0-or-later
// A bit stream over an input file it opens itself, by name or as a container's track: what the
// tests and benchmarks that read one file by hand need.
#pragma once

#include <memory>
#include <string>

#include "dts/input/InputFile.h"
#include "stream/BitStream.h"

class CFileBitStream : public CBitStream {
public:
    using CBitStream::CBitStream;
    using CBitStream::Open;

    // As CInputFile::Open, with the stream's stop probe; false leaves the stream closed.
    bool Open(const std::string& fileName) { return Start(m_Input.Open(fileName, [this] { return IsStopRequested(); })); }
    bool Open(std::unique_ptr<ITrackSource> pTrack) { return Start(m_Input.Open(std::move(pTrack))); }

    EInputKind GetInputKind() const { return m_Input.GetInputKind(); }

private:
    bool Start(bool bOpened)
    {
        CBitStream::Close();
        if (bOpened)
            CBitStream::Open(m_Input);
        return bOpened;
    }

    CInputFile m_Input;
};
