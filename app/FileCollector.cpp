// SPDX-License-Identifier: GPL-3.0-or-later
// The files a pick or a drop brings to the batch.
#include "app/FileCollector.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <string>

#include "app/PlatformTools.h"
#include "stream/FileShim.h"

QStringList CFileCollector::CollectDroppedPaths(const QList<QUrl>& urls, const QStringList& filters)
{
    QStringList patterns;
    for (const QString& strFilter : filters) {
        for (const QString& strPattern : CPlatformTools::FilterPatterns(strFilter)) {
            if (strPattern != QLatin1String("*") && !patterns.contains(strPattern))
                patterns.append(strPattern);
        }
    }
    QStringList paths;
    for (const QUrl& url : urls) {
        const QString strPath = url.toLocalFile();
        if (strPath.isEmpty())
            continue;
        if (!QFileInfo(strPath).isDir()) {
            paths.append(QDir::toNativeSeparators(strPath));
            continue;
        }
        QStringList inside;
        QDirIterator it(strPath, patterns, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            // A folder run again would otherwise take last run's outputs as inputs.
            const QString strFound = it.next();
            if (!strFound.endsWith(QLatin1String(".fixed.dts")))
                inside.append(QDir::toNativeSeparators(strFound));
        }
        inside.sort();
        paths += inside;
    }
    return paths;
}

QList<CFileCollector::SFile> CFileCollector::Screen(const QStringList& paths, const QSet<QString>& listed,
                                                    QStringList& notes)
{
    QList<SFile> files;
    QSet<QString> seen = listed;
    for (const QString& strPath : paths) {
        // The same file under two spellings is one file: its output would be written twice.
        const QString strKey = QFileInfo(strPath).absoluteFilePath();
        if (seen.contains(strKey)) {
            notes.append(QStringLiteral("%1 is in the list already").arg(strPath));
            continue;
        }
        // Opening a pipe with no writer would block the window for good, so the core looks at
        // what the path names before anything opens it.
        SFile file{strPath, 0};
        std::string strCause;
        if (!CFileShim::GetRegularFileSize(strPath.toStdString(), file.nSize, strCause)) {
            notes.append(QStringLiteral("%1: %2").arg(strPath, QString::fromStdString(strCause)));
            continue;
        }
        seen.insert(strKey);
        files.append(file);
    }
    return files;
}
