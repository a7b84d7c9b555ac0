// SPDX-License-Identifier: GPL-3.0-or-later
// The platform services of the desktop application: Qt's file dialogs, message boxes and
// the user's settings.
#pragma once

#include <QString>

#include <memory>

#include "app/IPlatformTools.h"

class QFileDialog;
class QMessageBox;
class QSettings;

class CPlatformTools : public IPlatformTools {
public:
    CPlatformTools();
    ~CPlatformTools() override;

    bool PickFiles(QWidget* pParent, const QStringList& filters, QStringList& paths) override;
    bool PickSaveFile(QWidget* pParent, const QString& strFilter, const QString& strSuggestedName,
                      QString& strPath) override;
    void ShowMessage(QWidget* pParent, const QString& strText, const QString& strCaption, EIcon eIcon) override;
    bool AskQuestion(QWidget* pParent, const QString& strText, const QString& strCaption) override;
    QSettings& Settings() override;

    // The picker PickFiles runs, set up but not shown. The filters' descriptions show
    // exactly as given, while their patterns are matched case-insensitively.
    static std::unique_ptr<QFileDialog> CreateFileDialog(QWidget* pParent, const QStringList& filters,
                                                         const QString& strDirectory);
    // Selects strFilter, one of the filters the picker was made with (the filter last used is
    // offered again), and reads back which of them is selected, as given.
    static void SelectFilter(QFileDialog& dialog, const QStringList& filters, const QString& strFilter);
    static QString SelectedFilter(const QFileDialog& dialog, const QStringList& filters);
    // The files an accepted picker names: every name typed in its file-name box that exists,
    // whatever the filter shows (the dialog itself keeps only the names its list shows),
    // then any other selected file; full paths, in typed order, each once.
    static QStringList PickedPaths(const QFileDialog& dialog);
    // The names typed in a file-name box: each quoted name, or the whole text when unquoted.
    static QStringList TypedNames(const QString& strText);
    // The patterns of a filter: "Name (*.a, *.b)" gives "*.a" and "*.b".
    static QStringList FilterPatterns(const QString& strFilter);
    // The box ShowMessage runs, set up but not shown: wide enough for its caption.
    static std::unique_ptr<QMessageBox> CreateMessageBox(QWidget* pParent, const QString& strText,
                                                         const QString& strCaption, EIcon eIcon);

    static constexpr const char* kLastFolderKey = "lastFolder";
    static constexpr const char* kLastFilterKey = "lastFilter";

private:
    std::unique_ptr<QSettings> m_pSettings;
};
