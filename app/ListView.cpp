// SPDX-License-Identifier: GPL-3.0-or-later
// A report list over a CListModel, sized to its widest texts without re-measuring every cell.
#include "app/ListView.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace {

// Texts are measured by their first 1,023 characters, as the list reads them back.
constexpr int kMaxMeasuredChars = 1023;
const QString kTenSpaces(10, QLatin1Char(' '));
const QString kHexDigits = QStringLiteral("0123456789ABCDEF");

} // namespace

CListView::CListView(QWidget* parent, CReportModel* pModel)
    : QTableView(parent)
    , m_pModel(pModel ? pModel : new CListModel)
    , m_Metrics(font())
{
    m_pModel->setParent(this);
    m_pTextModel = qobject_cast<CListModel*>(m_pModel);
    setModel(m_pModel);
    m_nEmptyCellWidth = MeasureCellText(QString());
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWordWrap(false);
    // Tab leaves the list for the next control, as in a report list, instead of walking its cells.
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(m_Metrics.height() + 4);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setMinimumSectionSize(1);
    SetGridLines(false);
    SetFullRowSelect(false);
}

void CListView::SetGridLines(bool bOn)
{
    setShowGrid(bOn);
}

void CListView::SetFullRowSelect(bool bOn)
{
    setSelectionBehavior(bOn ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int CListView::InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment alignment, int nWidth)
{
    const int nColumn = m_pModel->InsertColumn(nIndex, strHeading, alignment);
    std::map<int, int> widths;
    if (m_pModel->GetItemCount() > 0)
        widths[m_nEmptyCellWidth] = m_pModel->GetItemCount();
    m_CellWidths.insert(m_CellWidths.begin() + nColumn, std::move(widths));
    SetColumnWidth(nColumn, nWidth);
    return nColumn;
}

bool CListView::GetColumnHeading(int nIndex, QString& strHeading) const
{
    return m_pModel->GetColumnHeading(nIndex, strHeading);
}

int CListView::GetColumnCount() const
{
    return m_pModel->GetColumnCount();
}

void CListView::SetColumnWidth(int nColumn, int nWidth)
{
    if (columnWidth(nColumn) != nWidth)
        setColumnWidth(nColumn, nWidth);
}

int CListView::GetColumnWidth(int nColumn) const
{
    return columnWidth(nColumn);
}

int CListView::GetStringWidth(const QString& strText) const
{
    return m_Metrics.horizontalAdvance(strText);
}

int CListView::MeasureDigits(const QString& strText) const
{
    // A row's offset and frame number are texts never seen before: shaping each would cost more
    // than the walk that found the row. Hex digits need no shaping, but a font may kern them
    // ("4B"), so each digit's advance is the one it has before the character that follows it.
    constexpr int kFollowers = 17; // the sixteen digits, then the space the measure ends with
    if (strText.size() > 32)
        return -1;
    if (m_DigitAdvances.empty()) {
        const QFontMetricsF metrics(font());
        m_dTenSpaces = metrics.horizontalAdvance(kTenSpaces);
        for (QChar c : kHexDigits)
            for (QChar next : kHexDigits + QLatin1Char(' '))
                m_DigitAdvances.push_back(metrics.horizontalAdvance(QString(c) + next) - metrics.horizontalAdvance(next));
    }
    qreal dWidth = m_dTenSpaces;
    for (qsizetype i = 0; i < strText.size(); ++i) {
        const qsizetype nDigit = kHexDigits.indexOf(strText[i]);
        const qsizetype nNext = i + 1 < strText.size() ? kHexDigits.indexOf(strText[i + 1]) : kFollowers - 1;
        if (nDigit < 0 || nNext < 0)
            return -1;
        dWidth += m_DigitAdvances[size_t(nDigit * kFollowers + nNext)];
    }
    return qRound(dWidth);
}

int CListView::MeasureCellText(const QString& strText) const
{
    // Bounded, so a list of ever-new texts (offsets, paths) cannot grow it without end.
    constexpr qsizetype kMaxRemembered = 4096;
    if (const int nDigits = strText.isEmpty() ? -1 : MeasureDigits(strText); nDigits >= 0)
        return nDigits;
    const auto it = m_MeasuredWidths.constFind(strText);
    if (it != m_MeasuredWidths.constEnd())
        return it.value();
    const int nWidth = GetStringWidth(strText.left(kMaxMeasuredChars) + kTenSpaces);
    if (m_MeasuredWidths.size() >= kMaxRemembered)
        m_MeasuredWidths.clear();
    m_MeasuredWidths.insert(strText, nWidth);
    return nWidth;
}

int CListView::GetItemCount() const
{
    return m_pModel->GetItemCount();
}

int CListView::InsertItem(int nIndex, const QString& strText)
{
    if (!m_pTextModel)
        return -1;
    const int nRow = m_pTextModel->InsertItem(nIndex, strText);
    AddRowWidths(nRow);
    return nRow;
}

int CListView::AppendRow(const QStringList& texts)
{
    if (!m_pTextModel)
        return -1;
    const int nRow = m_pTextModel->AppendRow(texts);
    AddRowWidths(nRow);
    return nRow;
}

void CListView::AddRowWidths(int nRow)
{
    for (int c = 0; c < GetColumnCount(); ++c)
        AddCellWidth(c, m_pModel->GetItemText(nRow, c));
}

void CListView::AddRowsWidths(int nFirst, int nLast)
{
    if (m_pTextModel) {
        for (int r = nFirst; r <= nLast; ++r)
            AddRowWidths(r);
        return;
    }
    QStringList texts;
    for (int c = 0; c < GetColumnCount(); ++c) {
        texts.clear();
        m_pModel->CollectWidthTexts(c, nFirst, nLast, texts);
        for (const QString& strText : texts)
            AddCellWidth(c, strText);
    }
}

bool CListView::SetItemText(int nRow, int nColumn, const QString& strText)
{
    const QString strOld = m_pModel->GetItemText(nRow, nColumn);
    if (!m_pTextModel || !m_pTextModel->SetItemText(nRow, nColumn, strText))
        return false;
    if (strOld != strText) {
        RemoveCellWidth(nColumn, strOld);
        AddCellWidth(nColumn, strText);
    }
    return true;
}

bool CListView::DeleteItem(int nRow)
{
    if (!m_pTextModel || nRow < 0 || nRow >= GetItemCount())
        return false;
    for (int c = 0; c < GetColumnCount(); ++c)
        RemoveCellWidth(c, m_pModel->GetItemText(nRow, c));
    return m_pTextModel->DeleteItem(nRow);
}

QString CListView::GetItemText(int nRow, int nColumn) const
{
    return m_pModel->GetItemText(nRow, nColumn);
}

void CListView::DeleteAllItems()
{
    // The column widths stay as they are until the next sizing.
    m_pModel->DeleteAllItems();
    for (std::map<int, int>& widths : m_CellWidths)
        widths.clear();
}

QList<int> CListView::GetSelectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CListView::SetElasticColumn(int nColumn)
{
    m_nElasticColumn = nColumn;
    setTextElideMode(Qt::ElideMiddle);
}

void CListView::SetColumnMinimumWidth(int nColumn, int nWidth)
{
    m_MinimumWidths[nColumn] = nWidth;
}

void CListView::AutoSizeColumns()
{
    QString strHeading;
    std::vector<int> widths;
    std::vector<int> headingWidths;
    for (int c = 0; GetColumnHeading(c, strHeading); ++c) {
        headingWidths.push_back(MeasureCellText(strHeading));
        int nWidth = headingWidths.back();
        if (!m_CellWidths[c].empty())
            nWidth = std::max(nWidth, m_CellWidths[c].rbegin()->first);
        const auto it = m_MinimumWidths.find(c);
        widths.push_back(it == m_MinimumWidths.end() ? nWidth : std::max(nWidth, it->second));
    }
    if (m_nElasticColumn >= 0 && m_nElasticColumn < int(widths.size())) {
        int nOthers = 0;
        for (int c = 0; c < int(widths.size()); ++c)
            nOthers += c == m_nElasticColumn ? 0 : widths[c];
        const int nRoom = std::max(headingWidths[m_nElasticColumn], viewport()->width() - nOthers);
        widths[m_nElasticColumn] = std::min(widths[m_nElasticColumn], nRoom);
    }
    for (int c = 0; c < int(widths.size()); ++c)
        SetColumnWidth(c, widths[c]);
}

void CListView::AddCellWidth(int nColumn, const QString& strText)
{
    const int nWidth = strText.isEmpty() ? m_nEmptyCellWidth : MeasureCellText(strText);
    ++m_CellWidths[nColumn][nWidth];
}

void CListView::RemoveCellWidth(int nColumn, const QString& strText)
{
    const int nWidth = strText.isEmpty() ? m_nEmptyCellWidth : MeasureCellText(strText);
    std::map<int, int>& widths = m_CellWidths[nColumn];
    auto it = widths.find(nWidth);
    if (it != widths.end() && --it->second == 0)
        widths.erase(it);
}

void CListView::RemeasureAll()
{
    m_Metrics = QFontMetrics(font());
    m_MeasuredWidths.clear();
    m_DigitAdvances.clear();
    m_nEmptyCellWidth = MeasureCellText(QString());
    verticalHeader()->setDefaultSectionSize(m_Metrics.height() + 4);
    for (int c = 0; c < GetColumnCount(); ++c) {
        m_CellWidths[c].clear();
        for (int r = 0; r < GetItemCount(); ++r)
            AddCellWidth(c, m_pModel->GetItemText(r, c));
    }
}

void CListView::changeEvent(QEvent* event)
{
    // Every width kept was measured in the old font.
    if (event->type() == QEvent::FontChange)
        RemeasureAll();
    QTableView::changeEvent(event);
}

void CListView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    // The room an elastic column may take follows the list's width.
    if (m_nElasticColumn >= 0)
        AutoSizeColumns();
}

void CListView::keyPressEvent(QKeyEvent* event)
{
    for (QAction* pAction : actions()) {
        if (pAction->isEnabled() && !pAction->shortcut().isEmpty()
            && QKeySequence(event->keyCombination()) == pAction->shortcut()) {
            pAction->trigger();
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
