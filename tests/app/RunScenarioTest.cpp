// Running a scenario from the list: the progress window, the result grids
// and their values, the second run's question.
#include "AppTestSupport.h"

#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/frmStatus.h"
#include "app/modApplication.h"
#include "errors/ui/frmMsgBox.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cmath>
#include <functional>

using namespace apptest;

namespace {

// A cell as the database holds it, by row and column name.
QVariant Cell(frmDataGrid* grid, int row, const char* column) {
    CRecordsetTableModel* m = grid->Model();
    m->FetchAll();
    const int c = m->ColumnIndex(QString::fromLatin1(column));
    if (c < 0)
        return QStringLiteral("<no column %1>").arg(QString::fromLatin1(column));
    return m->data(m->index(row, c), CRecordsetTableModel::ValueRole);
}

double Number(frmDataGrid* grid, int row, const char* column) {
    const QVariant v = Cell(grid, row, column);
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : std::nan("");
}

class RunScenario : public AppFixture {
protected:
    // Opens scores.db (one Describe scenario, number 1) and the list.
    frmStatMain* OpenScores(const std::string& out2 = {}) {
        path = File("scores.db");
        CreateScoresDatabase(path, true, {DescribeScores("outDescribe", out2)});
        script.OpenDatabase(path);
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }

    std::string path;
    ModalScript script;
    MDIMain* frame = nullptr;
};

const QString kFailed = QStringLiteral("The test of this scenario failed for the following reason:\n\n");

TEST_F(RunScenario, DescribeRunShowsTheOutputGridWithTheStatisticsOfEachClass) {
    frmStatMain* list = OpenScores();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->lvwScenarios()->topLevelItemCount(), 1);

    // Every progress text reaches the progress window while the run lasts.
    QStringList texts;
    bool allShown = true;
    QObject::connect(list, &frmStatMain::progressText, [&](const QString& text) {
        texts << text;
        frmStatus* status = list->StatusWindow();
        allShown = allShown && status && status->isVisible() && status->StatusText() == text;
    });
    list->cmdAction_Click(4);
    Pump();
    EXPECT_TRUE(script.Seen().size() == 1) << script.MessagesText();
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
    EXPECT_TRUE(allShown);
    ASSERT_GE(texts.size(), 3);
    EXPECT_TRUE(texts.contains(QStringLiteral("Retrieving and sorting data..."))) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Analyzing records...")));
    EXPECT_EQ(list->StatusWindow(), nullptr); // gone after the run

