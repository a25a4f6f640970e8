#pragma once
// A result grid: one table or query of the current database, read-only, in a
// window of the frame's document area. Every request makes a new window.
//
//     frmDataGrid::Open(QStringLiteral("outDescribe"), QStringLiteral("Scenario Output Table"));
#include <QString>
#include <QWidget>

class CRecordsetTableModel;
class QLabel;
class QTableView;

class frmDataGrid : public QWidget {
    Q_OBJECT
public:
    explicit frmDataGrid(QWidget* parent = nullptr);

    // Makes a new grid in the frame's document area and shows the table in
    // it; null (and no window) when the table cannot be shown.
    static frmDataGrid* Open(const QString& tableName, const QString& caption);

    // Opens a snapshot of the table in the current database, binds the grid
    // to it and shows the window captioned caption + ": " + table. When the
    // table does not exist or cannot be opened it says so and closes the
    // window. True when the table is shown.
    bool ShowTableData(const QString& tableName, const QString& caption);

    // Column widths, pixels: header and content decide within these.
    static constexpr int MinimumColumnWidth = 40;
    static constexpr int MaximumColumnWidth = 240;

    // The selection as spreadsheets take it: a header row with the column
    // names, then one line per row, cells separated by tabs. Empty when
    // nothing is selected or the selected rows cannot be read.
    QString SelectionText() const;
    // Ctrl+C: the selection to the clipboard; when its rows cannot be read
    // the clipboard stays as it was and a message says so.
    void CopySelection();
    // After a run: the grids show again the rows they could not read meanwhile.
    static void AfterRun();
    QLabel* lblRecords() const { return m_lblRecords; }

    const QString& TableName() const { return m_tableName; }
    QTableView* grdDataGrid() const { return m_grdDataGrid; }
    CRecordsetTableModel* Model() const { return m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CloseWindow();
    void SizeColumns();
    // The outer size at which the window shows all its rows and columns.
    QSize WantedSize(const QWidget* window) const;
    void ShowRecordCount();

    QTableView* m_grdDataGrid = nullptr;
    CRecordsetTableModel* m_model = nullptr;
    QLabel* m_lblRecords = nullptr;
    QString m_tableName;
};
