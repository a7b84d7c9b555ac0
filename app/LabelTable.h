// SPDX-License-Identifier: GPL-3.0-or-later
// Interned label texts: each distinct text is kept once and named by a small index, so a
// million frame-list rows share a handful of labels instead of copying them.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

class CLabelTable {
public:
    // The index of the text, adding it the first time it is seen.
    uint32_t Intern(const std::string& strText);
    const QString& Text(uint32_t nIndex) const { return m_Texts[nIndex]; }
    int GetCount() const { return int(m_Texts.size()); }
    // Bytes held by the table (texts and index), for the memory budget of a list.
    size_t GetBytes() const;

private:
    QStringList m_Texts;
    QHash<std::string, uint32_t> m_Index;
};
