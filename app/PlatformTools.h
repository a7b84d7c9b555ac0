// The platform services of the desktop application: Qt's open-file dialog and message boxes.
#pragma once

#include <QString>

#include <memory>

#include "app/IPlatformTools.h"

class QFileDialog;

class CPlatformTools : public IPlatformTools {
public:
    bool PickFiles(QWidget* pParent, const QStringList& filters, QStringList& paths) override;
    void ShowMessage(QWidget* pParent, const QString& strText, const QString& strCaption, EIcon eIcon) override;

    // The picker PickFiles runs, set up but not shown. The filters' descriptions show
    // exactly as given, while their patterns are matched case-insensitively.
    static std::unique_ptr<QFileDialog> CreateFileDialog(QWidget* pParent, const QStringList& filters,
                                                         const QString& strDirectory);
    // The patterns of a filter: "Name (*.a, *.b)" gives "*.a" and "*.b".
    static QStringList FilterPatterns(const QString& strFilter);

private:
    QString m_strLastDir; // the next picker starts where the last one was confirmed
};
