// The result grid and its table model: missing tables, captions, several
// windows, the values, and a database closed under an open grid.
#include "AppTestSupport.h"

#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "scenario/AppDatabase.h"
#include "support/OtherProgram.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>

using namespace apptest;

namespace {

// A database holding "Big" (N = 1 .. 1000) and a Describe scenario on it.
void CreateBigDatabase(const std::string& path) {
    vtest::ScenarioSpec s = DescribeScores("outBig");
    s.inputTable = "Big";
    s.fields = {{"N", "X"}};
    CreateScoresDatabase(path, true, {s});
    auto ws = std::make_shared<dao::Workspace>("t", "admin");
    auto db = ws->OpenDatabase(path);
    auto td = db->CreateTableDef("Big");
    td->Fields().Append(td->CreateField("N", dao::dbLong));
    db->TableDefs().Append(td);
    dao::TransactionGuard tx(*ws);
    auto rs = db->OpenRecordset("Big", dao::dbOpenDynaset);
    for (int i = 1; i <= 1000; ++i) {
        rs->AddNew();
        rs->Fields("N")->SetValue(i);
        rs->Update();
    }
    rs->Close();
    tx.Commit();
    db->Close();
    ws->Close();
}

class ResultGrid : public AppFixture {
protected:
    MDIMain* OpenScores() {
        AppFixture::OpenScores(script);
        return Start();
    }
    int GridCount(MDIMain* frame) {
        int n = 0;
        for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
            if (qobject_cast<frmDataGrid*>(sub->widget()) && sub->isVisible())
                ++n;
        return n;
    }
    ModalScript script;
};

TEST_F(ResultGrid, MissingTableIsReportedInBracketsAndNoWindowRemains) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    script.Message(1);
    EXPECT_EQ(frmDataGrid::Open(QStringLiteral("NoSuchTable"), QStringLiteral("Scenario Output Table")), nullptr);
    Pump();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("The table [NoSuchTable] does not exist in the database. \n\nIf this is an output table "
                             "created by running a scenario, you must run the scenario first to create the table"));
    EXPECT_EQ(GridCount(frame), 0);
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 1); // the list only
}

TEST_F(ResultGrid, AQueryThatFailsOnARowOfItsFirstPageIsReportedNotShownAsEmptyRows) {
    // 1000 \ (N - 3): rows 1 and 2 give -500 and -1000, row 3 divides by zero,
    // which the row count never meets; the data layer reports a query that
    // fails on a row as 3146 with the reason.
    const std::string path = File("big.db");
    CreateBigDatabase(path);
    {
        auto ws = std::make_shared<dao::Workspace>("t", "admin");
        auto db = ws->OpenDatabase(path);
        db->CreateQueryDef("qShares", "SELECT N, 1000 \\ (N - 3) AS Share FROM Big");
        db->Close();
        ws->Close();
    }
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    script.Message(1);
    EXPECT_EQ(frmDataGrid::Open(QStringLiteral("qShares"), QStringLiteral("Input Data Table")), nullptr);
    Pump();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages(), QStringList{QStringLiteral("An unexpected error was encountered when attempting to open "
                                                            "the table [qShares]: \n\n3146: Query failed: Division by zero.")});
    EXPECT_EQ(GridCount(frame), 0);
}

TEST_F(ResultGrid, CaptionIsTheCaptionTextAColonAndTheTable) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Scores"), QString());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->windowTitle(), QStringLiteral(": Scores"));
    EXPECT_EQ(qobject_cast<QMdiSubWindow*>(grid->parentWidget())->windowTitle(), QStringLiteral(": Scores"));
}

TEST_F(ResultGrid, TwoRequestsForOneTableOpenTwoWindows) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* a = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    frmDataGrid* b = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(GridCount(frame), 2);
    // Each is read-only and spans its window.
    EXPECT_EQ(a->grdDataGrid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(a->grdDataGrid()->geometry(), a->rect());
}

TEST_F(ResultGrid, ModelShowsNumbersTextAndNullAsTheyAre) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_NE(grid, nullptr);
    CRecordsetTableModel* m = grid->Model();
    ASSERT_EQ(m->columnCount(), 2);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Class"));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Score"));
    EXPECT_EQ(m->headerData(0, Qt::Vertical).toInt(), 1);
    ASSERT_EQ(m->rowCount(), 9);
    EXPECT_TRUE(m->AtEnd());
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), QStringLiteral("A"));
    EXPECT_EQ(m->data(m->index(5, 1)).toString(), QStringLiteral("10"));
    EXPECT_EQ(m->data(m->index(5, 1), CRecordsetTableModel::ValueRole).typeId(), QMetaType::Double);
    EXPECT_FALSE(m->data(m->index(8, 1), CRecordsetTableModel::ValueRole).isValid());
    EXPECT_EQ(m->ColumnIndex(QStringLiteral("score")), 1);
    EXPECT_EQ(m->ColumnIndex(QStringLiteral("none")), -1);
}