    frmDataGrid* grid = ShownGridOf(frame, QStringLiteral("outDescribe"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->windowTitle(), QStringLiteral("Scenario Output Table: outDescribe"));
    ASSERT_EQ(grid->Model()->rowCount(), 2);

    // Row 0, class A: 2, 4, 4, 5, 7 and one missing value; row 1, class B: 10, 20, 30.
    EXPECT_EQ(Cell(grid, 0, "Class").toString(), QStringLiteral("A"));
    EXPECT_EQ(Cell(grid, 0, "DataField").toString(), QStringLiteral("Score"));
    EXPECT_EQ(Cell(grid, 0, "Missing").toLongLong(), 1);
    EXPECT_EQ(Cell(grid, 1, "Class").toString(), QStringLiteral("B"));
    EXPECT_EQ(Cell(grid, 1, "Missing").toLongLong(), 0);
    const struct {
        int row;
        const char* column;
        double expected;
    } statistics[] = {
        // A: sum 22, sum of squares 110; n·Q − S² = 550 − 484 = 66.
        {0, "Count", 5.0}, {0, "Mean", 22.0 / 5.0}, {0, "Minimum", 2.0}, {0, "Maximum", 7.0}, {0, "Range", 5.0},
        {0, "Variance", 66.0 / 20.0}, {0, "StdDeviation", std::sqrt(3.3)},
        {0, "StdError", std::sqrt(3.3) / std::sqrt(5.0)}, {0, "CoeffOfVariance", std::sqrt(3.3) / 4.4},
        {0, "Sum", 22.0}, {0, "SumSquared", 110.0}, {0, "AdjSumSquared", 66.0 / 5.0},
        // B: sum 60, sum of squares 1400, adjusted 1400 − 60²/3 = 200.
        {1, "Count", 3.0}, {1, "Mean", 20.0}, {1, "Range", 20.0}, {1, "Variance", 100.0}, {1, "StdDeviation", 10.0},
        {1, "StdError", 10.0 / std::sqrt(3.0)}, {1, "CoeffOfVariance", 0.5}, {1, "SumSquared", 1400.0},
        {1, "AdjSumSquared", 200.0},
    };
    for (const auto& s : statistics)
        EXPECT_DOUBLE_EQ(Number(grid, s.row, s.column), s.expected) << "row " << s.row << ", " << s.column;

    // The grid is read-only.
    EXPECT_FALSE(grid->Model()->flags(grid->Model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(RunScenario, InputDataGridShowsTheSourceRows) {
    frmStatMain* list = OpenScores();
    ASSERT_NE(list, nullptr);
    list->ContextMenuHandler(90);
    frmDataGrid* grid = ShownGridOf(frame, QStringLiteral("Scores"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->windowTitle(), QStringLiteral("Input Data Table: Scores"));
    ASSERT_EQ(grid->Model()->rowCount(), 9);
    const double scores[] = {2, 4, 4, 5, 7, 10, 20, 30};
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(Cell(grid, row, "Class").toString(), row < 5 ? QStringLiteral("A") : QStringLiteral("B")) << row;
        EXPECT_DOUBLE_EQ(Number(grid, row, "Score"), scores[row]) << row;
    }
    EXPECT_FALSE(Cell(grid, 8, "Score").isValid()); // Null
    EXPECT_EQ(grid->Model()->data(grid->Model()->index(8, 1)).toString(), QString());
    // The popup item of output table 1 before any run: the grid reports it.
    script.Message(1);
    list->ContextMenuHandler(100);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("The table [outDescribe] does not exist in the database. \n\nIf this is an output table "
                             "created by running a scenario, you must run the scenario first to create the table"));
    EXPECT_EQ(ShownGridOf(frame, QStringLiteral("outDescribe")), nullptr);
}

TEST_F(RunScenario, SecondRunAsksBeforeOverwritingAndReopensTheGrid) {
    frmStatMain* list = OpenScores();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->RunCurrentScenario(0)) << script.MessagesText();
    QPointer<frmDataGrid> first = ShownGridOf(frame, QStringLiteral("outDescribe"));
    ASSERT_FALSE(first.isNull());

    // No: nothing happens.
    script.Message(7);
    EXPECT_FALSE(list->RunCurrentScenario(0));
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("The following output table(s) already exist in the current database. Do you want to "
                             "overwrite them?\n\noutDescribe"));
    EXPECT_FALSE(first.isNull());

    // Yes: the old grid is closed, the run makes a new one.
    script.Message(6);
    EXPECT_TRUE(list->RunCurrentScenario(0));
    Pump();
    EXPECT_TRUE(first.isNull());
    frmDataGrid* second = ShownGridOf(frame, QStringLiteral("outDescribe"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Model()->rowCount(), 2);
    EXPECT_EQ(ShownGrids(frame).size(), 1);
}

// A scenario stored with a plain Save (or by another program) named a table
// that another scenario reads, and one Yes at the run replaced it: the run
// makes the Finish page's checks through its routine. A name that a stored
// scenario reads is refused before anything is asked; a table that a stored
// scenario writes is asked about, and Enter answers No.
TEST_F(RunScenario, OutputNamesThatAStoredScenarioReadsAreRefusedAndEnterKeepsAnExistingOutput) {
    vtest::ScenarioSpec reader = DescribeScores("readerOut");
    reader.inputTable = "outDescribe";
    vtest::ScenarioSpec laterReader = DescribeScores("laterOut");
    laterReader.inputTable = "outLater";
    path = File("guarded.db");
    // 1 writes outDescribe, 2 outOther and outLater, 3 its own input.
    CreateScoresDatabase(path, true,
                         {DescribeScores("outDescribe"), DescribeScores("outOther", "outLater"), DescribeScores("Scores")});
    CreateTableIn(path, "outDescribe"); // with one row that no run may lose
    ExecuteIn(path, "INSERT INTO outDescribe (Value) VALUES (42)");
    script.OpenDatabase(path);
    frame = Start();
    ASSERT_TRUE(frame && frame->StatMain());
    struct Row {
        const char* why;
        std::vector<vtest::ScenarioSpec> stored; // stored before the run
        long scenario;
        QString message; // the one message
        bool question;   // a Yes/No question, answered with Enter
    } rows[] = {
        {"only this scenario writes the existing table: asked, and Enter answers No", {}, 1,
         "The following output table(s) already exist in the current database. Do you want to overwrite them?\n\n"
         "outDescribe",
         true},
        {"another stored scenario reads the first output, which holds a row", {reader}, 1,
         kFailed + "The output table 'outDescribe' is the input table of a stored scenario. Please choose another name.",
         false},
        {"another stored scenario reads the second output, which does not exist yet", {laterReader}, 2,
         kFailed + "The output table 'outLater' is the input table of a stored scenario. Please choose another name.",
         false},
        {"the scenario's own input named as its output", {}, 3,
         kFailed + "The output table 'Scores' is the input table of a stored scenario. Please choose another name.",
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        for (const vtest::ScenarioSpec& spec : r.stored)
            vtest::StoreScenario(*gdbCurrent, spec);
        ModalScript answers;
        QStringList asked;
        QString focused;
        answers.Then(QStringLiteral("message"), [](QWidget* w) { return qobject_cast<frmMsgBox*>(w) != nullptr; },
                     [&](QWidget* w) {
                         asked << qobject_cast<frmMsgBox*>(w)->Message();
                         focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
                         QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Return);
                     });
        EXPECT_FALSE(frame->StatMain()->RunCurrentScenario(r.scenario));
        EXPECT_TRUE(answers.Done());
        EXPECT_EQ(asked, QStringList({r.message}));
        if (r.question) {
            EXPECT_EQ(focused, QStringLiteral("cmdResponse7")) << "No is the default answer";
        }
        EXPECT_EQ(FirstColumn(path, "SELECT Value FROM outDescribe"), std::vector<std::string>({"42"}));
        for (const char* made : {"outOther", "outLater"})
            EXPECT_FALSE(TableDefExists(gdbCurrent, made)) << made;
    }
}

TEST_F(RunScenario, GridOfTheSecondOutputTableOpensOnlyWhenTheRunWroteIt) {
    // The scenario names a second table; the analysis writes only one.
    frmStatMain* list = OpenScores("outNotWritten");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->RunCurrentScenario(1)) << script.MessagesText();
    Pump();
    EXPECT_EQ(script.Seen().size(), 1u) << script.MessagesText();
    EXPECT_NE(ShownGridOf(frame, QStringLiteral("outDescribe")), nullptr);
    EXPECT_EQ(ShownGridOf(frame, QStringLiteral("outNotWritten")), nullptr);
    EXPECT_EQ(ShownGrids(frame).size(), 1);
}

TEST_F(RunScenario, AFailedRunShowsOneMessageUnderTheProgramsNameAndAMissingTableBeforeAnyQuestion) {
    frmStatMain* list = OpenScores();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->RunCurrentScenario(1)) << script.MessagesText();
    Pump();
    for (frmDataGrid* g : ShownGrids(frame))
        qobject_cast<QMdiSubWindow*>(g->parentWidget())->close();
    Pump();
    struct Row {
        std::function<void()> change; // breaks the scenario
        bool overwriteAsked;    // outDescribe exists: asked about before the run
        const char* reasonPart; // in the one message
        const char* why;
    } rows[] = {
        {[] {
             gdbCurrent->Execute("UPDATE usysQuorbFields SET FieldDef_Name = 'Nope' WHERE FieldDef_Choice = 'X'",
                                 dao::dbFailOnError);
         },
         true, "Nope",
         "the engine refuses the run: its reason once, not its own notice first"},
        {[] { gdbCurrent->TableDefs().Delete("Scores"); }, false, "Data Table [Scores] not found.",
         "the source is gone: said first, with no question about overwriting"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        r.change();
        const std::size_t before = script.Seen().size();
        if (r.overwriteAsked)
            script.Message(6);
        script.Message(1);
        list->cmdAction_Click(4);
        Pump();
        EXPECT_TRUE(script.Done()) << script.MessagesText();
        EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
        ASSERT_EQ(script.Seen().size() - before, r.overwriteAsked ? 2u : 1u);
        const SeenModal& shown = script.Seen().back();
        EXPECT_EQ(shown.kind, QStringLiteral("message"));
        EXPECT_EQ(shown.title, QStringLiteral("Varnello"));
        EXPECT_TRUE(shown.text.startsWith(kFailed)) << shown.text.toStdString();
        EXPECT_TRUE(shown.text.contains(QString::fromLatin1(r.reasonPart))) << shown.text.toStdString();
        EXPECT_TRUE(ShownGrids(frame).isEmpty());
        EXPECT_EQ(list->StatusWindow(), nullptr);
    }
}

} // namespace
