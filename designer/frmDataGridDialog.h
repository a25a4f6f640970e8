#pragma once
// The table viewer of the designer: the rows of an input table or query in a
// read-only grid, in a modal window over the middle 80 % of the main frame.
// It is the result grid's view in a dialog: the same paged model
// (CRecordsetTableModel), which counts the rows and reads only the pages the
// grid shows, so a table of millions of rows opens at once and holds no more
// in memory than the pages looked at.
#include <QDialog>
#include <QString>

class CRecordsetTableModel;
class QTableView;

class frmDataGridDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmDataGridDialog(QWidget* parent = nullptr);

    // Opens the table or query of the current database, captions the window
    // caption + ": " + name and shows it modally. When the table cannot be
    // opened the message is shown and the window is not. True when shown.
    bool ShowTableData(const QString& tableName, const QString& caption);

    QTableView* grdDataGrid() const { return m_grdDataGrid; }
    // The rows shown (null until a table is shown).
    CRecordsetTableModel* Model() const { return m_model; }

    // Width, height, left and top of the window for a frame's geometry.
    static QRect PlaceOver(const QRect& frame);

    // Column widths, pixels: header and the first page of rows decide within these.
    static constexpr int MinimumColumnWidth = 40;
    static constexpr int MaximumColumnWidth = 280;

private:
    void Form_Load();
    void SizeColumns();
    QTableView* m_grdDataGrid = nullptr;
    CRecordsetTableModel* m_model = nullptr;
};
