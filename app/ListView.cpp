// A report list over a CListModel, sized to its widest texts without re-measuring every cell.
#include "app/ListView.h"

#include <QEvent>
#include <QHeaderView>

#include <algorithm>

namespace {

// Texts are measured by their first 1,023 characters, as the list reads them back.
constexpr int kMaxMeasuredChars = 1023;
const QString kTenSpaces(10, QLatin1Char(' '));

} // namespace

CListView::CListView(QWidget* parent)
    : QTableView(parent)
    , m_Metrics(font())
{
    setModel(&m_Model);
    m_nEmptyCellWidth = MeasureCellText(QString());
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWordWrap(false);
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

int CListView::InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment, int nWidth)
{
    // Every column of both lists is centred; the model centres every cell.
    const int nColumn = m_Model.InsertColumn(nIndex, strHeading);
    std::map<int, int> widths;
    if (m_Model.GetItemCount() > 0)
        widths[m_nEmptyCellWidth] = m_Model.GetItemCount();
    m_CellWidths.insert(m_CellWidths.begin() + nColumn, std::move(widths));
    SetColumnWidth(nColumn, nWidth);
    return nColumn;
}

bool CListView::GetColumnHeading(int nIndex, QString& strHeading) const
{
    return m_Model.GetColumnHeading(nIndex, strHeading);
}

int CListView::GetColumnCount() const
{
    return m_Model.GetColumnCount();
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

int CListView::MeasureCellText(const QString& strText) const
{
    // Bounded, so a list of ever-new texts (offsets, paths) cannot grow it without end.
    constexpr qsizetype kMaxRemembered = 4096;
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
    return m_Model.GetItemCount();
}

int CListView::InsertItem(int nIndex, const QString& strText)
{
    const int nRow = m_Model.InsertItem(nIndex, strText);
    for (int c = 0; c < GetColumnCount(); ++c)
        AddCellWidth(c, m_Model.GetItemText(nRow, c));
    return nRow;
}

int CListView::AppendRow(const QStringList& texts)
{
    const int nRow = m_Model.AppendRow(texts);
    for (int c = 0; c < GetColumnCount(); ++c)
        AddCellWidth(c, m_Model.GetItemText(nRow, c));
    return nRow;
}

bool CListView::SetItemText(int nRow, int nColumn, const QString& strText)
{
    const QString strOld = m_Model.GetItemText(nRow, nColumn);
    if (!m_Model.SetItemText(nRow, nColumn, strText))
        return false;
    if (strOld != strText) {
        RemoveCellWidth(nColumn, strOld);
        AddCellWidth(nColumn, strText);
    }
    return true;
}

QString CListView::GetItemText(int nRow, int nColumn) const
{
    return m_Model.GetItemText(nRow, nColumn);
}

void CListView::DeleteAllItems()
{
    // The column widths stay as they are until the next sizing.
    m_Model.DeleteAllItems();
    for (std::map<int, int>& widths : m_CellWidths)
        widths.clear();
}

void CListView::AutoSizeColumns()
{
    QString strHeading;
    for (int c = 0; GetColumnHeading(c, strHeading); ++c) {
        int nWidth = MeasureCellText(strHeading);
        if (!m_CellWidths[c].empty())
            nWidth = std::max(nWidth, m_CellWidths[c].rbegin()->first);
        SetColumnWidth(c, nWidth);
    }
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
    m_nEmptyCellWidth = MeasureCellText(QString());
    verticalHeader()->setDefaultSectionSize(m_Metrics.height() + 4);
    for (int c = 0; c < GetColumnCount(); ++c) {
        m_CellWidths[c].clear();
        for (int r = 0; r < GetItemCount(); ++r)
            AddCellWidth(c, m_Model.GetItemText(r, c));
    }
}

void CListView::changeEvent(QEvent* event)
{
    // Every width kept was measured in the old font.
    if (event->type() == QEvent::FontChange)
        RemeasureAll();
    QTableView::changeEvent(event);
}
