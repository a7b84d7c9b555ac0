// One file of a batch, shared by the dialog and the command line.
#include "dts/FileJob.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "dts/FrameLoop.h"
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

// Closes the input on every way out, exceptions included.
class CInputCloser {
public:
    explicit CInputCloser(CBitStream& in) : m_In(in) {}
    ~CInputCloser() { m_In.Close(); }

private:
    CBitStream& m_In;
};

} // namespace

std::string CFileJob::OutputPathFor(const std::string& strInputPath)
{
    return strInputPath + ".fixed.dts";
}

const char* CFileJob::StateText(EState eState)
{
    switch (eState) {
    case EState::Done:
        return "done";
    case EState::CannotOpenInput:
        return "error: cannot open input";
    case EState::CannotCreateOutput:
        return "error: cannot create output";
    case EState::WriteFailed:
        return "error: write failed";
    }
    return "done";
}

std::string CFileJob::DescribeInputProblem(const std::string& strPath)
{
    std::error_code ec;
    const std::filesystem::path path = CFileShim::ToPath(strPath);
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return "the file does not exist";
    if (ec)
        return ec.message();
    if (status.type() == std::filesystem::file_type::directory)
        return "it is a directory";
    if (status.type() != std::filesystem::file_type::regular)
        return "it is not a regular file";
    std::ifstream probe(path, std::ios::binary);
    if (!probe)
        return "it cannot be read (permission denied?)";
    return "it is not a readable DTS stream or RIFF WAVE file (a WAVE file needs a \"fmt \" chunk and a \"data\" chunk after it)";
}

std::string CFileJob::DescribeOutputProblem(const std::string& strPath)
{
    std::error_code ec;
    const std::filesystem::path path = CFileShim::ToPath(strPath);
    if (std::filesystem::is_directory(path, ec))
        return "a folder of that name is in the way";
    const std::filesystem::path dir = path.parent_path();
    if (!dir.empty()) {
        const std::filesystem::file_status status = std::filesystem::status(dir, ec);
        if (status.type() == std::filesystem::file_type::not_found)
            return "its folder does not exist";
        if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
            return "its folder is a file";
    }
    return "the file cannot be created (read-only folder or no permission?)";
}

CFileJob::Result CFileJob::Run(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                               const std::string& strInputPath, const std::string& strOutputPath,
                               int64_t nInputSize, bool bRebuild, int nBatchRow)
{
    Result result;
    if (!inStream.Open(strInputPath)) {
        result.eState = EState::CannotOpenInput;
        result.strError = DescribeInputProblem(strInputPath);
        return result;
    }
    CInputCloser inputCloser(inStream);

    if (bRebuild) {
        // Opening the output empties it, so an output that is the input under another name
        // (the same path, a link) would destroy the input before a byte of it is read.
        std::error_code ec;
        if (std::filesystem::equivalent(CFileShim::ToPath(strInputPath), CFileShim::ToPath(strOutputPath), ec)) {
            result.eState = EState::CannotCreateOutput;
            result.strError = "it would overwrite the input";
            return result;
        }
        if (!outStream.Open(strOutputPath)) {
            result.eState = EState::CannotCreateOutput;
            result.strError = DescribeOutputProblem(strOutputPath);
            return result;
        }
    }

    CFrameLoop loop(host, inStream, outStream);
    result.nFrames = loop.ParseFile(nBatchRow, nInputSize);
    outStream.Close();

    if (bRebuild) {
        if (outStream.HasWriteError()) {
            // A short output must not be left behind looking complete. Only a plain file is
            // removed: an output path that names a device or a link is never deleted.
            std::error_code ec;
            const std::filesystem::path output = CFileShim::ToPath(strOutputPath);
            result.eState = EState::WriteFailed;
            result.strError = "writing the output failed (disk full?); ";
            if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(output, ec)))
                result.strError += "it is not a plain file and was left as it is";
            else if (std::filesystem::remove(output, ec))
                result.strError += "the incomplete output was removed";
            else
                result.strError += "the incomplete output could not be removed";
        } else {
            result.bOutputWritten = true;
        }
    }
    return result;
}
