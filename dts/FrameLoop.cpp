// The frame loop: reads each core frame header, detects format changes, rebuilds frames.
#include "dts/FrameLoop.h"

#include <vector>

#include "dts/HeaderLabels.h"
#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

namespace {

constexpr uint32_t kSyncWord = 0x7FFE8001;
constexpr uint32_t kRateOpen = 29;

// The six values whose change starts a new row, in the order they are compared.
struct WatchedValues {
    uint32_t nSFREQ = 0;
    uint32_t nRATE = 0;
    uint32_t nAMODE = 0;
    int32_t nFrameLength = 0;
    uint32_t nDIALNORM = 0;
    uint32_t nHCRC = 0;

    bool operator==(const WatchedValues&) const = default;
};

// Restores the cursor and closes the output on every way out of the loop, exceptions included.
class CLoopExitGuard {
public:
    CLoopExitGuard(IFrameLoopHost& host, COutBitStream& out) : m_Host(host), m_Out(out) {}
    ~CLoopExitGuard()
    {
        m_Out.Close();
        m_Host.EndWaitCursor();
    }

private:
    IFrameLoopHost& m_Host;
    COutBitStream& m_Out;
};

// Reads the header fields after SYNC, in the standard's order. HCRC is present only with CPF 1.
void ReadHeaderAfterSync(CBitStream& in, FrameHeader& h)
{
    h.FTYPE = in.GetBit();
    h.SHORT = in.GetBits(5);
    h.CPF = in.GetBit();
    h.NBLKS = in.GetBits(7);
    h.FSIZE = in.GetBits(14);
    h.AMODE = in.GetBits(6);
    h.SFREQ = in.GetBits(4);
    h.RATE = in.GetBits(5);
    h.MIX = in.GetBit();
    h.DYNF = in.GetBit();
    h.TIMEF = in.GetBit();
    h.AUXF = in.GetBit();
    h.HDCD = in.GetBit();
    h.EXT_AUDIO_ID = in.GetBits(3);
    h.EXT_AUDIO = in.GetBit();
    h.ASPF = in.GetBit();
    h.LFF = in.GetBits(2);
    h.HFLAG = in.GetBit();
    h.HCRC = h.CPF == 1 ? in.GetBits(16) : 0;
    h.FILTS = in.GetBit();
    h.VERNUM = in.GetBits(4);
    h.CHIST = in.GetBits(2);
    h.PCMR = in.GetBits(3);
    h.SUMF = in.GetBit();
    h.SUMS = in.GetBit();
    h.DIALNORM = in.GetBits(4);
}

// Writes a header field by field with the widths it was read with.
void WriteHeader(COutBitStream& out, const FrameHeader& h, uint32_t nFSIZE)
{
    out.PutBits(kSyncWord, 32);
    out.PutBit(h.FTYPE);
    out.PutBits(h.SHORT, 5);
    out.PutBit(h.CPF);
    out.PutBits(h.NBLKS, 7);
    out.PutBits(nFSIZE, 14);
    out.PutBits(h.AMODE, 6);
    out.PutBits(h.SFREQ, 4);
    out.PutBits(h.RATE, 5);
    out.PutBit(h.MIX);
    out.PutBit(h.DYNF);
    out.PutBit(h.TIMEF);
    out.PutBit(h.AUXF);
    out.PutBit(h.HDCD);
    out.PutBits(h.EXT_AUDIO_ID, 3);
    out.PutBit(h.EXT_AUDIO);
    out.PutBit(h.ASPF);
    out.PutBits(h.LFF, 2);
    out.PutBit(h.HFLAG);
    if (h.CPF == 1)
        out.PutBits(h.HCRC, 16);
    out.PutBit(h.FILTS);
    out.PutBits(h.VERNUM, 4);
    out.PutBits(h.CHIST, 2);
    out.PutBits(h.PCMR, 3);
    out.PutBit(h.SUMF);
    out.PutBit(h.SUMS);
    out.PutBits(h.DIALNORM, 4);
}

int ProgressPercent(int64_t nBytePos, int64_t nInputSize)
{
    if (nInputSize <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(nBytePos) * 100.0 / static_cast<double>(nInputSize));
}

} // namespace

CFrameLoop::CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream)
    : m_Host(host), m_InStream(inStream), m_OutStream(outStream)
{
}

