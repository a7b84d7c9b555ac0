// SPDX-License-Identifier: GPL-3.0-or-later
// The frame loop: reads each core frame header, detects format changes, rebuilds frames.
#include "dts/FrameLoop.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "dts/FrameSearch.h"
#include "dts/SubstreamReader.h"

#include "dts/FrameHeader.h"
#include "dts/HeaderLabels.h"
#include "dts/IFrameLoopHost.h"
#include "dts/SpeakerMask.h"
#include "dts/SyncWords.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

// The six values whose change starts a new row, in the order they are compared (a frame of a
// stream without a core puts its asset's rate, bit rate and channels in the first three).
struct WatchedValues {
    uint32_t nSFREQ = 0;
    uint32_t nRATE = 0;
    uint32_t nAMODE = 0;
    int32_t nFrameLength = 0;
    uint32_t nDIALNORM = 0;
    uint32_t nHCRC = 0;
    EExtensionKind eExtension = EExtensionKind::None;   // what the substreams after it carry

    bool operator==(const WatchedValues&) const = default;
};

// One frame as the loop read it.
struct FrameRead {
    FrameHeader h;              // as the removal options left it
    int64_t nStart = 0;         // the byte counter at its sync
    uint32_t nCPFRead = 0;      // CPF before "Remove CRC"
    int32_t nBodyLength = 0;
    int32_t nLength = 0;        // bytes read from its start to the end of its body
    int32_t nExpected = 0;      // the core frame's length as its header gives it
    bool bCutShort = false;     // the input ended inside the body or its substreams
    bool bRemoveDialNorm = false;
    EExtensionKind eExtension = EExtensionKind::None;
    SubstreamLook look;         // what the substreams after it say beyond their kind
    bool bCorelessAllowed = false;  // a substream may start a frame: no core frame came before
    bool bCoreless = false;     // a substream walked as a frame of a stream without a core
};

