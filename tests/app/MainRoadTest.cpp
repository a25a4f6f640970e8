// The application's main road: start, the open-database dialog, opening a
// database, the scenario list, running a scenario and exiting.
#include "AppTestSupport.h"

#include "app/AppGlobals.h"
#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmOpenDatabase.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/CProgramSettings.h"
#include "util/CMRU.h"
#include "util/modStatCommon.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTreeWidget>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace apptest;

namespace {

QStringList RowTexts(QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

const QString kLocate = QStringLiteral(
    "Be sure that you have typed the path to the database correctly, or use the Browse button to locate the database");

std::vector<vtest::ScenarioSpec> MixedScenarios();

class MainRoad : public AppFixture {
protected:
    // The application started and its first dialog cancelled.
    MDIMain* StartCancelled() {
        script.CancelOpenDatabase();
        return frame = Start();
    }
    // The application started on the mixed scenario database (with these
    // empty tables besides): its scenario list.
    frmStatMain* StartMixed(std::initializer_list<const char*> tables = {}) {
        const std::string path = File("mixed.db");
        CreateScoresDatabase(path, true, MixedScenarios());
        for (const char* t : tables) CreateTableIn(path, t);
        script.OpenDatabase(path);
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }
    // Every step of the script taken, and no window it did not expect.
    void ExpectScriptFollowed() {
        EXPECT_TRUE(script.Done());
        EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
    }

    ModalScript script;
    MDIMain* frame = nullptr;
};

TEST_F(MainRoad, FirstStartShowsTheOpenDialogAndCancelLeavesTheFrameWithoutList) {
    ASSERT_NE(StartCancelled(), nullptr);
    ExpectScriptFollowed();
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].title, QStringLiteral("Open Scenario Database"));

    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Varnello Scenario Designer Demo"));
    EXPECT_EQ(frame->StatMain(), nullptr);
    // The window's own area: the window manager's frame comes on top of it.
    EXPECT_EQ(frame->geometry().size(), QSize(635, 455));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // Centred: half the free room on either side, rounded to the nearest pixel.
    EXPECT_EQ(frame->frameGeometry().topLeft(),
              QPoint(static_cast<int>(std::lround((screen.width() - 635) / 2.0)),
                     static_cast<int>(std::lround((screen.height() - 455) / 2.0))));
    for (int i = 0; i <= 4; ++i)
        EXPECT_FALSE(frame->mnuFileMRU(i)->isVisible()) << i;
    frame->mnufile_Click();
    frame->mnuTools_Click();
    EXPECT_FALSE(frame->mnufileItems(200)->isEnabled());
    EXPECT_FALSE(frame->mnuToolsItems(20)->isEnabled());
    // The error handler exists, the report goes beside the program.
    ASSERT_NE(gErr, nullptr);
    EXPECT_EQ(gErr->DestinationPath(), AppDir() + "/error.log");
    EXPECT_FALSE(gErr->DisplayError());
}

