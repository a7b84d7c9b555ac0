// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for FFmpeg's container support, for tests of the core and the window: containers
// and their tracks are whatever a test declares.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dts/input/IContainerSupport.h"
#include "stream/BitStream.h"

// A track of whole packets with their times; like the real one, it keeps only a stretch behind
// what it handed out for going back: the bit reader's read-ahead and a little more.
class CFakeTrack : public ITrackSource {
public:
    static constexpr int64_t kKeep = CBitStream::kDefaultBufferSize + 4096;
    std::vector<std::pair<std::vector<uint8_t>, double>> packets;

    int Read(uint8_t* pBytes, int nCount) override
    {
        const std::vector<uint8_t> all = Bytes();
        const int n = static_cast<int>(std::min<int64_t>(nCount, static_cast<int64_t>(all.size()) - m_nPos));
        std::copy_n(all.begin() + m_nPos, std::max(n, 0), pBytes);
        m_nPos += std::max(n, 0);
        m_nFurthest = std::max(m_nFurthest, m_nPos);
        return n;
    }
    bool SeekTo(int64_t nOffset) override
    {
        if (nOffset < m_nFurthest - kKeep || nOffset > static_cast<int64_t>(Bytes().size()))
            return false;
        m_nPos = nOffset;
        return true;
    }
    double TimeAt(int64_t nOffset) const override
    {
        double dTime = -1;
        int64_t nStart = 0;
        for (const auto& [bytes, dPacketTime] : packets) {
            if (nStart > nOffset)
                break;
            dTime = dPacketTime;
            nStart += static_cast<int64_t>(bytes.size());
        }
        return dTime;
    }
    int64_t GetFilePos() const override { return m_nPos; }

private:
    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> all;
        for (const auto& packet : packets)
            all.insert(all.end(), packet.first.begin(), packet.first.end());
        return all;
    }
    int64_t m_nPos = 0;
    int64_t m_nFurthest = 0;
};

class CFakeSupport : public IContainerSupport {
public:
    std::map<std::string, ContainerInfo> containers;  // by path; any other file is none
    int nProbes = 0;

    bool Probe(const std::string& strPath, ContainerInfo& info, std::string&) override
    {
        ++nProbes;
        const auto it = containers.find(strPath);
        if (it == containers.end())
            return false;
        info = it->second;
        return true;
    }
    // The packets of each track OpenTrack hands out, by path and stream index.
    std::map<std::pair<std::string, int>, std::vector<std::pair<std::vector<uint8_t>, double>>> tracks;

    std::unique_ptr<ITrackSource> OpenTrack(const std::string& strPath, int nStream, std::string& strProblem) override
    {
        const auto it = tracks.find({strPath, nStream});
        if (it == tracks.end()) {
            strProblem = "no such track";
            return nullptr;
        }
        auto pTrack = std::make_unique<CFakeTrack>();
        pTrack->packets = it->second;
        return pTrack;
    }
    bool CanRemux(const std::string&, std::string&) override { return false; }
    bool Remux(const std::string&, std::FILE*, const std::vector<RemuxTrack>&, const std::function<bool()>&,
               std::string&) override
    {
        return false;
    }
};
