// Result grids over more rows than one page: the last row at once, the record
// count, column widths, the copy of a selection, numbers as a spreadsheet
// shows them, and other programs writing while a grid is open.
#include "AppTestSupport.h"

#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"
#include "support/UserLocale.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>

using namespace apptest;

namespace {

// Table "Numbers": Id 1 .. rows (Long) and Value = Id / 7 (Double).
void CreateNumbers(const std::string& path, int rows) {
    CreateScoresDatabase(path, true);
    auto ws = std::make_shared<dao::Workspace>("t", "admin");
    auto db = ws->OpenDatabase(path);
    auto td = db->CreateTableDef("Numbers");
    td->Fields().Append(td->CreateField("Id", dao::dbLong));
    td->Fields().Append(td->CreateField("Value", dao::dbDouble));
    db->TableDefs().Append(td);
    dao::TransactionGuard tx(*ws);
    auto rs = db->OpenRecordset("Numbers", dao::dbOpenDynaset);
    for (int i = 1; i <= rows; ++i) {
        rs->AddNew();
        rs->Fields("Id")->SetValue(i);
        rs->Fields("Value")->SetValue(i / 7.0);
        rs->Update();
    }
    rs->Close();
    tx.Commit();
    db->Close();
    ws->Close();
}

class Grids : public AppFixture {
protected:
    frmDataGrid* OpenNumbers(int rows) {
        path = File("numbers.db");
        CreateNumbers(path, rows);
        script.OpenDatabase(path);
        if (!Start())
            return nullptr;
        return frmDataGrid::Open(QStringLiteral("Numbers"), QStringLiteral("Input Data Table"));
    }
    static void Key(QWidget* w, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(w, &press);
    }
    std::string path;
    ModalScript script;
};

// Expected texts rounded by hand to at most 11 characters, the general
// format of a spreadsheet column of standard width.
struct GridNumberRow {
    double value;
    const char* shown;
    const char* full;
    const char* why;
};
const GridNumberRow kGridNumbers[] = {
    {3.14159265358979, "3.141592654", "3.14159265358979", "nine decimals fit"},
    {-3.14159265358979, "-3.14159265", "-3.14159265358979", "the sign takes a place"},
    {1234567.891234, "1234567.891", "1234567.891234", "the integer part in full"},
    {1.0 / 7.0, "0.142857143", "0.14285714285714285", "shortest text that reads back the same double"},
    {0.000123456789, "0.000123457", "0.000123456789", "small but not too small for decimals"},
    {1e-5, "1E-05", "1e-05", "below 0.0001: the exponent form"},
    {1.23456789e15, "1.23457E+15", "1.23456789e+15", "too large for 11 digits"},
    {123456789012.0, "1.23457E+11", "123456789012", "12 digits do not fit"},
    {99999999999.5, "1E+11", "99999999999.5", "rounds up past the width"},
    {10.0, "10", "10", "a whole number"},
    {0.1, "0.1", "0.1", "no trailing zeros"},
    {0.0, "0", "0", "zero"},
};

TEST(GridNumbers, ShownAsASpreadsheetShowsThemWithEveryDigitInTheFullText) {
    for (const GridNumberRow& r : kGridNumbers) {
        EXPECT_EQ(CRecordsetTableModel::GeneralNumberText(r.value), QString::fromLatin1(r.shown)) << r.why;
        EXPECT_EQ(CRecordsetTableModel::FullNumberText(r.value), QString::fromLatin1(r.full)) << r.why;
    }
}

// The grid's short text took the C library's decimal comma where the process's
// numbers follow a German locale ("3,141592654" beside the full text
// "3.14159265358979"): the same texts under every locale.
TEST(GridNumbers, ShownWithADecimalPointUnderADecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");
    for (const GridNumberRow& r : kGridNumbers) {
        EXPECT_EQ(CRecordsetTableModel::GeneralNumberText(r.value), QString::fromLatin1(r.shown)) << r.why;
        EXPECT_EQ(CRecordsetTableModel::FullNumberText(r.value), QString::fromLatin1(r.full)) << r.why;
    }
}

TEST_F(Grids, CtrlEndReachesTheLastOfTwoThousandRowsAndTheCountIsShown) {
    frmDataGrid* grid = OpenNumbers(2000);
    ASSERT_NE(grid, nullptr);
    QTableView* view = grid->grdDataGrid();
    EXPECT_EQ(grid->lblRecords()->text(), QStringLiteral("Records: 2000"));
    view->setCurrentIndex(view->model()->index(0, 0));
    Key(view, Qt::Key_End, Qt::ControlModifier);
    // The last cell, as in a spreadsheet: 2000 / 7 = 285.714285714...
    EXPECT_EQ(view->currentIndex().row(), 1999);
    EXPECT_EQ(view->currentIndex().column(), 1);
    EXPECT_EQ(view->currentIndex().data().toString(), QStringLiteral("285.7142857"));
    EXPECT_EQ(view->model()->index(1999, 0).data().toString(), QStringLiteral("2000"));
    EXPECT_EQ(grid->lblRecords()->text(), QStringLiteral("Record: 2000 of 2000"));
    EXPECT_TRUE(grid->lblRecords()->isVisible());
    // The widest id, "2000", fits its column (it sat past the first page).
    const QFontMetrics fm(view->font());
    EXPECT_GE(view->columnWidth(0), fm.horizontalAdvance(QStringLiteral("2000")) + 8);
    // The value column: as wide as "0.142857143" and its header need, within the maximum.
    EXPECT_GE(view->columnWidth(1), fm.horizontalAdvance(QStringLiteral("285.7142857")));
    EXPECT_LE(view->columnWidth(1), frmDataGrid::MaximumColumnWidth);
    // Every digit in the tooltip, none for a number shown in full.
    EXPECT_EQ(view->model()->index(0, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("0.14285714285714285"));
    EXPECT_FALSE(view->model()->index(6, 1).data(Qt::ToolTipRole).isValid()); // 7 / 7 = 1
}

TEST_F(Grids, CtrlCCopiesTheSelectionAsTabSeparatedTextWithItsHeader) {
    frmDataGrid* grid = OpenNumbers(2000);
    ASSERT_NE(grid, nullptr);
    QTableView* view = grid->grdDataGrid();
    QAbstractItemModel* m = view->model();
    struct Row {
        QList<QPair<int, int>> from_to; // row ranges selected over both columns
        const char* text;
        const char* why;
    } rows[] = {
        {{{0, 1}}, "Id\tValue\n1\t0.14285714285714285\n2\t0.2857142857142857\n", "two rows, every digit"},
        {{{1998, 1999}}, "Id\tValue\n1999\t285.57142857142856\n2000\t285.7142857142857\n", "the last rows"},
    };
    for (const Row& r : rows) {
        view->clearSelection();
        for (const auto& [from, to] : r.from_to)
            view->selectionModel()->select(QItemSelection(m->index(from, 0), m->index(to, 1)),
                                           QItemSelectionModel::Select);
        QApplication::clipboard()->clear();
        Key(view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(r.text)) << r.why;
    }
    // Cells outside the selection inside its block stay empty: Id of row 1, Value of row 3.
    view->clearSelection();
    view->selectionModel()->select(m->index(0, 0), QItemSelectionModel::Select);
    view->selectionModel()->select(m->index(2, 1), QItemSelectionModel::Select);
    EXPECT_EQ(grid->SelectionText(), QStringLiteral("Id\tValue\n1\t\n\t0.42857142857142855\n"));
}

TEST_F(Grids, AnotherProgramWritesWhileAGridIsOpen) {
    const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite.isEmpty())
        GTEST_SKIP() << "the sqlite3 program is not installed";
    frmDataGrid* grid = OpenNumbers(2000);
    ASSERT_NE(grid, nullptr);
    QTableView* view = grid->grdDataGrid();
    // The grid has read pages at the top, in the middle and at the end.
    view->scrollTo(view->model()->index(1000, 0));
    EXPECT_EQ(view->model()->index(1000, 0).data().toString(), QStringLiteral("1001"));
    Pump();
    QProcess writer;
    writer.start(sqlite, {QString::fromStdString(path), QStringLiteral("INSERT INTO Numbers (Id, Value) VALUES (2001, 1);")});
    ASSERT_TRUE(writer.waitForFinished(10000));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
}

TEST_F(Grids, ACopyOfRowsThatCanNoLongerBeReadIsRefusedNotMadeOfEmptyCells) {
    frmDataGrid* grid = OpenNumbers(2000);
    ASSERT_NE(grid, nullptr);
    QTableView* view = grid->grdDataGrid();
    QAbstractItemModel* m = view->model();
    // The grid has read the first page and the last; another program drops
    // the table, so the rows between can no longer be read.
    vtest::OtherProgram(path).Exec("DROP TABLE Numbers");
    const QString refused = QStringLiteral("The rows could not be read from the table [Numbers]: nothing was copied.");
    struct Row {
        int from, to;
        const char* clipboard;
        bool message;
        const char* why;
    } rows[] = {
        // 1 / 7 and 2 / 7 to the last digit a double keeps (Python's repr).
        {0, 1, "Id\tValue\n1\t0.14285714285714285\n2\t0.2857142857142857\n", false, "rows read before are kept"},
        {0, 1999, "before", true, "not 2000 lines with rows 257 to 1792 empty"},
    };
    for (const Row& r : rows) {
        if (r.message)
            script.Message(1);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        view->clearSelection();
        view->selectionModel()->select(QItemSelection(m->index(r.from, 0), m->index(r.to, 1)), QItemSelectionModel::Select);
        Key(view, Qt::Key_C, Qt::ControlModifier);
        Pump();
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(r.clipboard)) << r.why;
        EXPECT_TRUE(script.Done()) << r.why;
        EXPECT_EQ(script.Messages().contains(refused), r.message) << r.why << script.MessagesText();
    }
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
}