TEST_F(MainRoad, MenusCarryTheirIndexesAndCaptions) {
    ASSERT_NE(StartCancelled(), nullptr);
    struct Item {
        QAction* action;
        const char* caption;
    };
    const Item items[] = {
        {frame->mnufileItems(100), "&Open Database..."},    {frame->mnufileItems(200), "&Close Database"},
        {frame->mnufileItems(1000), "E&xit"},               {frame->mnuToolsItems(0), "&Probability Calculator"},
        {frame->mnuToolsItems(10), "&Options"},             {frame->mnuToolsItems(20), "&Generate C++ Code"},
        {frame->mnuWindowItems(0), "T&ile Horizontally"},   {frame->mnuWindowItems(10), "&Tile Vertically"},
        {frame->mnuWindowItems(20), "&Cascade"},            {frame->mnuWindowItems(30), "&Arrange Icons"},
        {frame->mnuHelpItems(10), "&Contents and Index"},   {frame->mnuHelpItems(50), "Contact &ZUR"},
        {frame->mnuHelpItems(100), "&About"},               {frame->mnuHelpItems(999), "Hit Error"},
        {frame->mnuOnWebItems(20), "&Technical Support"},   {frame->mnuOnWebItems(40), "&ZUR Home Page"},
        {frame->mnuRightClickItems(0), "&Run"},             {frame->mnuRightClickItems(20), "&Edit Fields"},
        {frame->mnuRightClickItems(30), "Edit &Options"},   {frame->mnuRightClickItems(40), "Edit Out&put"},
        {frame->mnuRightClickItems(60), "Dup&licate"},      {frame->mnuRightClickItems(70), "&Delete"},
        {frame->mnuRightClickItems(90), "&View Data Table"}, {frame->mnuRightClickItems(100), "View Output Table &1"},
        {frame->mnuRightClickItems(110), "View Output Table &2"},
        {frame->mnuRightClickItems(130), "&Generate C++ Code"}, {frame->mnuRightClickItems(150), "&Help"},
    };
    for (const Item& i : items) {
        ASSERT_NE(i.action, nullptr) << i.caption;
        EXPECT_EQ(i.action->text(), QString::fromLatin1(i.caption));
    }
    for (int index : {10, 50, 80, 120, 140})
        EXPECT_TRUE(frame->mnuRightClickItems(index)->isSeparator()) << index;
    EXPECT_FALSE(frame->mnuHelpItems(999)->isVisible());
    EXPECT_EQ(frame->mnuRightClick()->defaultAction(), frame->mnuRightClickItems(0));
    // Every window of the frame is there (right-click 20: the designer).
    for (QAction* a : {frame->mnuHelpItems(100), frame->mnuToolsItems(0), frame->mnuToolsItems(10),
                       frame->mnuRightClickItems(20), frame->mnuRightClickItems(60), frame->mnuRightClickItems(70),
                       frame->mnuRightClickItems(130)})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(frame->ToolbarButton(QStringLiteral("btnCalc"))->isEnabled());
    for (const auto& [button, tip] : {std::pair{"btnOpen", "Open Database"}, std::pair{"btnClose", "Close Database"},
                                      std::pair{"btnHelp", "Help"}})
        EXPECT_EQ(frame->ToolbarButton(QString::fromLatin1(button))->toolTip(), QString::fromLatin1(tip)) << button;
}

TEST_F(MainRoad, MissingPathIsReportedAndTheDialogStaysOpen) {
    const std::string missing = File("nowhere/missing.db");
    script.OpenDatabase(missing).Message(1).CancelOpenDatabase();
    ASSERT_NE(frame = Start(), nullptr);
    ExpectScriptFollowed();
    ASSERT_EQ(script.Messages().size(), 1);
    EXPECT_EQ(script.Messages()[0], QStringLiteral("Cannot locate a database named '") + QString::fromStdString(missing) +
                                        QStringLiteral("'\n\n") + kLocate);
    EXPECT_EQ(script.Seen()[1].title, QStringLiteral("Varnello"));
    EXPECT_EQ(frame->StatMain(), nullptr);
    EXPECT_EQ(gdbCurrent, nullptr);
}

TEST_F(MainRoad, OpeningADatabaseShowsItsPathAndEntersItInTheRecentList) {
    const std::string path = OpenScores(script);
    ASSERT_NE(frame = Start(), nullptr);
    ExpectScriptFollowed();

    ASSERT_NE(gdbCurrent, nullptr);
    EXPECT_EQ(frame->StatusText(), QString::fromStdString(path));
    EXPECT_NE(frame->StatMain(), nullptr);
    EXPECT_TRUE(frame->mnuFileMRU(0)->isVisible());
    EXPECT_TRUE(frame->mnuFileMRU(1)->isVisible());
    EXPECT_EQ(frame->mnuFileMRU(1)->text(), QStringLiteral("&1. ") + QString::fromStdString(path));
    EXPECT_FALSE(frame->mnuFileMRU(2)->isVisible());
    EXPECT_EQ(RegistryValue("Settings", "MRU1"), path);
    EXPECT_EQ(RegistryValue("Settings", "MRUTAG1"), "/WG /UID /PWD ");
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "False");
    // Without a workgroup the default one beside the program is used.
    ASSERT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gwsCurrent->Name(), "StatsGeneric");
    EXPECT_TRUE(std::filesystem::exists(AppDir() + "/ZURSTAT.MDW"));
    frame->mnufile_Click();
    EXPECT_TRUE(frame->mnufileItems(200)->isEnabled());
}