namespace {

constexpr uint32_t kRateOpen = 29;

// Reads the header fields after SYNC; HCRC is present only with CPF 1 (and reads as 0 without).
void ReadHeaderAfterSync(CBitStream& in, FrameHeader& h)
{
    ForEachCoreHeaderField([&](const CoreHeaderField& field) {
        // The width is a constant here: one-bit flags take the cheaper single-bit read.
        if (field.bOnlyWithCRC && h.CPF != 1)
            h.*field.pValue = 0;
        else
            h.*field.pValue = field.nBits == 1 ? static_cast<uint32_t>(in.GetBit()) : in.GetBits(field.nBits);
    });
}

// Writes a header with the widths it was read with, FSIZE given as nFSIZE.
void WriteHeader(COutBitStream& out, const FrameHeader& h, uint32_t nFSIZE)
{
    out.PutBits(DtsSync::kCore, 32);
    ForEachCoreHeaderField([&](const CoreHeaderField& field) {
        if (field.bOnlyWithCRC && h.CPF != 1)
            return;
        out.PutBits(field.pValue == &FrameHeader::FSIZE ? nFSIZE : h.*field.pValue, field.nBits);
    });
}

// The row of a frame that starts one: its labels (the Format with what its substreams carry)
// and the values it was read with.
FrameRow MakeRow(const FrameHeader& h, int64_t nFrameStart, int64_t nFrameIndex, int32_t nFrameLength, uint32_t nCPFRead,
                 EExtensionKind eExtension)
{
    FrameRow row;
    row.nOffset = static_cast<uint64_t>(nFrameStart);
    row.nFrame = nFrameIndex;
    row.strBitrate = FormatBitRateLabel(h.RATE);
    row.strFormat = FormatStreamTypeLabel(h.EXT_AUDIO_ID, h.PCMR, h.SFREQ);
    row.strChannels = FormatChannelLabel(static_cast<int32_t>(h.AMODE));
    row.bLFE = h.LFF == 1 || h.LFF == 2;
    if (row.bLFE)
        row.strChannels += "+LFE";
    row.nFrameSize = nFrameLength;
    row.strDialNorm = FormatDialNormLabel(h.VERNUM, h.DIALNORM);
    row.bCRC = nCPFRead == 1;
    row.dBitrateKbps = BitRateKbps(h.RATE);
    row.nSampleRateHz = SampleRateHz(h.SFREQ, h.EXT_AUDIO_ID);
    row.nDialNormDb = DialNormDb(h.VERNUM, h.DIALNORM);
    if (eExtension != EExtensionKind::None) {
        row.strExtension = ExtensionKindLabel(eExtension);
        row.strFormat += " + " + row.strExtension;
    }
    return row;
}

// Seconds of sound in a core frame: NBLKS + 1 blocks of 32 samples.
double PlayTime(const FrameHeader& h)
{
    const int32_t nRate = SampleRateHz(h.SFREQ, 0);
    return nRate > 0 ? (h.NBLKS + 1) * 32.0 / nRate : 0.0;
}

// The bit rate of a substream walked as a frame: its bytes over the time it lasts; -1 where its
// header does not tell the time.
double CorelessKbps(const FrameRead& f)
{
    const SubstreamInfo& info = f.look.first;
    if (info.nFrameSamples <= 0 || info.nRefClockHz <= 0)
        return -1;
    return std::round(f.nLength * 8.0 * info.nRefClockHz / info.nFrameSamples / 1000);
}

// The row of a substream walked as a frame: its asset's rate and speakers, its size and bit rate.
FrameRow MakeCorelessRow(const FrameRead& f, int64_t nFrameIndex)
{
    const AssetFacts& asset = f.look.first.best;
    FrameRow row;
    row.nOffset = static_cast<uint64_t>(f.nStart);
    row.nFrame = nFrameIndex;
    row.strExtension = ExtensionKindLabel(f.eExtension);
    row.strFormat = row.strExtension;
    row.strChannels = asset.nSpeakerMask != 0 ? SpeakerMask::SpeakerNames(asset.nSpeakerMask)
                                               : std::to_string(asset.nChannels) + " channels";
    row.bLFE = SpeakerMask::LfeChannels(asset.nSpeakerMask) > 0;
    row.nFrameSize = f.nLength;
    row.nSampleRateHz = asset.nSampleRateHz;
    row.dBitrateKbps = CorelessKbps(f);
    row.strBitrate = row.dBitrateKbps < 0 ? "variable" : std::to_string(static_cast<long long>(row.dBitrateKbps));
    return row;
}

WatchedValues WatchedOf(const FrameRead& f)
{
    if (!f.bCoreless)
        return {f.h.SFREQ, f.h.RATE, f.h.AMODE, f.nLength, f.h.DIALNORM, f.h.HCRC, f.eExtension};
    const AssetFacts& asset = f.look.first.best;
    // A rate that cannot be told (-1) is a value of its own, not a wrapped-around number.
    const double dKbps = CorelessKbps(f);
    return {static_cast<uint32_t>(asset.nSampleRateHz), dKbps < 0 ? UINT32_MAX : static_cast<uint32_t>(dKbps),
            asset.nSpeakerMask * 256 + static_cast<uint32_t>(asset.nChannels), f.nLength, 0, 0, f.eExtension};
}

int ProgressPercent(int64_t nBytePos, int64_t nInputSize)
{
    if (nInputSize <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(nBytePos) * 100.0 / static_cast<double>(nInputSize));
}

enum class EFrameRead {
    Ok,        // a frame, whole or cut short by the end of the input
    End,       // the input ended at the frame start or inside its header
    Damaged,   // no sync, or a header no frame can have
};

// Reads a whole header: End where the input ends inside it (how a well-formed file ends),
// Damaged where the 32 bits at the frame start are not the sync.
EFrameRead ReadHeader(CBitStream& in, FrameHeader& h)
{
    try {
        h.SYNC = in.GetBits(32);
        if (h.SYNC != DtsSync::kCore)
            return EFrameRead::Damaged;
        ReadHeaderAfterSync(in, h);
        return EFrameRead::Ok;
    } catch (const EOFBSException&) {
        return EFrameRead::End;
    }
}

// The smallest FSIZE the standard allows: a frame of 96 bytes.
constexpr uint32_t kMinFSIZE = 95;

bool IsAnySync(const uint8_t* p)
{
    return DtsSync::IsCoreAt(p) || DtsSync::IsSubstreamAt(p);
}

// An open-rate frame is FSIZE bytes long in some streams and FSIZE + 1 in others (the
// standard's length): the one followed by a sync, or by the end of the input, is taken; with
// neither, FSIZE bytes, and what follows is damage. Where zeros and then a substream follow,
// both lengths can fit (the last byte may be a zero); the standard's is taken, which is also how
// a rebuild writes it. Appends the byte to pBody (when given) when it is the longer one.
void SettleOpenRateLength(CBitStream& in, FrameRead& f, std::vector<uint8_t>* pBody)
{
    uint8_t next[9];
    const int nNext = in.PeekBytes(next, 9);
    if (nNext == 0 || (nNext >= 4 && IsAnySync(next)))
        return;
    const bool bLonger = nNext == 1 || (nNext >= 5 && IsAnySync(next + 1))
                         || CSubstreamReader::StartIn(next + 1, nNext - 1, f.nLength + 1) > 0;
    if (bLonger) {
        if (pBody != nullptr) {
            pBody->resize(std::max<size_t>(pBody->size(), static_cast<size_t>(f.nBodyLength) + 1));
            in.ReadBytes(pBody->data() + f.nBodyLength, 1);
        } else {
            in.SkipBytes(1);
        }
        ++f.nBodyLength;
        ++f.nLength;
    }
}

// Some writers pad each frame of 14-bit words to a whole word: where no core sync follows at
// the next bit, one may follow at the next word boundary. Returns the bits of padding there, or 0.
int WordPaddingBefore(CBitStream& in)
{
    const int nPad = in.BitsToNextWord();
    uint8_t sync[4];
    if (nPad == 0 || (in.PeekBytes(sync, 4) == 4 && DtsSync::IsCoreAt(sync)))
        return 0;
    return in.PeekBytes(sync, 4, nPad) == 4 && DtsSync::IsCoreAt(sync) ? nPad : 0;
}

// The walk's removals, applied to the header just read.
void ApplyRemovals(const CFrameLoop::Removals& removals, FrameRead& f)
{
    f.bRemoveDialNorm = removals.bRemoveDialNorm;
    if (f.bRemoveDialNorm) {
        f.h.DIALNORM = 0;
        f.h.VERNUM = 7;
    }
    if (removals.bRemoveCRC)
        f.h.CPF = 0;
}

// Takes a frame body of nLength bytes as a block, into pBody when given (else steps over it):
// false where the input ended inside it; the bytes taken before the end stay counted, as
// byte-by-byte reads would leave them.
bool TakeBody(CBitStream& in, int32_t nLength, std::vector<uint8_t>* pBody)
{
    if (pBody == nullptr)
        return in.SkipBytes(nLength);
    if (pBody->size() < static_cast<size_t>(nLength))
        pBody->resize(static_cast<size_t>(nLength));
    return in.ReadBytes(pBody->data(), nLength) == nLength;
}

// A stream of extension substreams with no core frame (DTS Express, and any other core-less
// stream) is walked substream by substream. This is the one place that takes a substream at a
// frame start for a frame: only while the stream has shown no core frame, so that a stray
// substream inside a core stream stays damage.
bool IsCorelessFrameAt(CBitStream& in, bool bAllowed)
{
    uint8_t sync[4];
    return bAllowed && in.PeekBytes(sync, 4) == 4 && DtsSync::IsSubstreamAt(sync);
}

// Reads one substream as a frame: into substreams with bKeep, else stepped over.
EFrameRead ReadCorelessFrame(const CFrameLoop::Removals* pRemovals, CBitStream& in, FrameRead& f,
                             std::vector<uint8_t>& substreams, bool bKeep)
{
    f.bCoreless = true;
    f.bRemoveDialNorm = pRemovals != nullptr && pRemovals->bRemoveDialNorm;
    f.look.bOnlyOne = true;
    f.eExtension = CSubstreamReader::ReadAfterFrame(in, 0, substreams, f.bCutShort, bKeep, &f.look);
    // A header whose CRC fails is left in place: damage, as a broken core header is.
    if (!f.look.bRead && !f.bCutShort)
        return EFrameRead::Damaged;
    // What is left of a cut substream is the end of the input.
    if (f.bCutShort)
        in.SkipBytes(INT64_MAX);
    f.nLength = static_cast<int32_t>(in.GetBytePos() - f.nStart);
    return EFrameRead::Ok;
}

// Reads the frame at the current position with its body into `body` and the substreams after
// it into `substreams` (without bKeep, both are stepped over and left as they are), the
// removals (when given) applied to its header.
EFrameRead ReadFrame(const CFrameLoop::Removals* pRemovals, CBitStream& in, FrameRead& f, std::vector<uint8_t>& body,
                     std::vector<uint8_t>& substreams, bool bKeep)
{
    if (const int nPad = WordPaddingBefore(in); nPad > 0)
        in.GetBits(nPad);
    f.nStart = in.GetBytePos();
    if (IsCorelessFrameAt(in, f.bCorelessAllowed))
        return ReadCorelessFrame(pRemovals, in, f, substreams, bKeep);
    const EFrameRead eHeader = ReadHeader(in, f.h);
    if (eHeader != EFrameRead::Ok)
        return eHeader;
    f.nCPFRead = f.h.CPF;
    if (pRemovals != nullptr)
        ApplyRemovals(*pRemovals, f);

    const int32_t nHeaderLength = static_cast<int32_t>(in.GetBytePos() - f.nStart);
    // Frames with the "open" rate take FSIZE bytes or FSIZE + 1 (settled below); all others FSIZE + 1.
    f.nBodyLength = static_cast<int32_t>(f.h.FSIZE) - nHeaderLength + (f.h.RATE == kRateOpen ? 0 : 1);
    // A frame below the smallest size the standard allows, or whose FSIZE is below its header
    // length, cannot be walked: it is damage.
    if (f.h.FSIZE < kMinFSIZE || f.nBodyLength < 0)
        return EFrameRead::Damaged;

    f.nExpected = nHeaderLength + f.nBodyLength;
    f.bCutShort = !TakeBody(in, f.nBodyLength, bKeep ? &body : nullptr);
    f.nLength = static_cast<int32_t>(in.GetBytePos() - f.nStart);
    if (!f.bCutShort && f.h.RATE == kRateOpen) {
        SettleOpenRateLength(in, f, bKeep ? &body : nullptr);
        // Taken as FSIZE bytes, an open-rate frame of FSIZE 95 would be one byte below the
        // smallest frame, and rebuilt with FSIZE 94 it would be damage when read again.
        if (f.nLength <= static_cast<int32_t>(kMinFSIZE))
            return EFrameRead::Damaged;
    }
    substreams.clear();
    // FrameSize stays the core frame's length: substream sizes vary from frame to frame.
    if (!f.bCutShort)
        f.eExtension = CSubstreamReader::ReadAfterFrame(in, f.nLength, substreams, f.bCutShort, bKeep, &f.look);
    return EFrameRead::Ok;
}

// Bytes looked at after a frame for the zeros some writers pad frames with.
constexpr int kZeroLook = 4096;

// Steps over the zeros after a frame that a core sync or the end of the input follows (padding to
// a 4-, 16- or 2048-byte boundary, or any run of them): they are no damage, and the rebuilt stream
// leaves them out. Zeros before anything else (a frame whose sync was zeroed) are left as damage.
// Returns how many were stepped over.
int64_t StepOverZeros(CBitStream& in)
{
    int64_t nZeros = 0;
    uint8_t ahead[kZeroLook];
    for (int nRound = 1;; ++nRound) {
        const int nAhead = in.PeekBytes(ahead, kZeroLook);
        int nRun = 0;
        while (nRun < nAhead && ahead[nRun] == 0)
            ++nRun;
        if (nRun < nAhead && (nAhead - nRun < 4 || !DtsSync::IsCoreAt(ahead + nRun)))
            return nZeros;
        in.SkipBytes(nRun);
        nZeros += nRun;
        // A long run of zeros still hears a stop (every 4 MiB).
        if (nRun < kZeroLook || (nRound % 1024 == 0 && in.IsStopRequested()))
            return nZeros;
    }
}

// Reads the frame at the input's position and tells whether it is real: whole, with another
// frame or the end of the input right after it or after zeros; or, with bCutShortHolds, cut
// short by that end.
bool IsRealFrame(CBitStream& in, bool bCutShortHolds)
{
    FrameRead f;
    std::vector<uint8_t> body;
    std::vector<uint8_t> substreams;
    if (ReadFrame(nullptr, in, f, body, substreams, false) != EFrameRead::Ok)
        return false;
    if (f.bCutShort)
        return bCutShortHolds;
    uint8_t next[4];
    if (in.PeekBytes(next, 1) == 1 && next[0] == 0)
        StepOverZeros(in);
    const int nNext = in.PeekBytes(next, 4);
    if (nNext == 0 || (nNext == 4 && DtsSync::IsCoreAt(next)))
        return true;
    // In 14-bit words the padding of the frame's last word may come first.
    const int nPad = in.BitsToNextWord();
    const int nAfterPad = nPad > 0 ? in.PeekBytes(next, 4, nPad) : -1;
    return nAfterPad == 0 || (nAfterPad == 4 && DtsSync::IsCoreAt(next));
}

// A frame found by the search is real when it is whole and another frame, or the end of the
// input, follows right after it.
bool ConfirmFrame(CBitStream& in)
{
    return IsRealFrame(in, false);
}

void WriteFrame(COutBitStream& out, const FrameRead& f, const std::vector<uint8_t>& body,
                std::vector<uint8_t>* pSubstreams)
{
    if (f.bCoreless) {
        if (pSubstreams != nullptr)
            CSubstreamReader::Write(out, 0, *pSubstreams, f.bRemoveDialNorm);
        return;
    }
    // FSIZE is written as the frame's length as written less one, as the standard counts it:
    // dropping the two HCRC bytes shortens the frame, and an open-rate frame read as FSIZE
    // bytes long is given its true FSIZE, or decoders lose the frames that follow.
    const bool bCRCDropped = f.nCPFRead == 1 && f.h.CPF == 0;
    const int32_t nWritten = f.nLength - (bCRCDropped ? 2 : 0);
    WriteHeader(out, f.h, static_cast<uint32_t>(nWritten - 1));
    out.PutBytes(body.data(), f.nBodyLength);
    if (pSubstreams != nullptr)
        CSubstreamReader::Write(out, nWritten, *pSubstreams, f.bRemoveDialNorm);
}

// Counts a whole frame just read (the input right after it) into the summary.
void AddToSummary(CStreamSummary& summary, const CBitStream& in, const FrameRead& f)
{
    // The padding and the substreams after a frame count towards its bit rate.
    const int64_t nBytes = in.GetBytePos() - f.nStart;
    if (f.bCoreless)
        summary.AddSubstreamFrame(f.look.first, nBytes);
    else
        summary.AddCoreFrame(f.h, f.eExtension, f.look.bRead ? &f.look.first : nullptr, nBytes);
    if (f.look.bLookForDtsX && f.look.bRead && f.look.first.best.bLossless)
        summary.SetDtsXLooked(f.look.bDtsX);
}

} // namespace

