#pragma once
// A read-only table model over a snapshot recordset of the data layer. Rows
// are read forward from the recordset in blocks as the view asks for them and
// kept by the model; the recordset is closed once its last row has been read.
// When the database closes under the model it keeps the rows it has and reads
// no more, so that a grid over a closed database stays safe.
#include "db/Recordset.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <vector>

class CRecordsetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int BlockRows = 256;
    // Role of the value as the database holds it (numbers stay numbers, Null
    // is an invalid QVariant); the display role shows its text.
    static constexpr int ValueRole = Qt::UserRole;

    // Takes the recordset; its column names become the headers and the first
    // block of rows is read.
    explicit CRecordsetTableModel(dao::RecordsetPtr recordset, QObject* parent = nullptr);
    ~CRecordsetTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Reads every remaining row.
    void FetchAll();
    // True once every row has been read.
    bool AtEnd() const { return m_atEnd; }
    // The column's position by its name (letter case aside), -1 when none.
    int ColumnIndex(const QString& name) const;

private:
    void ReadRows(int count);
    void Finish() noexcept;

    dao::RecordsetPtr m_rs;
    QStringList m_headers;
    std::vector<int> m_types;
    std::vector<std::vector<QVariant>> m_rows;
    bool m_atEnd = false;
};
