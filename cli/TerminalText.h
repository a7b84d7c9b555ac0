// SPDX-License-Identifier: GPL-3.0-or-later
// Text for a terminal: file names and messages with their control characters shown escaped, so
// a name cannot move the cursor, clear the screen or start a line of its own.
#pragma once

#include <cstdio>
#include <string>

class CTerminalText {
public:
    // str with every control character escaped: \n, \r and \t by name, the other C0 controls,
    // DEL and bytes that are not UTF-8 as \xHH, and the C1 controls (U+0080 to U+009F) as
    // \u00HH, the bidirectional controls (U+200E/F, U+202A to U+202E, U+2066 to U+2069) and the
    // line and paragraph separators (U+2028/9) as \uHHHH. Printable UTF-8 passes unchanged.
    static std::string Escape(const std::string& str);
    // Whether str is valid UTF-8 throughout (no overlong forms, surrogates or code points past
    // U+10FFFF), as a JSON text must be.
    static bool IsValidUtf8(const std::string& str);
    // The number of terminal columns str takes, counting one per character (a UTF-8 lead byte or
    // a byte that is not UTF-8).
    static size_t Columns(const std::string& str);
    // The width of the terminal pOut writes to (on Windows, the console of stderr); 80 where
    // it cannot be told.
    static int TerminalColumns(std::FILE* pOut);
    // Whether pFile is a terminal (on Windows, a console).
    static bool IsTerminal(std::FILE* pFile);
    // The end of str that fits in nColumns, with "..." in front when something was cut.
    static std::string KeepEnd(const std::string& str, size_t nColumns);
};
