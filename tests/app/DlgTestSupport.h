// What the dialog tests share: a dialog shown offscreen with fake platform tools, a scratch
// folder, and helpers that read its lists back.
#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "FakePlatformTools.h"
#include "app/KestruneDlg.h"
#include "app/ListView.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

// Failures print the texts rather than their bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& strText, std::ostream* pOut)
{
    *pOut << '"' << strText.toStdString() << '"';
}
QT_END_NAMESPACE

// Each helper and the fixture are used by the several files of dialog tests.

using EIcon = IPlatformTools::EIcon;

inline QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

inline QStringList Row(const CListView& list, int nRow)
{
    QStringList cells;
    for (int c = 0; c < list.GetColumnCount(); ++c)
        cells.append(list.GetItemText(nRow, c));
    return cells;
}

inline QStringList Column(const CListView& list, int nColumn)
{
    QStringList cells;
    for (int r = 0; r < list.GetItemCount(); ++r)
        cells.append(list.GetItemText(r, nColumn));
    return cells;
}

// A committed sample copied into dir under a new name, so outputs land in the scratch directory.
inline std::string CopySample(const CTempDir& dir, const std::string& sample, const std::string& name)
{
    const std::string path = dir.Path(name);
    fs::copy_file(TestDataPath(sample), fs::u8path(path), fs::copy_options::overwrite_existing);
    return path;
}

class KestruneDlgTest : public ::testing::Test {
protected:
    KestruneDlgTest() { m_Dlg.show(); }

    void Add(const QStringList& paths)
    {
        m_Tools.m_PickAnswers.push_back(paths);
        m_Dlg.m_ctlAddFile->click();
    }

    CFakePlatformTools m_Tools;
    CKestruneDlg m_Dlg{m_Tools};
    CTempDir m_Dir;
};

inline const QStringList kStereo48Row = {"00000000", "00000000", "384", "DTS 16/48", "L+R (stereo)", "512 bytes", "-0 dB", "NO"};

