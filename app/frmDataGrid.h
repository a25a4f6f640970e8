#pragma once
// A result grid: one table or query of the current database, read-only, in a
// window of the frame's document area. Every request makes a new window.
//
//     frmDataGrid::Open(QStringLiteral("outDescribe"), QStringLiteral("Scenario Output Table"));
#include <QString>
#include <QWidget>

class CRecordsetTableModel;
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

    const QString& TableName() const { return m_tableName; }
    QTableView* grdDataGrid() const { return m_grdDataGrid; }
    CRecordsetTableModel* Model() const { return m_model; }

private:
    void CloseWindow();

    QTableView* m_grdDataGrid = nullptr;
    CRecordsetTableModel* m_model = nullptr;
    QString m_tableName;
};
