#pragma once
// The table viewer of the designer: the rows of an input table or query in a
// read-only grid, in a modal window over the middle 80 % of the main frame.
#include <QDialog>
#include <QString>

class QTableWidget;

class frmDataGridDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmDataGridDialog(QWidget* parent = nullptr);

    // Opens the table or query of the current database, captions the window
    // caption + ": " + name and shows it modally. When the table cannot be
    // opened the message is shown and the window is not. True when shown.
    bool ShowTableData(const QString& tableName, const QString& caption);

    QTableWidget* grdDataGrid() const { return m_grdDataGrid; }

    // Width, height, left and top of the window for a frame's geometry.
    static QRect PlaceOver(const QRect& frame);

private:
    void Form_Load();
    QTableWidget* m_grdDataGrid = nullptr;
};
