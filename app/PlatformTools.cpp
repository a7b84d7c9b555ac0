// SPDX-License-Identifier: GPL-3.0-or-later
// The platform services of the desktop application: Qt's file dialogs, message boxes and settings.
#include "app/PlatformTools.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QSpacerItem>

CPlatformTools::CPlatformTools() = default;

CPlatformTools::~CPlatformTools() = default;

QSettings& CPlatformTools::Settings()
{
    if (!m_pSettings)
        m_pSettings = std::make_unique<QSettings>(QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    return *m_pSettings;
}

QStringList CPlatformTools::FilterPatterns(const QString& strFilter)
{
    const qsizetype nOpen = strFilter.lastIndexOf(QLatin1Char('('));
    const qsizetype nClose = strFilter.lastIndexOf(QLatin1Char(')'));
    if (nOpen < 0 || nClose < nOpen)
        return {};
    static const QRegularExpression separators(QStringLiteral("[,; ]+"));
    return strFilter.mid(nOpen + 1, nClose - nOpen - 1).split(separators, Qt::SkipEmptyParts);
}

std::unique_ptr<QFileDialog> CPlatformTools::CreateFileDialog(QWidget* pParent, const QStringList& filters,
                                                             const QString& strDirectory)
{
    auto pDialog = std::make_unique<QFileDialog>(pParent);
    // Qt's own dialog, on every platform: its pattern matching ignores case, as Windows
    // does, and its filter box can show our descriptions as they are.
    pDialog->setOption(QFileDialog::DontUseNativeDialog);
    pDialog->setAcceptMode(QFileDialog::AcceptOpen);
    pDialog->setWindowTitle(QStringLiteral("Add DTS file"));
    pDialog->setFileMode(QFileDialog::ExistingFiles);
    if (!strDirectory.isEmpty())
        pDialog->setDirectory(strDirectory);

    // Qt splits the patterns in parentheses at spaces only, so "(*.dtswav, *.wav)" would
    // leave a pattern "*.dtswav," that matches nothing. The dialog is given clean patterns,
    // and its filter box the descriptions word for word; the box's entries are only
    // shown, the dialog picks the patterns by their position.
    QStringList cleanFilters;
    for (const QString& strFilter : filters) {
        const qsizetype nOpen = strFilter.lastIndexOf(QLatin1Char('('));
        const QString strName = (nOpen < 0 ? strFilter : strFilter.left(nOpen)).trimmed();
        cleanFilters.append(strName + QStringLiteral(" (") + FilterPatterns(strFilter).join(QLatin1Char(' '))
                            + QLatin1Char(')'));
    }
    pDialog->setNameFilters(cleanFilters);
    if (!cleanFilters.isEmpty())
        pDialog->selectNameFilter(cleanFilters.first());
    if (auto* pCombo = pDialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < pCombo->count() && i < filters.size(); ++i)
            pCombo->setItemText(i, filters[i]);
    }
    return pDialog;
}

void CPlatformTools::SelectFilter(QFileDialog& dialog, const QStringList& filters, const QString& strFilter)
{
    // The filter box shows the descriptions as given while the dialog holds them cleaned up, in
    // the same order: either names the one asked for. One no longer offered leaves the first.
    const qsizetype nIndex = filters.indexOf(strFilter);
    if (nIndex < 0)
        return;
    dialog.selectNameFilter(strFilter);
    if (SelectedFilter(dialog, filters) != strFilter && nIndex < dialog.nameFilters().size())
        dialog.selectNameFilter(dialog.nameFilters().at(nIndex));
}

QString CPlatformTools::SelectedFilter(const QFileDialog& dialog, const QStringList& filters)
{
    const QString strSelected = dialog.selectedNameFilter();
    if (filters.contains(strSelected))
        return strSelected;
    const qsizetype nIndex = dialog.nameFilters().indexOf(strSelected);
    return nIndex >= 0 && nIndex < filters.size() ? filters.at(nIndex) : QString();
}