CFrameLoop::CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream* pOutStream)
    : m_Host(host), m_InStream(inStream), m_pOutStream(pOutStream)
{
}

int64_t CFrameLoop::ParseFile(int64_t nInputSize, EInputKind eKind)
{
    m_Host.SetProgressPos(0);
    m_nWholeFrames = 0;
    m_dPlayed = 0;
    m_nPaddingBytes = 0;
    m_Summary = CStreamSummary();
    m_CutShort.reset();
    m_bUhd = false;

    WatchedValues lastReported;
    int64_t nFrameIndex = 0;
    // A plain file that does not start with a frame may hold any word layout.
    bool bAnyLayout = eKind == EInputKind::Unknown;
    // One body buffer serves every frame of the file (a body is at most 16384 bytes), and one
    // buffer the substreams after it.
    std::vector<uint8_t> body;
    std::vector<uint8_t> substreams;

    // PCM samples can spell the sync word (even at every sample), so the frame a WAVE file's data
    // starts with is confirmed as the search confirms any other, and searched past where it fails.
    bool bWalk = true;
    if (eKind == EInputKind::Wave && !FirstFrameHolds())
        bWalk = SkipDamage(m_InStream.GetBytePos(), false, false, TimeOf(m_InStream.GetBytePos()));

    while (bWalk && KeepsWalking()) {
        m_Host.SetProgressPos(ProgressPercent(m_InStream.GetProgressPos(), nInputSize));

        FrameRead f;
        f.look.bLookForDtsX = m_Summary.WantsDtsXLook();
        f.bCorelessAllowed = !m_Summary.HasCore();
        // A substream's rows are made of its asset's facts; a core stream's summary needs them once.
        f.look.bWantFacts = f.bCorelessAllowed || m_Summary.WantsAssetFacts();
        // Bodies and substreams are stepped over, not copied, when nothing is written.
        const EFrameRead eRead = ReadFrame(&m_Removals, m_InStream, f, body, substreams, m_pOutStream != nullptr);
        // A read error is no damage to search past: the walk ends and the job reports it.
        if (eRead == EFrameRead::End || (eRead == EFrameRead::Damaged && m_InStream.HasReadError()))
            break;
        if (eRead == EFrameRead::Damaged) {
            // A DTS-UHD stream is no damage to search through: the job names it.
            m_bUhd = nFrameIndex == 0 && (f.h.SYNC == DtsSync::kUhd || f.h.SYNC == DtsSync::kUhdNonSync);
            if (m_bUhd || !SkipDamage(f.nStart, bAnyLayout, nFrameIndex > 0, TimeOf(f.nStart)))
                break;
            // The frame where the stream resumes always starts a row.
            lastReported = WatchedValues{};
            bAnyLayout = false;
            continue;
        }
        bAnyLayout = false;
        TakeFrame(f, nFrameIndex, lastReported, body, substreams);
        m_Host.SetCurrentFrame(nFrameIndex);
        ++nFrameIndex;
        if (!f.bCoreless)
            m_dPlayed += PlayTime(f.h);
        m_nPaddingBytes += StepOverZeros(m_InStream);
    }
    return nFrameIndex;
}