TEST_F(MainRoad, DatabaseWithoutScenarioTablesAsksToInitializeIt) {
    const std::string path = File("plain.db");
    CreateScoresDatabase(path, false);
    script.OpenDatabase(path).Message(6);
    ASSERT_NE(frame = Start(), nullptr);
    ExpectScriptFollowed();
    ASSERT_EQ(script.Seen().size(), 2u);
    EXPECT_EQ(script.Seen()[1].title, QStringLiteral("Initialize Database"));
    EXPECT_EQ(script.Seen()[1].text, QString::fromStdString(InitializeDatabaseMessage()).replace(
                                         QLatin1String("\r\n"), QLatin1String("\n")));
    ASSERT_NE(gdbCurrent, nullptr);
    for (const char* table : {kScenarioTableName, kOptionsTableName, kFieldsTableName})
        EXPECT_NE(gdbCurrent->TableDefs().Find(table), nullptr) << table;
    ASSERT_NE(frame->StatMain(), nullptr);
    EXPECT_EQ(frame->StatMain()->lvwScenarios()->topLevelItemCount(), 0);
}

TEST_F(MainRoad, DecliningToInitializeShowsTheDialogAgain) {
    const std::string path = File("plain.db");
    CreateScoresDatabase(path, false);
    script.OpenDatabase(path).Message(7).CancelOpenDatabase();
    ASSERT_NE(frame = Start(), nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(frame->StatMain(), nullptr);
    ASSERT_NE(gdbCurrent, nullptr); // left open, as the declined check leaves it
    EXPECT_EQ(gdbCurrent->TableDefs().Find(kScenarioTableName), nullptr);
    EXPECT_EQ(RegistryValue("Settings", "MRU1"), "~missing");
}

// Scenarios stored out of their list order: the list orders by SortOrder,
// then by number.
std::vector<vtest::ScenarioSpec> MixedScenarios() {
    auto make = [](const char* group, const char* type, std::int16_t sort, const char* desc, const char* out2 = "") {
        vtest::ScenarioSpec s;
        s.analysisType = group;
        s.subType = type;
        s.sortOrder = sort;
        s.description = desc;
        s.inputTable = "Scores";
        s.outputTable1 = std::string("out") + desc;
        s.outputTable2 = out2;
        s.fields = {{"Class", "G"}, {"Score", "X"}};
        return s;
    };
    return {make("P", "Percentiles", 300, "P1"),        // 1
            make("P", "Describe", 100, "D1"),           // 2
            make("G", "Two way ANOVA", 300, "G1", "outG1b"), // 3
            make("P", "Frequency", 200, "F1"),          // 4
            make("N", "Chi-Square", 100, "N1", "outN1b"), // 5
            make("P", "Describe", 100, "D2"),           // 6
            make("G", "ANOVA", 200, "G2", "outG2b")};   // 7
}

TEST_F(MainRoad, ScenarioListShowsRowsInOrderAndFiltersByGroupAndType) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();

    EXPECT_EQ(list->windowTitle(), QStringLiteral("Analysis Scenarios"));
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"2", "6", "4", "1"}));
    EXPECT_EQ(RowTexts(lvw, 1), (QStringList{"Describe", "Describe", "Frequency", "Percentiles"}));
    EXPECT_EQ(RowTexts(lvw, 2), (QStringList{"D1", "D2", "F1", "P1"}));
    EXPECT_EQ(RowTexts(lvw, 3), (QStringList{"Scores", "Scores", "Scores", "Scores"}));
    EXPECT_EQ(RowTexts(lvw, 4), (QStringList{"outD1", "outD2", "outF1", "outP1"}));
    EXPECT_EQ(RowTexts(lvw, 6), (QStringList{"admin", "admin", "admin", "admin"}));
    EXPECT_EQ(lvw->topLevelItem(0)->data(0, Qt::UserRole).toString(), QStringLiteral("S2"));
    EXPECT_EQ(lvw->headerItem()->text(2), QStringLiteral("Scenario Description"));
    EXPECT_EQ(lvw->headerItem()->text(9), QStringLiteral("Modified Date"));
    // The first row is selected.
    ASSERT_TRUE(list->GetScenarioInfo().has_value());
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "2");

    list->optAnalysisType(1, 4)->click(); // Percentiles
    EXPECT_EQ(list->ScenType(), QStringLiteral("Percentiles"));
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"1"}));

    list->tabMain()->setCurrentIndex(1); // Group Analysis: all types again
    EXPECT_EQ(list->ScenTypeMain(), QStringLiteral("G"));
    EXPECT_EQ(list->ScenType(), QStringLiteral("*"));
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"7", "3"}));
    EXPECT_TRUE(list->SubTypeFrame(2)->isVisible());
    EXPECT_FALSE(list->SubTypeFrame(1)->isVisible());

    EXPECT_EQ(list->optAnalysisType(2, 4)->text(), QStringLiteral("Two-Way ANOVA"));
    list->optAnalysisType(2, 4)->click();
    EXPECT_EQ(list->ScenType(), QStringLiteral("Two way ANOVA"));
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"3"}));

    list->tabMain()->setCurrentIndex(2);
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"5"}));
    list->optAnalysisType(3, 3)->click(); // Sign Test: none
    EXPECT_EQ(lvw->topLevelItemCount(), 0);
    EXPECT_FALSE(list->GetScenarioInfo().has_value());

    // Back on the first tab the Percentiles button is still set, yet every
    // parametric type is listed.
    list->tabMain()->setCurrentIndex(0);
    EXPECT_TRUE(list->optAnalysisType(1, 4)->isChecked());
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"2", "6", "4", "1"}));
}

