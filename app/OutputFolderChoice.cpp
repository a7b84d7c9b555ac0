// SPDX-License-Identifier: GPL-3.0-or-later
// The window's "Output folder" choice.
#include "app/OutputFolderChoice.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>

#include <map>
#include <string>

#include "dts/FileJob.h"
#include "stream/FileShim.h"

namespace {
const char* const kFolderKey = "outputFolder";
enum EEntry { kBeside = 0, kFolder = 1 };
} // namespace

COutputFolderChoice::COutputFolderChoice(QSettings& settings, QWidget* pParent)
    : QComboBox(pParent)
    , m_Settings(settings)
    , m_strFolder(settings.value(QLatin1String(kFolderKey)).toString())
{
    // A long folder name shows its end, where the names differ, and never widens the window.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    Refill();
    connect(this, &QComboBox::activated, this, &COutputFolderChoice::OnActivated);
}

void COutputFolderChoice::SetFolder(const QString& strFolder)
{
    m_strFolder = strFolder;
    m_Settings.setValue(QLatin1String(kFolderKey), m_strFolder);
    Refill();
}

void COutputFolderChoice::Refill()
{
    const QSignalBlocker blocker(this);
    clear();
    addItem(QStringLiteral("Beside the input"));
    if (!m_strFolder.isEmpty()) {
        addItem(QDir::toNativeSeparators(m_strFolder));
        setItemData(kFolder, QDir::toNativeSeparators(m_strFolder), Qt::ToolTipRole);
    }
    addItem(QStringLiteral("Choose folder..."));
    setCurrentIndex(m_strFolder.isEmpty() ? kBeside : kFolder);
}

void COutputFolderChoice::OnActivated(int nIndex)
{
    if (nIndex == count() - 1) {
        const QString strPicked = QFileDialog::getExistingDirectory(this, QStringLiteral("Output folder"), m_strFolder);
        // Cancelled: the choice stays as it was.
        SetFolder(strPicked.isEmpty() ? m_strFolder : strPicked);
        return;
    }
    SetFolder(nIndex == kBeside ? QString() : m_strFolder);
}

QString COutputFolderChoice::ProblemBeforeRun(const QString& strFolder, const QStringList& inputs)
{
    if (strFolder.isEmpty())
        return QString();
    const std::string strNative = QDir::toNativeSeparators(strFolder).toStdString();
    std::string strCause;
    if (!CFileShim::CanCreateIn(strNative, strCause))
        return QStringLiteral("Cannot write to the output folder \"%1\": %2.")
            .arg(QDir::toNativeSeparators(strFolder), QString::fromStdString(strCause));
    std::map<std::string, QString> claimed;
    for (const QString& strInput : inputs) {
        const auto [it, bNew] = claimed.emplace(CFileJob::OutputPathFor(strInput.toStdString(), strNative), strInput);
        if (!bNew && it->second != strInput)
            return QStringLiteral("\"%1\" and \"%2\" would both be written to \"%3\".")
                .arg(it->second, strInput, QString::fromStdString(it->first));
    }
    return QString();
}
