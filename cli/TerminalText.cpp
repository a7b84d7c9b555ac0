// SPDX-License-Identifier: GPL-3.0-or-later
// Text for a terminal, with control characters shown escaped.
#include "cli/TerminalText.h"

#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

constexpr int kDefaultColumns = 80;

// The length of a UTF-8 sequence by its lead byte, 0 for a byte that leads none.
size_t LeadLength(unsigned char c)
{
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// The length of the valid UTF-8 sequence at str[i], or 0 when the byte there starts none.
size_t Utf8Length(const std::string& str, size_t i)
{
    const auto c = static_cast<unsigned char>(str[i]);
    const size_t nLength = LeadLength(c);
    if (nLength == 0 || i + nLength > str.size())
        return 0;
    for (size_t k = 1; k < nLength; ++k) {
        if ((static_cast<unsigned char>(str[i + k]) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8 either.
    const auto c1 = static_cast<unsigned char>(str[i + 1]);
    const bool bOutOfRange = (c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90)
                             || (c == 0xF4 && c1 > 0x8F);
    return bOutOfRange ? 0 : nLength;
}

std::string Hex(const char* pszFormat, unsigned int nValue)
{
    char text[8];
    std::snprintf(text, sizeof text, pszFormat, nValue);
    return text;
}

// The escaped form of the ASCII byte c.
std::string EscapeAscii(unsigned char c)
{
    switch (c) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F)
        return Hex("\\x%02x", c);
    return std::string(1, static_cast<char>(c));
}

// Characters that print nothing yet reorder or break the text around them: the bidirectional
// marks, embeddings, overrides and isolates (a name could show its extension reversed), and the
// line and paragraph separators (a name could start a line of its own). All are three bytes.
bool IsInvisibleControl(const std::string& str, size_t i, uint32_t& nCodePoint)
{
    nCodePoint = ((static_cast<unsigned char>(str[i]) & 0x0Fu) << 12) | ((static_cast<unsigned char>(str[i + 1]) & 0x3Fu) << 6)
                 | (static_cast<unsigned char>(str[i + 2]) & 0x3Fu);
    return nCodePoint == 0x200E || nCodePoint == 0x200F || (nCodePoint >= 0x2028 && nCodePoint <= 0x202E)
           || (nCodePoint >= 0x2066 && nCodePoint <= 0x2069);
}

} // namespace

std::string CTerminalText::Escape(const std::string& str)
{
    std::string escaped;
    escaped.reserve(str.size());
    for (size_t i = 0; i < str.size();) {
        const auto c = static_cast<unsigned char>(str[i]);
        if (c < 0x80) {
            escaped += EscapeAscii(c);
            ++i;
            continue;
        }
        const size_t nLength = Utf8Length(str, i);
        if (nLength == 0) {
            escaped += Hex("\\x%02x", c);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(str[i + 1]) < 0xA0) {
            escaped += Hex("\\u%04x", static_cast<unsigned char>(str[i + 1]));
            i += 2;
        } else if (uint32_t nCodePoint = 0; nLength == 3 && IsInvisibleControl(str, i, nCodePoint)) {
            escaped += Hex("\\u%04x", nCodePoint);
            i += 3;
        } else {
            escaped.append(str, i, nLength);
            i += nLength;
        }
    }
    return escaped;
}

bool CTerminalText::IsValidUtf8(const std::string& str)
{
    for (size_t i = 0; i < str.size();) {
        const auto c = static_cast<unsigned char>(str[i]);
        const size_t nLength = c < 0x80 ? 1 : Utf8Length(str, i);
        if (nLength == 0)
            return false;
        i += nLength;
    }
    return true;
}

size_t CTerminalText::Columns(const std::string& str)
{
    size_t nColumns = 0;
    for (unsigned char c : str) {
        if ((c & 0xC0) != 0x80)
            ++nColumns;
    }
    return nColumns;
}

std::string CTerminalText::KeepEnd(const std::string& str, size_t nColumns)
{
    if (Columns(str) <= nColumns)
        return str;
    if (nColumns <= 3)
        return std::string(nColumns, '.');
    // Walk back from the end over whole characters until nColumns - 3 are kept.
    size_t nStart = str.size();
    size_t nKept = 0;
    while (nStart > 0 && nKept < nColumns - 3) {
        --nStart;
        if ((static_cast<unsigned char>(str[nStart]) & 0xC0) != 0x80)
            ++nKept;
    }
    std::string kept("...");
    kept.append(str, nStart, std::string::npos);
    return kept;
}

int CTerminalText::TerminalColumns(std::FILE* pOut)
{
#ifdef _WIN32
    (void)pOut;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(fileno(pOut), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return kDefaultColumns;
}

bool CTerminalText::IsTerminal(std::FILE* pFile)
{
#ifdef _WIN32
    return _isatty(_fileno(pFile)) != 0;
#else
    return isatty(fileno(pFile)) != 0;
#endif
}