// A grid reads its rows page by page as they are shown. Another program's
// run replaces the table meanwhile: pages read after it came from the new
// table and stood beside those read before, so the grid (and a copy of its
// rows) showed one table made of two runs' results.
TEST_F(Grids, RowsOfATableAnotherProgramReplacedAreNeverShownBesideTheRowsReadBefore) {
    frmDataGrid* grid = OpenNumbers(2000);
    ASSERT_NE(grid, nullptr);
    QTableView* view = grid->grdDataGrid();
    QAbstractItemModel* m = view->model();
    const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                "INSERT INTO Numbers (Id, Value) SELECT i, ";
    const std::string remake = "BEGIN; DROP TABLE Numbers; CREATE TABLE Numbers (Id INTEGER, Value DOUBLE); " + numbers;
    const QString refused = QStringLiteral("The rows could not be read from the table [Numbers]: nothing was copied.");
    // In this order, each on rows of a page no row before has read.
    struct Row {
        std::string otherProgram;
        int from;
        const char* clipboard;
        const char* why;
    } rows[] = {
        {"CREATE TABLE Other (X); INSERT INTO Other VALUES (1)", 300,
         "Id\tValue\n301\t43\n302\t43.142857142857146\n", "another table written: the grid reads on"},
        {remake + "i / 7.0 FROM n; COMMIT", 600, "Id\tValue\n601\t85.85714285714286\n602\t86\n",
         "the table made again with the very rows it had: the grid reads on"},
        {remake + "i * 1000.0 FROM n; COMMIT", 1000, "before",
         "the table made again with other values: not 1001 and 1001000 beside the rows read before"},
    };
    for (const Row& r : rows) {
        vtest::OtherProgram(path).Exec(r.otherProgram);
        const bool message = std::string(r.clipboard) == "before";
        if (message)
            script.Message(1);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        view->clearSelection();
        view->selectionModel()->select(QItemSelection(m->index(r.from, 0), m->index(r.from + 1, 1)),
                                       QItemSelectionModel::Select);
        Key(view, Qt::Key_C, Qt::ControlModifier);
        Pump();
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(r.clipboard)) << r.why;
        EXPECT_TRUE(script.Done()) << r.why;
        EXPECT_EQ(script.Messages().contains(refused), message) << r.why << script.MessagesText();
    }
    // What the grid read before the table was replaced stays as it was read;
    // the rows it never read show nothing.
    EXPECT_EQ(m->index(0, 1).data(CRecordsetTableModel::FullTextRole).toString(), QStringLiteral("0.14285714285714285"));
    EXPECT_EQ(m->index(1000, 1).data().toString(), QString());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
}

} // namespace
