// The platform services of the desktop application: Qt's open-file dialog and message boxes.
#include "app/PlatformTools.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

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

bool CPlatformTools::PickFiles(QWidget* pParent, const QStringList& filters, QStringList& paths)
{
    std::unique_ptr<QFileDialog> pDialog = CreateFileDialog(pParent, filters, m_strLastDir);
    if (pDialog->exec() != QDialog::Accepted)
        return false;
    const QStringList picked = pDialog->selectedFiles();
    if (picked.isEmpty())
        return false;
    m_strLastDir = pDialog->directory().absolutePath();
    for (const QString& strPath : picked)
        paths.append(QDir::toNativeSeparators(strPath));
    return true;
}

void CPlatformTools::ShowMessage(QWidget* pParent, const QString& strText, const QString& strCaption, EIcon eIcon)
{
    QMessageBox box(eIcon == EIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, strCaption, strText,
                    QMessageBox::Ok, pParent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
