// SPDX-License-Identifier: GPL-3.0-or-later
// Interned label texts shared by every row of the frame list.
#include "app/LabelTable.h"

uint32_t CLabelTable::Intern(const std::string& strText)
{
    const auto it = m_Index.constFind(strText);
    if (it != m_Index.constEnd())
        return it.value();
    const auto nIndex = uint32_t(m_Texts.size());
    m_Texts.append(QString::fromStdString(strText));
    m_Index.insert(strText, nIndex);
    return nIndex;
}

size_t CLabelTable::GetBytes() const
{
    size_t nBytes = sizeof(*this);
    for (const QString& strText : m_Texts)
        nBytes += sizeof(QString) + size_t(strText.capacity()) * sizeof(QChar) + sizeof(std::string) + 2 * sizeof(void*)
                  + sizeof(uint32_t) + size_t(strText.size());
    return nBytes;
}
