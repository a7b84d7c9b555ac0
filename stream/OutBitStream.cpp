// SPDX-License-Identifier: GPL-3.0-or-later
// Output bit stream: collects bits most significant first and writes whole bytes to a file.
#include "stream/OutBitStream.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "stream/FileShim.h"

COutBitStream::COutBitStream()
    : m_pBuffer(new uint8_t[kCapacity]())
{
}

COutBitStream::~COutBitStream()
{
    Close();
}

bool COutBitStream::Open(std::FILE* pFile)
{
    Close();
    m_bWriteError = false;
    m_bGivenFile = Attach(pFile);
    return m_bGivenFile;
}

bool COutBitStream::Attach(std::FILE* pFile)
{
    m_pFile = pFile;
    m_nBytesWritten = 0;
    Clear();
    // The stream collects whole blocks itself; a second buffer in the file library would only
    // copy them again and hide a failed write until later.
    if (m_pFile != nullptr)
        std::setvbuf(m_pFile, nullptr, _IONBF, 0);
    return m_pFile != nullptr;
}

bool COutBitStream::OpenReplacing(const std::string& strFinalPath, std::string& strCause)
{
    Close();
    m_bWriteError = false;
    if (!CFileShim::IsReplaceable(strFinalPath, strCause))
        return false;
    std::FILE* pFile = CFileShim::CreateUnnamedBeside(strFinalPath);
    m_bUnnamed = pFile != nullptr;
    if (pFile == nullptr)
        pFile = CFileShim::CreateTemporaryBeside(strFinalPath, m_strTempPath, strCause);
    if (!Attach(pFile))
        return false;
    m_strFinalPath = strFinalPath;
    return true;
}

void COutBitStream::TakePermissionsOf(std::FILE* pInput)
{
    // A file the caller opened (standard output) may be one of the user's own: its permissions are theirs.
    if (m_bGivenFile)
        return;
    CFileShim::CopyPermissions(pInput, m_pFile);
}

bool COutBitStream::Commit(std::string& strCause)
{
    if (m_bGivenFile) {
        CloseFile();
        return !m_bWriteError;
    }
    if (m_strFinalPath.empty() || m_pFile == nullptr) {
        strCause = "no output is open";
        return false;
    }
    Flush();
    // On the disk before it takes the final name: a crash then leaves the older output or the
    // whole new one, never a name over missing data.
    if (!m_bWriteError && !CFileShim::SyncToDisk(m_pFile))
        m_bWriteError = true;
    if (!m_bWriteError && m_bUnnamed && !CFileShim::NameUnnamed(m_pFile, m_strFinalPath, m_strTempPath, strCause)) {
        Close();
        return false;
    }
    m_bUnnamed = false;
    CloseFile();
    if (m_bWriteError || !CFileShim::RenameOver(m_strTempPath, m_strFinalPath, strCause)) {
        Close();
        return false;
    }
    m_strTempPath.clear();
    m_strFinalPath.clear();
    return true;
}

void COutBitStream::PutBit(int bit)
{
    PutBits(bit == 1 ? 1u : 0u, 1);
}

void COutBitStream::PutBits(uint32_t value, int count)
{
    if (count <= 0)
        return;
    // Positions above bit 31 are zeros of value: they are written as such, never shifted out of range.
    while (count > 32) {
        const int nZeros = std::min(count - 32, 32);
        PutBits(0, nZeros);
        count -= nZeros;
    }
    const uint64_t nMask = (uint64_t{1} << count) - 1;
    // At most 7 + 32 bits are pending here, so nothing above them is lost from the 64.
    m_nPending = (m_nPending << count) | (value & nMask);
    m_nPendingBits += count;
    while (m_nPendingBits >= 8) {
        m_nPendingBits -= 8;
        m_pBuffer[m_nByteCount++] = static_cast<uint8_t>(m_nPending >> m_nPendingBits);
        if (m_nByteCount >= kCapacity)
            WriteCompleted();
    }
}

void COutBitStream::PutBytes(const uint8_t* pBytes, int nCount)
{
    if (m_nPendingBits != 0) {
        for (int i = 0; i < nCount; ++i)
            PutBits(pBytes[i], 8);
        return;
    }
    while (nCount > 0) {
        const int nTake = std::min(nCount, kCapacity - m_nByteCount);
        std::memcpy(m_pBuffer.get() + m_nByteCount, pBytes, static_cast<size_t>(nTake));
        m_nByteCount += nTake;
        pBytes += nTake;
        nCount -= nTake;
        if (m_nByteCount >= kCapacity)
            WriteCompleted();
    }
}

void COutBitStream::WriteCompleted()
{
    // Without a file the bytes are discarded: the frame loop may write after a late tick of
    // "Rebuild Stream" while no output was opened.
    if (m_pFile != nullptr && m_nByteCount > 0) {
        const size_t nBytes = static_cast<size_t>(m_nByteCount);
        if (std::fwrite(m_pBuffer.get(), 1, nBytes, m_pFile) != nBytes)
            m_bWriteError = true;
        m_nBytesWritten += m_nByteCount;
    }
    m_nByteCount = 0;
}

void COutBitStream::Flush()
{
    if (m_nPendingBits > 0) {
        // The partial byte goes out with its unfilled low bits zero.
        m_pBuffer[m_nByteCount++] = static_cast<uint8_t>(m_nPending << (8 - m_nPendingBits));
        m_nPendingBits = 0;
    }
    WriteCompleted();
    Clear();
}

void COutBitStream::Clear()
{
    m_nByteCount = 0;
    m_nPending = 0;
    m_nPendingBits = 0;
}

void COutBitStream::Close()
{
    // An unnamed file vanishes as it is closed.
    m_bUnnamed = false;
    CloseFile();
    if (!m_strTempPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(CFileShim::ToPath(m_strTempPath), ec);
        m_strTempPath.clear();
    }
    m_strFinalPath.clear();
}

void COutBitStream::CloseFile()
{
    Flush();
    if (m_pFile != nullptr) {
        if (std::ferror(m_pFile) != 0)
            m_bWriteError = true;
        if (std::fclose(m_pFile) != 0)
            m_bWriteError = true;
        m_pFile = nullptr;
    }
    m_bGivenFile = false;
}
