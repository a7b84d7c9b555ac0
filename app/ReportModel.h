// SPDX-License-Identifier: GPL-3.0-or-later
// What both report lists share: headings with their alignment, and the roles every cell
// answers. The rows themselves are kept by the list's own model.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

class CReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CReportModel(QObject* parent = nullptr);

    // Inserts a column before nIndex (at the end when nIndex is past the last); the index it
    // took. Its cells and heading are drawn with the given alignment.
    int InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment alignment = Qt::AlignCenter);
    // False when there is no column nIndex.
    bool GetColumnHeading(int nIndex, QString& strHeading) const;
    int GetColumnCount() const;

    virtual int GetItemCount() const = 0;
    // Empty for a cell that does not exist.
    virtual QString GetItemText(int nRow, int nColumn) const = 0;
    void DeleteAllItems();
    // The texts of column nColumn in rows nFirst to nLast that can decide its width: every
    // cell's by default; a model whose rows share texts may give each of those once.
    virtual void CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

protected:
    bool IsCell(int nRow, int nColumn) const;
    // Forgets every row; called inside a model reset.
    virtual void ClearRows() = 0;
    // Called inside the column insertion, for a model that keeps a cell per column.
    virtual void InsertStoredColumn(int /*nIndex*/) {}
    // The roles beyond text and alignment (tool tip, icon); none by default.
    virtual QVariant GetItemExtra(int /*nRow*/, int /*nColumn*/, int /*role*/) const { return QVariant(); }

private:
    QStringList m_Headings;
    QList<Qt::Alignment> m_Alignments;
};