bool CFrameLoop::KeepsWalking() const
{
    // A failed write ends the walk at once: the output is lost, and reading on would only delay
    // the news (and write nothing more to a short output).
    return !m_Host.IsStopSet() && (m_pOutStream == nullptr || !m_pOutStream->HasWriteError());
}

void CFrameLoop::TakeFrame(const FrameRead& f, int64_t nFrameIndex, WatchedValues& lastReported,
                           const std::vector<uint8_t>& body, std::vector<uint8_t>& substreams)
{
    if (f.bCutShort) {
        NoteCutShort(f, nFrameIndex);
        // A frame cut short is no change of format: only a file's first frame, which names its
        // stream type, is listed even so.
        if (nFrameIndex > 0)
            return;
    } else {
        // Once a write has failed the output is already short: stop writing to it.
        if (m_pOutStream != nullptr && !m_pOutStream->HasWriteError() && !(f.bCoreless && m_bCoreOnly)) {
            WriteFrame(*m_pOutStream, f, body, m_bCoreOnly ? nullptr : &substreams);
            m_Host.OnFrameWritten(f.nStart, m_pOutStream->GetBytePos());
        }
        ++m_nWholeFrames;
        AddToSummary(m_Summary, m_InStream, f);
    }
    const WatchedValues current = WatchedOf(f);
    if (current == lastReported)
        return;
    FrameRow row = f.bCoreless ? MakeCorelessRow(f, nFrameIndex)
                               : MakeRow(f.h, f.nStart, nFrameIndex, f.nLength, f.nCPFRead, f.eExtension);
    row.dTime = TimeOf(f.nStart);
    // Only the first frame of a file names its stream type; it always starts a row.
    if (nFrameIndex == 0)
        m_Host.SetDetectedFormat(row.strFormat);
    lastReported = current;
    m_Host.AddFrameRow(row);
}

