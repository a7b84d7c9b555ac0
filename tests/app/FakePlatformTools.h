// SPDX-License-Identifier: GPL-3.0-or-later
// Platform services for driving the dialog in tests: pickers with canned answers, a
// recorder of the message boxes that would have been shown, and settings in a scratch file.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
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
    // Each PickSaveFile call takes the next answer; with none left, it is cancelled.
    std::deque<QString> m_SaveAnswers;
    // Each AskQuestion call takes the next answer (true: Yes); with none left, No.
    std::deque<bool> m_QuestionAnswers;
    QStringList m_Questions;
    // Settings start empty for every fake; a second fake may share a first one's file.
    QTemporaryDir m_SettingsDir;
    QString m_strSettingsPath = m_SettingsDir.filePath(QStringLiteral("settings.ini"));
    std::unique_ptr<QSettings> m_pSettings;

    bool PickFiles(QWidget*, const QStringList& filters, QStringList& paths) override
    {
        m_LastFilters = filters;
        if (m_PickAnswers.empty())
            return false;
        paths += m_PickAnswers.front();
        m_PickAnswers.pop_front();
        return true;
    }

    bool PickSaveFile(QWidget*, const QString&, const QString&, QString& strPath) override
    {
        if (m_SaveAnswers.empty())
            return false;
        strPath = m_SaveAnswers.front();
        m_SaveAnswers.pop_front();
        return true;
    }

    void ShowMessage(QWidget*, const QString& strText, const QString& strCaption, EIcon eIcon) override
    {
        m_Messages.push_back({strText, strCaption, eIcon});
    }

    bool AskQuestion(QWidget*, const QString& strText, const QString&) override
    {
        m_Questions.append(strText);
        if (m_QuestionAnswers.empty())
            return false;
        const bool bYes = m_QuestionAnswers.front();
        m_QuestionAnswers.pop_front();
        return bYes;
    }

    QSettings& Settings() override
    {
        if (!m_pSettings)
            m_pSettings = std::make_unique<QSettings>(m_strSettingsPath, QSettings::IniFormat);
        return *m_pSettings;
    }
};