int64_t CFrameLoop::ParseFile(int nBatchRow, int64_t nInputSize)
{
    m_Host.BeginWaitCursor();
    CLoopExitGuard exitGuard(m_Host, m_OutStream);
    m_Host.SetProgressRange(0, 100);
    m_Host.SetProgressPos(0);
    m_Host.ClearStop();
    m_Host.ClearFrameList();

    WatchedValues lastReported;
    int64_t nFrameIndex = 0;
    bool bFirstRow = true;
    // One body buffer serves every frame of the file; a body is at most 16384 bytes.
    std::vector<uint8_t> body;

    for (;;) {
        if (m_Host.IsStopSet())
            break;
        m_Host.SetProgressPos(ProgressPercent(m_InStream.GetBytePos(), nInputSize));
        m_Host.DispatchPendingMessage();

        const int64_t nFrameStart = m_InStream.GetBytePos();
        FrameHeader h;
        try {
            h.SYNC = m_InStream.GetBits(32);
            if (h.SYNC != kSyncWord)
                break;
            ReadHeaderAfterSync(m_InStream, h);
        } catch (const EOFBSException&) {
            // The end of the input inside a header is how a well-formed file ends.
            break;
        }
        const uint32_t nCPFRead = h.CPF;

        if (m_Host.IsRemoveDialNormTicked()) {
            h.DIALNORM = 0;
            h.VERNUM = 7;
        }
        if (m_Host.IsRemoveCRCTicked())
            h.CPF = 0;

        const int32_t nHeaderLength = static_cast<int32_t>(m_InStream.GetBytePos() - nFrameStart);
        // Frames with the "open" rate take FSIZE bytes; all others FSIZE + 1.
        const int32_t nBodyLength = static_cast<int32_t>(h.FSIZE) - nHeaderLength + (h.RATE == kRateOpen ? 0 : 1);
        // A frame whose FSIZE is below its header length cannot be walked: it ends the file
        // as a missing sync does, with nothing reported, written or counted for it.
        if (nBodyLength < 0)
            break;

        // The body is taken as a block: a short count means the input ended inside it, and the
        // bytes read before the end stay counted, as byte-by-byte reads would leave them.
        if (body.size() < static_cast<size_t>(nBodyLength))
            body.resize(static_cast<size_t>(nBodyLength));
        const int32_t nBodyRead = m_InStream.ReadBytes(body.data(), nBodyLength);
        const bool bCutShort = nBodyRead < nBodyLength;

        const int32_t nFrameLength = static_cast<int32_t>(m_InStream.GetBytePos() - nFrameStart);

        // Once a write has failed the output is already short: stop writing to it.
        if (!bCutShort && m_Host.IsRebuildStreamTicked() && !m_OutStream.HasWriteError()) {
            // Dropping the two HCRC bytes shortens the frame, so FSIZE must say so too, or
            // decoders lose the frames that follow.
            const bool bCRCDropped = nCPFRead == 1 && h.CPF == 0;
            WriteHeader(m_OutStream, h, bCRCDropped ? h.FSIZE - 2 : h.FSIZE);
            m_OutStream.PutBytes(body.data(), nBodyLength);
        }

        const WatchedValues current{h.SFREQ, h.RATE, h.AMODE, nFrameLength, h.DIALNORM, h.HCRC};
        if (current != lastReported) {
            lastReported = current;
            FrameRow row;
            row.nOffset = static_cast<uint64_t>(nFrameStart);
            row.nFrame = nFrameIndex;
            row.strBitrate = FormatBitRateLabel(h.RATE);
            row.strFormat = FormatStreamTypeLabel(h.EXT_AUDIO_ID, h.PCMR, h.SFREQ);
            row.strChannels = FormatChannelLabel(static_cast<int32_t>(h.AMODE));
            if (h.LFF == 1 || h.LFF == 2)
                row.strChannels += "+LFE";
            row.nFrameSize = nFrameLength;
            row.strDialNorm = FormatDialNormLabel(h.VERNUM, h.DIALNORM);
            row.bCRC = nCPFRead == 1;
            if (bFirstRow)
                m_Host.SetDetectedFormat(nBatchRow, row.strFormat);
            m_Host.AddFrameRow(row);
            bFirstRow = false;
        }

        m_Host.SetCurrentFrame(nFrameIndex);
        ++nFrameIndex;
    }
    return nFrameIndex;
}
