// SPDX-License-Identifier: GPL-3.0-or-later
// What the dialog needs of the platform beyond its own window: picking files, modal
// message boxes and the settings kept between runs. The application uses Qt's; tests use
// fakes that answer at once.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;
class QWidget;

class IPlatformTools {
public:
    enum class EIcon { None, Warning, Stop };

    virtual ~IPlatformTools() = default;

    // Lets the user pick one or more existing files, offering the given filters (each a
    // description followed by its patterns in parentheses, the first one selected).
    // Appends their full paths in the picker's order; false when cancelled.
    virtual bool PickFiles(QWidget* pParent, const QStringList& filters, QStringList& paths) = 0;
    // Lets the user name a file to write, offering one filter; false when cancelled.
    virtual bool PickSaveFile(QWidget* pParent, const QString& strFilter, const QString& strSuggestedName,
                              QString& strPath) = 0;
    // A modal box with a single OK button; returns when the user closes it.
    virtual void ShowMessage(QWidget* pParent, const QString& strText, const QString& strCaption, EIcon eIcon) = 0;
    // A modal question with Yes and No (No the default); true for Yes.
    virtual bool AskQuestion(QWidget* pParent, const QString& strText, const QString& strCaption) = 0;
    // Where the window keeps its size, position, option ticks and last folder between runs.
    virtual QSettings& Settings() = 0;
};
