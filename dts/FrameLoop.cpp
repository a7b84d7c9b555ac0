// The frame loop: reads each core frame header, detects format changes, rebuilds frames.
#include "dts/FrameLoop.h"

#include <algorithm>
#include <vector>

#include "dts/FrameSearch.h"
#include "dts/SubstreamReader.h"

#include "dts/FrameHeader.h"
#include "dts/HeaderLabels.h"
#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "stream/ScopeExit.h"
#include "stream/SyncWords.h"

namespace {

constexpr uint32_t kRateOpen = 29;

// The six values whose change starts a new row, in the order they are compared.
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

int ProgressPercent(int64_t nBytePos, int64_t nInputSize)
{
    if (nInputSize <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(nBytePos) * 100.0 / static_cast<double>(nInputSize));
}

// One frame as the loop read it.
struct FrameRead {
    FrameHeader h;              // as the removal options left it
    int64_t nStart = 0;         // the byte counter at its sync
    uint32_t nCPFRead = 0;      // CPF before "Remove CRC"
    int32_t nBodyLength = 0;
    int32_t nLength = 0;        // bytes read from its start to the end of its body
    bool bCutShort = false;     // the input ended inside the body or its substreams
    bool bRemoveDialNorm = false;
    EExtensionKind eExtension = EExtensionKind::None;
};

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

// The removal options of host, applied to the header just read.
void ApplyRemovals(IFrameLoopHost& host, FrameRead& f)
{
    f.bRemoveDialNorm = host.IsRemoveDialNormTicked();
    if (f.bRemoveDialNorm) {
        f.h.DIALNORM = 0;
        f.h.VERNUM = 7;
    }
    if (host.IsRemoveCRCTicked())
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

// Reads the frame at the current position with its body into `body` and the substreams after
// it into `substreams` (without bKeep, both are stepped over and left as they are), the removal
// options of host (when given) applied to its header.
EFrameRead ReadFrame(IFrameLoopHost* pHost, CBitStream& in, FrameRead& f, std::vector<uint8_t>& body,
                     std::vector<uint8_t>& substreams, bool bKeep)
{
    if (const int nPad = WordPaddingBefore(in); nPad > 0)
        in.GetBits(nPad);
    f.nStart = in.GetBytePos();
    const EFrameRead eHeader = ReadHeader(in, f.h);
    if (eHeader != EFrameRead::Ok)
        return eHeader;
    f.nCPFRead = f.h.CPF;
    if (pHost != nullptr)
        ApplyRemovals(*pHost, f);

    const int32_t nHeaderLength = static_cast<int32_t>(in.GetBytePos() - f.nStart);
    // Frames with the "open" rate take FSIZE bytes or FSIZE + 1 (settled below); all others FSIZE + 1.
    f.nBodyLength = static_cast<int32_t>(f.h.FSIZE) - nHeaderLength + (f.h.RATE == kRateOpen ? 0 : 1);
    // A frame below the smallest size the standard allows, or whose FSIZE is below its header
    // length, cannot be walked: it is damage.
    if (f.h.FSIZE < kMinFSIZE || f.nBodyLength < 0)
        return EFrameRead::Damaged;

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
        f.eExtension = CSubstreamReader::ReadAfterFrame(in, f.nLength, substreams, f.bCutShort, bKeep);
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

// A frame found by the search is real when it is whole and another frame, or the end of the
// input, follows right after it or after zeros.
bool ConfirmFrame(CBitStream& in)
{
    FrameRead f;
    std::vector<uint8_t> body;
    std::vector<uint8_t> substreams;
    if (ReadFrame(nullptr, in, f, body, substreams, false) != EFrameRead::Ok || f.bCutShort)
        return false;
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

void WriteFrame(COutBitStream& out, const FrameRead& f, const std::vector<uint8_t>& body,
                std::vector<uint8_t>* pSubstreams)
{
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

} // namespace

CFrameLoop::CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream* pOutStream)
    : m_Host(host), m_InStream(inStream), m_pOutStream(pOutStream)
{
}

int64_t CFrameLoop::ParseFile(int64_t nInputSize)
{
    m_Host.BeginWaitCursor();
    CScopeExit restoreCursor([this] { m_Host.EndWaitCursor(); });
    m_Host.SetProgressRange(0, 100);
    m_Host.SetProgressPos(0);
    m_Host.ClearStop();
    m_Host.ClearFrameList();
    m_nFramesWritten = 0;
    m_nWholeFrames = 0;
    m_nPaddingBytes = 0;

    WatchedValues lastReported;
    int64_t nFrameIndex = 0;
    // The play time of the frames walked so far, for inputs whose container gives no times.
    double dPlayed = 0;
    // A plain file that does not start with a frame may hold any word layout.
    bool bAnyLayout = m_InStream.GetInputKind() == EInputKind::Unknown;
    // One body buffer serves every frame of the file (a body is at most 16384 bytes), and one
    // buffer the substreams after it.
    std::vector<uint8_t> body;
    std::vector<uint8_t> substreams;

    while (KeepsWalking()) {
        m_Host.SetProgressPos(ProgressPercent(m_InStream.GetProgressPos(), nInputSize));
        m_Host.DispatchPendingMessage();

        FrameRead f;
        // Bodies and substreams are stepped over, not copied, when nothing is written.
        const EFrameRead eRead = ReadFrame(&m_Host, m_InStream, f, body, substreams, m_pOutStream != nullptr);
        // A read error is no damage to search past: the walk ends and the job reports it.
        if (eRead == EFrameRead::End || (eRead == EFrameRead::Damaged && m_InStream.HasReadError()))
            break;
        if (eRead == EFrameRead::Damaged) {
            if (!SkipDamage(f.nStart, bAnyLayout, nFrameIndex > 0, TimeOf(f.nStart, dPlayed)))
                break;
            // The frame where the stream resumes always starts a row.
            lastReported = WatchedValues{};
            bAnyLayout = false;
            continue;
        }
        bAnyLayout = false;
        m_nWholeFrames += f.bCutShort ? 0 : 1;
        if (!f.bCutShort && m_pOutStream != nullptr) {
            WriteFrame(*m_pOutStream, f, body, m_bCoreOnly ? nullptr : &substreams);
            ++m_nFramesWritten;
            m_Host.OnFrameWritten(f.nStart, m_pOutStream->GetBytePos());
        }

        const WatchedValues current{f.h.SFREQ, f.h.RATE, f.h.AMODE, f.nLength, f.h.DIALNORM, f.h.HCRC, f.eExtension};
        if (current != lastReported) {
            FrameRow row = MakeRow(f.h, f.nStart, nFrameIndex, f.nLength, f.nCPFRead, f.eExtension);
            row.dTime = TimeOf(f.nStart, dPlayed);
            // Only the first frame of a file names its stream type; it always starts a row.
            if (nFrameIndex == 0)
                m_Host.SetDetectedFormat(row.strFormat);
            lastReported = current;
            m_Host.AddFrameRow(row);
        }

        m_Host.SetCurrentFrame(nFrameIndex);
        ++nFrameIndex;
        dPlayed += PlayTime(f.h);
        m_nPaddingBytes += StepOverZeros(m_InStream);
    }
    return nFrameIndex;
}

double CFrameLoop::TimeOf(int64_t nOffset, double dPlayed) const
{
    const double dTime = m_InStream.TimeAt(nOffset);
    return dTime >= 0 ? dTime : dPlayed;
}

bool CFrameLoop::KeepsWalking() const
{
    // A failed write ends the walk at once: the output is lost, and reading on would only delay
    // the news (and write nothing more to a short output).
    return !m_Host.IsStopSet() && (m_pOutStream == nullptr || !m_pOutStream->HasWriteError());
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
