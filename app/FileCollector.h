// SPDX-License-Identifier: GPL-3.0-or-later
// Which files a pick or a drop adds to the batch: folders expanded to the files inside them that
// the filters name, and each file screened (it must be a regular file that can be measured, and
// not in the list already), so that one bad file is noted and the rest still come in.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>

class CFileCollector {
public:
    // A file that passed: its path and size.
    struct SFile {
        QString strPath;
        uint64_t nSize = 0;
    };

    // The files a drop names: each file as it is, and for each folder the files inside it (at
    // any depth, sorted by path) whose extensions the filters' patterns name, but for outputs of
    // an earlier run (FILE.fixed.dts).
    static QStringList CollectDroppedPaths(const QList<QUrl>& urls, const QStringList& filters);

    // Screens paths against the ones listed already; the files to add, in order, and one
    // note per file left out ("PATH: CAUSE" or "PATH is in the list already").
    static QList<SFile> Screen(const QStringList& paths, const QSet<QString>& listed, QStringList& notes);
};
