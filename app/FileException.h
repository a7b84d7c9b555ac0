// SPDX-License-Identifier: GPL-3.0-or-later
// A file that could not be opened to measure it: the path and the cause, in plain English.
#pragma once

#include <QString>

#include <stdexcept>

class CFileException : public std::runtime_error {
public:
    CFileException(const QString& strPath, const QString& strCause);
};