void CFrameLoop::NoteCutShort(const FrameRead& f, int64_t nFrameIndex)
{
    CutShortFrame cut;
    cut.nOffset = f.nStart;
    cut.nFrame = nFrameIndex;
    cut.nBytes = m_InStream.GetBytePos() - f.nStart;
    // Cut inside its substreams, the frame would have reached the end of the one cut; cut inside
    // the core, the core's length is all its header tells.
    if (f.look.nCutEnd > 0)
        cut.nExpected = f.look.nCutEnd - f.nStart;
    else if (!f.bCoreless && f.nLength < f.nExpected)
        cut.nExpected = f.nExpected;
    m_CutShort = cut;
}

bool CFrameLoop::FirstFrameHolds()
{
    const int64_t nStart = m_InStream.GetBytePos();
    const EWordLayout eLayout = m_InStream.GetLayout();
    // A first frame cut short by the end of the input is walked, and told, as one.
    const bool bConfirmed = IsRealFrame(m_InStream, true);
    // The walk offset of a file's first frame is its stored offset in every layout.
    return m_InStream.Reseat(nStart, eLayout) && bConfirmed;
}

double CFrameLoop::TimeOf(int64_t nOffset) const
{
    const double dTime = m_InStream.TimeAt(nOffset);
    return dTime >= 0 ? dTime : m_dPlayed;
}

bool CFrameLoop::SkipDamage(int64_t nFrom, bool bAnyLayout, bool bAfterFrames, double dTime)
{
    int64_t nFound = -1;
    const bool bFound = CFrameSearch::Find(m_InStream, nFrom, bAnyLayout, ConfirmFrame, nFound);
    // A stretch is reported where a frame follows it, or where frames came before it; a file
    // with no frame anywhere has no rows.
    if (nFound > nFrom && (bFound || bAfterFrames)) {
        FrameRow row;
        row.nOffset = static_cast<uint64_t>(nFrom);
        row.nSkippedBytes = nFound - nFrom;
        row.dTime = dTime;
        m_Host.AddFrameRow(row);
    }
    return bFound;
}
