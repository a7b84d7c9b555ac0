// Platform services for driving the dialog in tests: a picker with canned answers and a
// recorder of the message boxes that would have been shown.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

#include "app/IPlatformTools.h"

class CFakePlatformTools : public IPlatformTools {
public:
    struct SMessage {
        QString strText;
        QString strCaption;
        EIcon eIcon = EIcon::None;
    };

    // Each PickFiles call takes the next answer; with none left, the picker is cancelled.
    std::deque<QStringList> m_PickAnswers;
    QStringList m_LastFilters;
    std::vector<SMessage> m_Messages;

    bool PickFiles(QWidget*, const QStringList& filters, QStringList& paths) override
    {
        m_LastFilters = filters;
        if (m_PickAnswers.empty())
            return false;
        paths += m_PickAnswers.front();
        m_PickAnswers.pop_front();
        return true;
    }

    void ShowMessage(QWidget*, const QString& strText, const QString& strCaption, EIcon eIcon) override
    {
        m_Messages.push_back({strText, strCaption, eIcon});
    }
};