TEST_F(MainRoad, ColumnClickSortsByTextUntilTheNextReload) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    emit lvw->header()->sectionClicked(2); // description
    EXPECT_EQ(RowTexts(lvw, 2), (QStringList{"D1", "D2", "F1", "P1"}));
    emit lvw->header()->sectionClicked(1); // type
    EXPECT_EQ(RowTexts(lvw, 1), (QStringList{"Describe", "Describe", "Frequency", "Percentiles"}));
    emit lvw->header()->sectionClicked(4); // output table 1
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"2", "6", "4", "1"}));
    emit lvw->header()->sectionClicked(0); // by the number's text
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"1", "2", "4", "6"}));
    list->LoadScenarios();
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"2", "6", "4", "1"}));
}

TEST_F(MainRoad, ColumnClickSortsDescriptionsWithoutRegardToLetterCase) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);
    // Descriptions in small and capital letters (scenarios 2, 6, 4 and 1).
    const struct {
        const char* id;
        const char* description;
    } descriptions[] = {{"2", "beta"}, {"6", "Alpha"}, {"4", "gamma"}, {"1", "Delta"}};
    for (const auto& d : descriptions)
        gdbCurrent->Execute(std::string("UPDATE usysQuorbScenarios SET Scenario_Description = '") + d.description +
                            "' WHERE Scenario_ID = " + d.id);
    list->LoadScenarios();
    QTreeWidget* lvw = list->lvwScenarios();
    emit lvw->header()->sectionClicked(2); // description
    EXPECT_EQ(RowTexts(lvw, 2), (QStringList{"Alpha", "beta", "Delta", "gamma"}));
    EXPECT_EQ(RowTexts(lvw, 0), (QStringList{"6", "2", "1", "4"}));
}

TEST_F(MainRoad, ScenarioNotFoundIsReportedWithItsNumber) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);

    script.Message(1);
    EXPECT_FALSE(list->RunCurrentScenario(999));
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(script.Messages().size(), 1);
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Scenario not found: 999"));

    // A row deleted between listing and running: the Run button reports it
    // and, the run having failed, the list is not reloaded.
    list->lvwScenarios()->setCurrentItem(list->lvwScenarios()->topLevelItem(1)); // scenario 6
    gdbCurrent->Execute("DELETE FROM usysQuorbScenarios WHERE Scenario_ID = 6");
    script.Message(1);
    list->cmdAction_Click(4);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Scenario not found: 6"));
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 4);
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "6");
}

TEST_F(MainRoad, RunWithoutSelectionAsksForOne) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(frame, nullptr);
    list->optAnalysisType(1, 3)->click(); // Frequency: one row
    list->lvwScenarios()->clearSelection();
    script.Message(1);
    EXPECT_FALSE(list->RunCurrentScenario(0));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Please select a scenario from the list."));
}

TEST_F(MainRoad, ExistingOutputTablesAreNamedInTheOverwriteQuestion) {
    frmStatMain* list = StartMixed({"outN1", "outN1b", "outG2b"});
    ASSERT_NE(list, nullptr);
    const QString question = QStringLiteral(
        "The following output table(s) already exist in the current database. Do you want to overwrite them?\n\n");

    // Both tables: one name per line; No leaves everything as it was.
    frmDataGrid* open = frmDataGrid::Open(QStringLiteral("outN1"), QStringLiteral("Scenario Output Table"));
    ASSERT_NE(open, nullptr);
    script.Message(7);
    EXPECT_FALSE(list->RunCurrentScenario(5));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(), question + QStringLiteral("outN1\noutN1b"));
    EXPECT_EQ(ShownGridOf(frame, QStringLiteral("outN1")), open);

    // Only table 2: the list starts with an empty line.
    script.Message(7);
    EXPECT_FALSE(list->RunCurrentScenario(7));
    EXPECT_EQ(script.Messages().back(), question + QStringLiteral("\noutG2b"));

    // Neither table: no question.
    const qsizetype before = script.Messages().size();
    script.Message(1); // the run itself fails (the scenario has no frequency options): one message
    list->RunCurrentScenario(4);
    for (const QString& m : script.Messages().mid(before))
        EXPECT_FALSE(m.startsWith(QStringLiteral("The following output table(s)"))) << m.toStdString();
}

