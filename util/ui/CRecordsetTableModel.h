#pragma once
// A read-only table model over one table or query of a database. The model
// knows the number of rows from the start, so that a view can go to the last
// row at once, and reads the rows a view asks for in pages of BlockRows, each
// through a recordset that is closed as soon as its page is read: an open
// grid holds no read open on the database, and other programs can write to
// it meanwhile. The pages read are kept.
//
// Pages are read only from the table the first page was read from: once
// another program has changed the rows the model holds (a run that made the
// table again with other results), no page is read from it any more, so
// that rows of two versions of the table never stand side by side; the
// rows not read by then show empty, as those of a table dropped.
//
// No page is read while reads are held (a scenario run holds them while its
// engine uses the database on another thread: ReadsHeld) or after the
// database has closed; rows not read by then show empty until they can be
// read (Refresh).
//
// The result grids of the application and the designer's table viewer show
// their tables through it.
//
// Numbers show as a spreadsheet shows them in a column of standard width (at
// most 11 characters, fewer digits rather than a wider column); their full
// value is the tooltip, and what the copy takes.
#include "db/Database.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CRecordsetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int BlockRows = 256;
    // Role of the value as the database holds it (numbers stay numbers, Null
    // is an invalid QVariant); the display role shows its text.
    static constexpr int ValueRole = Qt::UserRole;
    // Role of the value's full text: every digit of a number.
    static constexpr int FullTextRole = Qt::UserRole + 1;

    // While one lives, no model reads a page (rows show empty until Refresh).
    class ReadsHeld {
    public:
        ReadsHeld();
        ~ReadsHeld();
        ReadsHeld(const ReadsHeld&) = delete;
        ReadsHeld& operator=(const ReadsHeld&) = delete;
    };
    static bool ReadsAreHeld();

    // Opens the table or query: its column names become the headers, its rows
    // are counted and the first page is read. Errors of the data layer (no
    // such table, a row of the first page that cannot be read, ...) reach the
    // caller.
    CRecordsetTableModel(dao::DatabasePtr database, const std::string& tableName, QObject* parent = nullptr);
    ~CRecordsetTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Reads every page not read yet (while reading is possible).
    void FetchAll();
    // Reads the page holding the row, when it can be read; true when it is held.
    bool FetchRow(int row) const;
    // Reads the pages holding the rows from firstRow to lastRow that are not
    // read yet, in one pass; true when they are held.
    bool FetchRows(int firstRow, int lastRow) const;
    // True once every row has been read.
    bool AtEnd() const;
    // The column's position by its name (letter case aside), -1 when none.
    int ColumnIndex(const QString& name) const;
    // Shows again the rows that could not be read before (after a run).
    void Refresh();

    // A number as a spreadsheet's general format shows it: at most 11
    // characters, the integer part in full when it fits, else fewer
    // significant digits or the exponent form.
    static QString GeneralNumberText(double value);
    // Every digit that tells the number apart from its neighbours.
    static QString FullNumberText(double value);

private:
    using Row = std::vector<QVariant>;
    using Pages = std::map<int, std::vector<Row>>;
    bool ReadPage(int page) const;
    // Reads the pages from first to last that `wanted` takes into `into`, in
    // one pass over the table; false when the table's columns are no longer
    // those of the headers.
    template <class Wanted>
    bool ReadInto(int first, int last, Wanted wanted, Pages& into) const;
    // Whether the table still holds the rows kept and those just read
    // (`read`), as they were read: at once when no other program has changed
    // the file since, else by reading them again.
    bool SameRowsAsRead(const Pages& read) const;
    // Errors of the data layer are a false result, or reach the caller.
    bool ReadPages(int first, int last, bool errorsToCaller = false) const;
    const Row* RowAt(int row) const;
    bool CanRead() const;

    dao::DatabasePtr m_db;
    std::string m_table;
    QStringList m_headers;
    std::vector<int> m_types;
    int m_rowCount = 0;
    mutable Pages m_pages;
    mutable bool m_missed = false; // a row could not be read when asked for
    mutable std::int64_t m_version = 0; // the file's data version the pages kept were read at
    mutable bool m_replaced = false;    // another program changed the rows kept
};
