// SPDX-License-Identifier: GPL-3.0-or-later
// A file that could not be opened to measure it: the path and the cause, in plain English.
#include "app/FileException.h"

CFileException::CFileException(const QString& strPath, const QString& strCause)
    : std::runtime_error(QStringLiteral("cannot open %1: %2").arg(strPath, strCause).toStdString())
{
}