TEST_F(MainRoad, AnsweringYesClosesTheGridsOfTheOutputTablesOnly) {
    frmStatMain* list = StartMixed({"outN1"});
    ASSERT_NE(frame, nullptr);
    QPointer<frmDataGrid> output = frmDataGrid::Open(QStringLiteral("outN1"), QStringLiteral("Scenario Output Table"));
    QPointer<frmDataGrid> input = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_FALSE(output.isNull());
    ASSERT_FALSE(input.isNull());
    // Yes; then the one message of what the run reports (the scenario has
    // no compare field).
    script.Message(6).Message(1);
    list->RunCurrentScenario(5);
    Pump(20);
    ASSERT_GE(script.Seen().size(), 2u);
    EXPECT_EQ(script.Seen()[1].text.left(31), QStringLiteral("The following output table(s) a"));
    EXPECT_TRUE(output.isNull());
    EXPECT_FALSE(input.isNull());
    EXPECT_EQ(ShownGridOf(frame, QStringLiteral("Scores")), input.data());
}

TEST_F(MainRoad, FileExitSavesTheWindowPositions) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr)
        << script.UnexpectedText();
    frame->setGeometry(40, 30, 700, 520);
    auto* sub = qobject_cast<QMdiSubWindow*>(list->parentWidget());
    ASSERT_NE(sub, nullptr);
    sub->setGeometry(10, 20, 600, 330);
    Pump();
    // Stored without the window manager's frame, as it is restored.
    const QRect frameOwn = frame->geometry();
    const QRect listOuter = sub->frameGeometry();

    QPointer<MDIMain> watch(frame);
    frame->mnufileItems_Click(1000);
    Pump(20);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(TheMDIMain(), nullptr);
    auto text = [](const QRect& r) {
        return std::to_string(r.x() * 15) + " " + std::to_string(r.y() * 15) + " " + std::to_string(r.width() * 15) +
               " " + std::to_string(r.height() * 15) + " 0";
    };
    EXPECT_EQ(RegistryValue("Form Position", "MDIMain"), text(frameOwn));
    EXPECT_EQ(RegistryValue("Form Position", "frmStatMain"), text(listOuter));
}

TEST_F(MainRoad, TheNextStartRestoresTheSavedPositions) {
    frmStatMain* list = StartMixed();
    ASSERT_NE(list, nullptr);
    frame->setGeometry(50, 40, 690, 500);
    qobject_cast<QMdiSubWindow*>(list->parentWidget())->setGeometry(5, 6, 580, 300);
    Pump();
    ExitApplication(frame);
    Pump(20);
    script.OpenDatabase([](frmOpenDatabase&) {}); // the recent database is preset
    ASSERT_NE(frame = Start(), nullptr);
    EXPECT_TRUE(script.Done());
    // The frame's own window border may shift it by the platform's frame
    // margin; the document window inside is placed exactly.
    const int margin = frame->frameGeometry().width() - frame->width();
    EXPECT_NEAR(frame->frameGeometry().x(), 50, margin);
    EXPECT_NEAR(frame->frameGeometry().y(), 40, margin);
    EXPECT_NEAR(frame->frameGeometry().width(), 690, margin);
    EXPECT_NEAR(frame->frameGeometry().height(), 500, margin);
    ASSERT_NE(frame->StatMain(), nullptr);
    auto* sub = qobject_cast<QMdiSubWindow*>(frame->StatMain()->parentWidget());
    EXPECT_EQ(sub->frameGeometry(), QRect(5, 6, 580, 300));
}