TEST_F(ResultGrid, LargeTableIsCountedAtOnceReadInPagesAndStaysSafeWhenItsDatabaseCloses) {
    const std::string path = File("big.db");
    CreateBigDatabase(path);
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Big"), QStringLiteral("Input Data Table"));
    ASSERT_NE(grid, nullptr);
    CRecordsetTableModel* m = grid->Model();
    // Every row is counted at once; only the pages looked at are read (the
    // first, and the last for the column widths).
    EXPECT_EQ(m->rowCount(), 1000);
    EXPECT_FALSE(m->AtEnd());
    EXPECT_EQ(m->data(m->index(999, 0)).toString(), QStringLiteral("1000"));
    // The database closes under the grid: the rows read stay, no more are read.
    const dao::DatabasePtr held = gdbCurrent;
    held->Close();
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), QStringLiteral("1"));
    EXPECT_FALSE(m->FetchRow(300));
    EXPECT_EQ(m->data(m->index(300, 0)).toString(), QString());
    m->FetchAll();
    EXPECT_FALSE(m->AtEnd());
    grid->grdDataGrid()->scrollToBottom();
    grid->grdDataGrid()->viewport()->repaint();
    Pump();
    EXPECT_TRUE(script.Unexpected().isEmpty());
}

TEST_F(ResultGrid, ACopyOfEveryRowOfAGridOfManyPagesHoldsEveryRowOnceAndInOrder) {
    // The pages not read yet are read in one pass, stepping over the ones
    // already held (the first, and the last for the column widths).
    const std::string path = File("big.db");
    CreateBigDatabase(path);
    script.OpenDatabase(path);
    ASSERT_NE(Start(), nullptr);
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Big"), QStringLiteral("Input Data Table"));
    ASSERT_NE(grid, nullptr);
    ASSERT_FALSE(grid->Model()->AtEnd());
    grid->grdDataGrid()->selectAll();
    QString expected = QStringLiteral("N\n");
    for (int i = 1; i <= 1000; ++i)
        expected += QString::number(i) + QLatin1Char('\n');
    EXPECT_EQ(grid->SelectionText(), expected);
    EXPECT_TRUE(grid->Model()->AtEnd());
    EXPECT_TRUE(script.Unexpected().isEmpty());
}

TEST_F(ResultGrid, ScenarioRunsWhileAGridIsStillReadingItsInputTable) {
    const std::string path = File("big.db");
    CreateBigDatabase(path);
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* input = frmDataGrid::Open(QStringLiteral("Big"), QStringLiteral("Input Data Table"));
    ASSERT_NE(input, nullptr);
    ASSERT_FALSE(input->Model()->AtEnd());
    ASSERT_TRUE(frame->StatMain()->RunCurrentScenario(1)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    frmDataGrid* output = nullptr;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        if (auto* g = qobject_cast<frmDataGrid*>(sub->widget()); g && g->TableName() == QLatin1String("outBig"))
            output = g;
    ASSERT_NE(output, nullptr);
    CRecordsetTableModel* m = output->Model();
    ASSERT_EQ(m->rowCount(), 1);
    // 1 .. 1000: mean 500.5, sum 500500.
    EXPECT_DOUBLE_EQ(m->data(m->index(0, m->ColumnIndex(QStringLiteral("Mean"))), CRecordsetTableModel::ValueRole).toDouble(),
                     500.5);
    EXPECT_DOUBLE_EQ(m->data(m->index(0, m->ColumnIndex(QStringLiteral("Sum"))), CRecordsetTableModel::ValueRole).toDouble(),
                     500500.0);
    // The input grid goes on reading.
    input->Model()->FetchAll();
    EXPECT_EQ(input->Model()->rowCount(), 1000);
}

TEST_F(ResultGrid, AGridOpensAtAUsableSizeInsideTheFrameNotSmallAtItsRightEdge) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frame->resize(1000, 700);
    Pump();
    const QRect area = frame->MdiArea()->viewport()->rect();
    struct Row {
        const char* table;
        const char* why;
    } rows[] = {
        {"Scores", "a small table: at least three fifths of the frame's area"},
        {"Scores", "a second grid: a step further, still wholly inside"},
        {"Scores", "a third"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        frmDataGrid* grid = frmDataGrid::Open(QString::fromLatin1(r.table), QStringLiteral("Input Data Table"));
        ASSERT_NE(grid, nullptr);
        Pump();
        const QRect g = qobject_cast<QMdiSubWindow*>(grid->parentWidget())->geometry();
        EXPECT_TRUE(area.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
        EXPECT_GE(g.width(), area.width() * 3 / 5);
        EXPECT_GE(g.height(), area.height() * 3 / 5);
        // Every column shows whole.
        int columns = 0;
        for (int c = 0; c < grid->Model()->columnCount(); ++c)
            columns += grid->grdDataGrid()->columnWidth(c);
        EXPECT_GE(grid->grdDataGrid()->viewport()->width(), columns);
    }
}

} // namespace

namespace {

// The scenario list's input table of a scenario on a table a legacy program
// named in Latin-1 bytes ("Donn\xE9es"): the scenario names it by the word
// it spells, and the grid opens it so, showing its field names and texts as
// their words.
TEST_F(ResultGrid, Latin1NamedTableOpensInTheGridByTheWordItSpells) {
    const std::string path = File("legacy.db");
    CreateScoresDatabase(path, true);
    vtest::WriteLatin1Table(path, "\"Cat\xE9gorie\" TEXT, \"Pr\xEEt\" DOUBLE", "('caf\xE9', 1), ('th\xC3\xA9', 2)");
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Donn\u00E9es"), QStringLiteral("Input Data Table"));
    ASSERT_NE(grid, nullptr) << script.Messages().join(QLatin1Char('|')).toStdString();
    CRecordsetTableModel* m = grid->Model();
    ASSERT_EQ(m->columnCount(), 2);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Cat\u00E9gorie"));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Pr\u00EEt"));
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(m->data(m->index(1, 0)).toString(), QStringLiteral("th\u00E9"));
    EXPECT_EQ(grid->windowTitle(), QStringLiteral("Input Data Table: Donn\u00E9es"));
}

} // namespace