QStringList CPlatformTools::TypedNames(const QString& strText)
{
    if (!strText.contains(QLatin1Char('"'))) {
        const QString strName = strText.trimmed();
        return strName.isEmpty() ? QStringList() : QStringList{strName};
    }
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]+)\""));
    QStringList names;
    for (auto it = quoted.globalMatch(strText); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

QStringList CPlatformTools::PickedPaths(const QFileDialog& dialog)
{
    QStringList paths;
    const QDir directory = dialog.directory();
    if (const auto* pEdit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        for (const QString& strName : TypedNames(pEdit->text())) {
            const QFileInfo info(directory.absoluteFilePath(strName));
            if (info.exists() && !info.isDir())
                paths.append(QDir::cleanPath(info.absoluteFilePath()));
        }
    }
    for (const QString& strPath : dialog.selectedFiles()) {
        if (QFileInfo(strPath).isFile())
            paths.append(QDir::cleanPath(strPath));
    }
    paths.removeDuplicates();
    return paths;
}

bool CPlatformTools::PickFiles(QWidget* pParent, const QStringList& filters, QStringList& paths)
{
    const QString strLastDir = Settings().value(QLatin1String(kLastFolderKey)).toString();
    std::unique_ptr<QFileDialog> pDialog = CreateFileDialog(pParent, filters, strLastDir);
    SelectFilter(*pDialog, filters, Settings().value(QLatin1String(kLastFilterKey)).toString());
    if (pDialog->exec() != QDialog::Accepted)
        return false;
    const QString strUsed = SelectedFilter(*pDialog, filters);
    if (!strUsed.isEmpty())
        Settings().setValue(QLatin1String(kLastFilterKey), strUsed);
    const QStringList picked = PickedPaths(*pDialog);
    if (picked.isEmpty())
        return false;
    Settings().setValue(QLatin1String(kLastFolderKey), pDialog->directory().absolutePath());
    for (const QString& strPath : picked)
        paths.append(QDir::toNativeSeparators(strPath));
    return true;
}

bool CPlatformTools::PickSaveFile(QWidget* pParent, const QString& strFilter, const QString& strSuggestedName,
                                  QString& strPath)
{
    const QString strLastDir = Settings().value(QLatin1String(kLastFolderKey)).toString();
    const QString strStart = QDir(strLastDir.isEmpty() ? QDir::currentPath() : strLastDir).filePath(strSuggestedName);
    const QString strPicked = QFileDialog::getSaveFileName(pParent, QString(), strStart, strFilter, nullptr,
                                                           QFileDialog::DontUseNativeDialog);
    if (strPicked.isEmpty())
        return false;
    strPath = QDir::toNativeSeparators(strPicked);
    return true;
}

std::unique_ptr<QMessageBox> CPlatformTools::CreateMessageBox(QWidget* pParent, const QString& strText,
                                                              const QString& strCaption, EIcon eIcon)
{
    const QMessageBox::Icon icon = eIcon == EIcon::Stop      ? QMessageBox::Critical
                                   : eIcon == EIcon::Warning ? QMessageBox::Warning
                                                             : QMessageBox::NoIcon;
    auto pBox = std::make_unique<QMessageBox>(icon, strCaption, strText, QMessageBox::Ok, pParent);
    pBox->setTextFormat(Qt::PlainText);
    // A box sizes itself to its text alone, so a short text ("Done") cuts its caption off in
    // the title bar; a spacer keeps it as wide as the caption and the title bar's buttons.
    constexpr int kTitleBarAllowance = 160;
    const int nWidth = pBox->fontMetrics().horizontalAdvance(strCaption) + kTitleBarAllowance;
    if (auto* pGrid = qobject_cast<QGridLayout*>(pBox->layout()))
        pGrid->addItem(new QSpacerItem(nWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), pGrid->rowCount(),
                       0, 1, pGrid->columnCount());
    return pBox;
}

void CPlatformTools::ShowMessage(QWidget* pParent, const QString& strText, const QString& strCaption, EIcon eIcon)
{
    CreateMessageBox(pParent, strText, strCaption, eIcon)->exec();
}

bool CPlatformTools::AskQuestion(QWidget* pParent, const QString& strText, const QString& strCaption)
{
    // No is the default: Enter pressed by habit must not end a run.
    QMessageBox box(QMessageBox::Question, strCaption, strText, QMessageBox::Yes | QMessageBox::No, pParent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