// A stored position the window cannot take (a number beyond single
// precision, a state beyond 16 bits, a negative size) counts as none stored: the frame comes
// up at its first size and the list with its scenarios, without the error
// dialog. The frame used to stay hidden and the program ended at every start.
TEST_F(MainRoad, AStoredPositionTheWindowCannotTakeKeepsNoStartOut) {
    const std::string path = File("mixed.db");
    CreateScoresDatabase(path, true, MixedScenarios());
    CProgramSettings positions;
    positions.SetRegBase("ZUR");
    positions.SetMainBranch("SOFTWARE");
    positions.SetProgram(GetRegistryProgramKey());
    positions.SetSection("Form Position");
    const char* const stored[] = {
        "1e39 0 9000 6000 0",     // the left beyond single precision
        "60 60 9000 -4e38 0",     // the height, after left, top and width were set
        "60 60 9000 6000 40000",  // the state beyond 16 bits, after all four were set
        "60 60 -9000 6000 0",     // a negative width, which no window takes
        "60 60 9000 -6000 2",     // a negative height, of a window that comes back maximized
    };
    for (const char* text : stored) {
        SCOPED_TRACE(text);
        positions.WriteEntry("MDIMain", text);
        positions.WriteEntry("frmStatMain", text);
        script.OpenDatabase(path);
        ASSERT_NE(frame = Start(), nullptr);
        ExpectScriptFollowed();
        EXPECT_FALSE(std::filesystem::exists(AppDir() + "/error.log"));
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(frame->geometry().size(), QSize(635, 455));
        ASSERT_NE(frame->StatMain(), nullptr);
        EXPECT_EQ(RowTexts(frame->StatMain()->lvwScenarios(), 0), (QStringList{"2", "6", "4", "1"}));
        ExitApplication(frame);
        Pump(20);
    }
}

TEST_F(MainRoad, ASecondStartEndsAtOnceWithoutTouchingSettingsOrTheErrorHandler) {
    ASSERT_NE(StartCancelled(), nullptr);
    const auto handler = gErr;
    const auto settings = gSettings;
    const std::string registryBefore = RegistryFileText();
    frame->setWindowTitle(QStringLiteral("ZUR Varnello Scenario Designer 2")); // the caption is no longer the title

    EXPECT_EQ(Main(), nullptr);
    EXPECT_EQ(gErr, handler);
    EXPECT_EQ(gSettings, settings);
    EXPECT_EQ(RegistryFileText(), registryBefore);
    EXPECT_FALSE(std::filesystem::exists(AppDir() + "/error.log"));
    EXPECT_EQ(TheMDIMain(), frame);
}

TEST_F(MainRoad, HelpMenuHitErrorShowsTheErrorDialogAndContinueDeletesTheReport) {
    ASSERT_NE(StartCancelled(), nullptr);
    script.ErrorDialog(false);
    frame->mnuHelpItems_Click(999);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(gErr->ErrNumber(), 11);
    EXPECT_EQ(gErr->ErrDescription(), "Division by zero");
    EXPECT_FALSE(std::filesystem::exists(AppDir() + "/error.log"));
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainRoad, ChoosingExitInTheErrorDialogClosesTheApplication) {
    StartMixed();
    ASSERT_NE(frame, nullptr);
    QPointer<MDIMain> watch(frame);
    script.ErrorDialog(true);
    frame->mnuHelpItems_Click(999);
    Pump(20);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(watch.isNull());
    EXPECT_NE(RegistryValue("Form Position", "frmStatMain"), "~missing");
}

TEST_F(MainRoad, ExitChosenInTheErrorDialogOfAFailedOpenEndsTheProgramInsteadOfShowingTheDialogAgain) {
    // A damaged default workgroup file makes every open fail with an
    // unexpected error; Exit in its error dialog showed the open-database
    // dialog again, on every road to an open.
    const std::string path = File("scores.db");
    CreateScoresDatabase(path, true);
    struct Row {
        const char* road;
        std::function<void()> open;
    } rows[] = {
        {"the dialog at start-up",
         [&] {
             script.OpenDatabase(path).ErrorDialog(true);
             frame = Start();
         }},
        {"File, Open",
         [&] {
             ASSERT_NE(StartCancelled(), nullptr);
             script.OpenDatabase(path).ErrorDialog(true);
             frame->mnufileItems_Click(100);
         }},
        {"a recent database, opened without the dialog",
         [&] {
             ASSERT_NE(StartCancelled(), nullptr);
             frame->MRU().SetMRUList(path, CMRU::MakeTag("", "", ""));
             script.ErrorDialog(true);
             frame->mnuFileMRU_Click(1);
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.road);
        { std::ofstream(AppDir() + "/ZURSTAT.MDW") << "not a workgroup file"; }
        r.open();
        QPointer<MDIMain> watch(frame);
        Pump(50);
        EXPECT_TRUE(script.Done());
        EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
        EXPECT_TRUE(watch.isNull());
        EXPECT_EQ(gdbCurrent, nullptr);
    }
}

} // namespace

