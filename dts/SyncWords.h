// SPDX-License-Identifier: GPL-3.0-or-later
// The sync words of DTS streams and the stored layouts they announce: the one home of these bytes.
#pragma once

#include <cstdint>

namespace DtsSync {

// A core frame starts with this 32-bit value of the stream, most significant byte first.
constexpr uint32_t kCore = 0x7FFE8001;
// An extension substream (DTS-HD) starts with this.
constexpr uint32_t kSubstream = 0x64582025;
// A lossless (XLL) frame inside a substream's asset starts with this.
constexpr uint32_t kLossless = 0x41A29547;
// Where a lossless frame carries DTS:X object data, one of these follows its band data at the next
// 32-bit boundary; the lowest bit of the second is not part of the marker.
constexpr uint32_t kDtsXMarker = 0x02000850;
constexpr uint32_t kDtsXImaxMarker = 0xF14000D0;
// A DTS-UHD frame starts with the first; the second starts the frames between two synced ones.
constexpr uint32_t kUhd = 0x40411BF2;
constexpr uint32_t kUhdNonSync = 0x71C442E8;
// The 32-bit value of the stream that starts at p (four bytes, most significant first).
constexpr uint32_t WordAt(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
// Whether the four stream bytes at p are a core frame's sync, or a substream's.
constexpr bool IsCoreAt(const uint8_t* p) { return WordAt(p) == kCore; }
constexpr bool IsSubstreamAt(const uint8_t* p) { return WordAt(p) == kSubstream; }

// Every sync pattern, in every layout, starts with two of the bytes 7F, FE, 1F and FF. The first
// offset below nCount where two such bytes follow each other (or one is the last byte), or
// nCount: a search looks closely only there. Random data has one in a few thousand bytes. Uses
// vector instructions where the processor has them; FindLeadPairPlain is the same without.
int FindLeadPair(const uint8_t* p, int nCount);
int FindLeadPairPlain(const uint8_t* p, int nCount);

// A RIFF file starts with these four bytes.
constexpr uint8_t kRiffTag[4] = {'R', 'I', 'F', 'F'};

// How the start of a frame looks as stored in one word layout: the core sync, and for the
// 14-bit layouts the first header bits after it (FTYPE 1, SHORT 31 as the upper bits of the
// third word), which tell a real sync from chance bytes. The third word's two padding bits
// are not compared: only the sync words are always written sign-extended.
struct StoredSync {
    int nLength;          // bytes compared
    uint8_t bytes[6];     // as stored
    uint8_t mask[6];      // bits that must match
};

// 16-bit words, big-endian: the stream as it is.
constexpr StoredSync k16BitBE = {4, {0x7F, 0xFE, 0x80, 0x01}, {0xFF, 0xFF, 0xFF, 0xFF}};
// 16-bit words, little-endian: each pair swapped.
constexpr StoredSync k16BitLE = {4, {0xFE, 0x7F, 0x01, 0x80}, {0xFF, 0xFF, 0xFF, 0xFF}};
// 14 payload bits per big-endian word: 1FFF E800 07Fx.
constexpr StoredSync k14BitBE = {6, {0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xF0}, {0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0xF0}};
// 14 payload bits per little-endian word.
constexpr StoredSync k14BitLE = {6, {0xFF, 0x1F, 0x00, 0xE8, 0xF0, 0x07}, {0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0x3F}};

} // namespace DtsSync
