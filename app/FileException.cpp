// SPDX-License-Identifier: GPL-3.0-or-later
// A file that could not be opened to measure it: the path and the cause, in plain English.
#include "app/FileException.h"

CFileException::CFileException(const QString& strPath, const QString& strCause)
    : std::runtime_error(QStringLiteral("cannot open %1: %2").arg(strPath, strCause).toStdString())
    , m_strPath(strPath)
    , m_strCause(strCause)
{
}

QString CFileException::GetMessage() const
{
    return QStringLiteral("Cannot open the file \"%1\" to measure its size: %2.").arg(m_strPath, m_strCause);
}
