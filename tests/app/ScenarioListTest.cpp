// The scenario list window: its resize arithmetic, type filters, minimum
// height, popup menu, caption timer and the selection kept by position.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "platform/App.h"
#include "platform/ui/Help.h"
#include "scenario/AppDatabase.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace apptest;

namespace {

// ---- resize arithmetic (twips) -------------------------------------------------

struct LayoutCase {
    const char* label;
    int W, H, w;
    frmStatMain::Rect tab, list;
    int buttonTop;
    std::array<int, 6> buttonLeft;
};

class ScenarioListLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ScenarioListLayout, PlacesTabListAndButtons) {
    const LayoutCase& c = GetParam();
    const frmStatMain::Layout l = frmStatMain::ComputeLayout(c.W, c.H, c.w);
    EXPECT_EQ(l.tab, c.tab);
    EXPECT_EQ(l.list, c.list);
    EXPECT_EQ(l.buttonTop, c.buttonTop);
    EXPECT_EQ(l.buttonLeft, c.buttonLeft);
}

// Right to left: Run (4) at W − w − 60, then Delete, Duplicate, Edit, New,
// and Help (5) leftmost, each w + 60 further left.
INSTANTIATE_TEST_SUITE_P(
    Sizes, ScenarioListLayout,
    ::testing::Values(
        // 610 x 360 pixels of client area.
        LayoutCase{"Default", 9150, 5400, 1035, {120, 60, 8970, 4680}, {2340, 600, 6554, 4020}, 4936,
                   {3675, 4770, 5865, 6960, 8055, 2580}},
        // Narrow and low: the list keeps 2341 twips, the tab strip 121 and 1.
        LayoutCase{"Narrow", 3000, 500, 1035, {120, 60, 2820, 1}, {2340, 600, 2341, 1}, 257,
                   {-2475, -1380, -285, 810, 1905, -3570}},
        LayoutCase{"Tiny", 150, 700, 900, {120, 60, 121, 1}, {2340, 600, 2341, 1}, 257,
                   {-4650, -3690, -2730, -1770, -810, -5610}},
        LayoutCase{"Wide", 15000, 9000, 1035, {120, 60, 14820, 8280}, {2340, 600, 12404, 7620}, 8536,
                   {9525, 10620, 11715, 12810, 13905, 8430}}),
    [](const ::testing::TestParamInfo<LayoutCase>& p) { return std::string(p.param.label); });

// ---- the window -------------------------------------------------------------------------

class ScenarioList : public AppFixture {
protected:
    frmStatMain* OpenList(int describeScenarios) {
        const std::string path = File("list.db");
        std::vector<vtest::ScenarioSpec> specs;
        for (int i = 1; i <= describeScenarios; ++i) {
            vtest::ScenarioSpec s = DescribeScores("out" + std::to_string(i), i % 2 == 0 ? "second" : "");
            s.description = "Scenario " + std::to_string(i);
            specs.push_back(s);
        }
        CreateScoresDatabase(path, true, specs);
        script.OpenDatabase(path);
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }
    QMdiSubWindow* Sub(frmStatMain* list) { return qobject_cast<QMdiSubWindow*>(list->parentWidget()); }

    ModalScript script;
    MDIMain* frame = nullptr;
};

TEST_F(ScenarioList, ButtonsStandRightAlignedInTheirOrder) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    const char* captions[] = {"&New", "&Edit", "Dup&licate", "&Delete", "&Run", "&Help"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list->cmdAction(i)->text(), QString::fromLatin1(captions[i]));
    // Left to right: Help, New, Edit, Duplicate, Delete, Run.
    const int order[] = {5, 0, 1, 2, 3, 4};
    for (int k = 1; k < 6; ++k)
        EXPECT_LT(list->cmdAction(order[k - 1])->x(), list->cmdAction(order[k])->x());
    EXPECT_EQ(list->cmdAction(4)->geometry().right(), list->width() - 1 - 4); // 60 twips from the edge
    EXPECT_EQ(list->cmdAction(0)->size(), QSize(69, 21));
    // New opens the designer; Duplicate and Delete open their dialogs.
    EXPECT_TRUE(list->cmdAction(0)->isEnabled());
    EXPECT_TRUE(list->cmdAction(2)->isEnabled());
    EXPECT_TRUE(list->cmdAction(3)->isEnabled());
    EXPECT_TRUE(list->cmdAction(4)->isEnabled());
    EXPECT_TRUE(list->cmdAction(5)->isEnabled());
}

TEST_F(ScenarioList, FirstOpeningIs610By360PixelsAndKeepsItsMinimumHeight) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    QMdiSubWindow* sub = Sub(list);
    EXPECT_EQ(sub->frameGeometry().size(), QSize(610, 360));
    // Below 4000 twips of outer height it snaps back to 4000 (267 pixels).
    sub->resize(600, 150);
    Pump();
    EXPECT_EQ(sub->height(), 267);
    // Maximized it may be anything; minimized changes no layout.
    const QRect buttonBefore = list->cmdAction(4)->geometry();
    sub->showMinimized();
    Pump();
    EXPECT_EQ(list->cmdAction(4)->geometry(), buttonBefore);
}

TEST_F(ScenarioList, FramesStandInTheTabStripAndTheListAboveIt) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->SubTypeFrame(1)->isVisible());
    EXPECT_FALSE(list->SubTypeFrame(2)->isVisible());
    EXPECT_FALSE(list->SubTypeFrame(3)->isVisible());
    EXPECT_EQ(list->SubTypeFrame(1)->size(), QSize(133, 168));
    EXPECT_TRUE(list->optAnalysisType(1, 1)->isChecked());
    EXPECT_TRUE(list->optAnalysisType(2, 1)->isChecked());
    EXPECT_TRUE(list->optAnalysisType(3, 1)->isChecked());
    // The list lies on top of the tab strip.
    const QObjectList& children = list->children();
    EXPECT_GT(children.indexOf(list->lvwScenarios()), children.indexOf(list->tabMain()));
    EXPECT_EQ(list->lvwScenarios()->geometry().topLeft(), QPoint(156, 40));
}

TEST_F(ScenarioList, PopupMenuEnablesOutputTable2OnlyForScenariosThatNameOne) {
    frmStatMain* list = OpenList(2);
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    bool enabledFor[2] = {true, false};
    QAction* item110 = frame->mnuRightClickItems(110);
    for (int row = 0; row < 2; ++row) {
        lvw->setCurrentItem(lvw->topLevelItem(row));
        QTimer::singleShot(50, [&, row] {
            enabledFor[row] = item110->isEnabled();
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        list->lvwScenarios_MouseUp(Qt::RightButton, QPoint(100, 100));
    }
    EXPECT_FALSE(enabledFor[0]); // scenario 1: no second table
    EXPECT_TRUE(enabledFor[1]);  // scenario 2: "second"

    // With nothing selected no menu comes up.
    lvw->clearSelection();
    bool shown = false;
    QTimer::singleShot(50, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            shown = true;
            popup->close();
        }
    });
    list->lvwScenarios_MouseUp(Qt::RightButton, QPoint(100, 100));
    Pump(80);
    EXPECT_FALSE(shown);
}

TEST_F(ScenarioList, PopupItemsActOnTheSelectedScenarioAndReload) {
    frmStatMain* list = OpenList(3);
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    lvw->setCurrentItem(lvw->topLevelItem(2));
    frame->mnuRightClickItems_Click(90); // through the frame, as the menu does
    Pump();
    int grids = 0;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        if (auto* g = qobject_cast<frmDataGrid*>(sub->widget()); g && sub->isVisible()) {
            ++grids;
            EXPECT_EQ(g->windowTitle(), QStringLiteral("Input Data Table: Scores"));
        }
    EXPECT_EQ(grids, 1);
    // Reloaded, and the third row selected again.
    ASSERT_TRUE(list->GetScenarioInfo().has_value());
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "3");
}

TEST_F(ScenarioList, HelpOpensTheHelpFileAtTheListTopic) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    QStringList calls;
    auto previous = platform::ui::SetHelpHandler([&](const QString& file, unsigned command, const QVariant& data) {
        calls << QStringLiteral("%1|%2|%3").arg(file).arg(command).arg(data.toInt());
        return true;
    });
    list->cmdAction_Click(5);
    list->ContextMenuHandler(150);
    platform::ui::SetHelpHandler(previous);
    const QString expected = QString::fromStdString(platform::App::HelpFile()) + QStringLiteral("|1|300");
    EXPECT_EQ(calls, (QStringList{expected, expected}));
}

TEST_F(ScenarioList, SelectionIsRestoredByPositionAfterACommand) {
    frmStatMain* list = OpenList(3);
    ASSERT_NE(list, nullptr);
    auto previous = platform::ui::SetHelpHandler([](const QString&, unsigned, const QVariant&) { return true; });
    QTreeWidget* lvw = list->lvwScenarios();
    // The last row deleted behind the list: the new last row is selected.
    lvw->setCurrentItem(lvw->topLevelItem(2));
    gdbCurrent->Execute("DELETE FROM usysQuorbScenarios WHERE Scenario_ID = 3");
    list->cmdAction_Click(5); // Help: reloads like every command
    EXPECT_EQ(lvw->topLevelItemCount(), 2);
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "2");
    // A middle row deleted: the row moving into its place is selected.
    gdbCurrent->Execute("DELETE FROM usysQuorbScenarios WHERE Scenario_ID = 1");
    lvw->setCurrentItem(lvw->topLevelItem(0));
    list->ContextMenuHandler(150);
    EXPECT_EQ(lvw->topLevelItemCount(), 1);
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "2");
    // All gone: nothing selected.
    gdbCurrent->Execute("DELETE FROM usysQuorbScenarios");
    list->cmdAction_Click(5);
    EXPECT_EQ(lvw->topLevelItemCount(), 0);
    EXPECT_FALSE(list->GetScenarioInfo().has_value());
    platform::ui::SetHelpHandler(previous);
}

TEST_F(ScenarioList, ScenTypeWithAQuoteDoesNotBreakTheListQuery) {
    // The filter goes into the statement as a text literal; a quote in it
    // must not end the literal.
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    list->SetScenType(QStringLiteral("x' Or 'a'='a"));
    list->LoadScenarios();
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 0);
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(script.Seen().size(), 1u);
}

TEST_F(ScenarioList, CaptionTimerWritesTheNumberOfLoadedForms) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    EXPECT_EQ(list->Timer1()->interval(), 1000);
    EXPECT_TRUE(list->Timer1()->isActive());
    Pump(1100);
    // The frame, the list and one grid.
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("ZUR Varnello Scenario Designer 3"));
}

TEST_F(ScenarioList, WindowMenuTilesAndCascadesTheDocumentWindows) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    // Room enough that half the height stays above the list's minimum.
    frame->resize(760, 720);
    Pump();
    const QRect area = frame->MdiArea()->viewport()->rect();
    ASSERT_GT(area.height() / 2, 267);
    const QList<QMdiSubWindow*> windows = frame->MdiArea()->subWindowList();
    ASSERT_EQ(windows.size(), 2);
    frame->mnuWindowItems_Click(0); // horizontally: full width, one below the other
    EXPECT_EQ(windows[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(windows[1]->geometry(), QRect(0, area.height() / 2, area.width(), area.height() - area.height() / 2));
    frame->mnuWindowItems_Click(10); // vertically: side by side
    EXPECT_EQ(windows[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(windows[1]->geometry(), QRect(area.width() / 2, 0, area.width() - area.width() / 2, area.height()));
    frame->mnuWindowItems_Click(20); // cascade: each one further down and right
    EXPECT_LT(windows[0]->y(), windows[1]->y());
    EXPECT_LT(windows[0]->x(), windows[1]->x());
}

TEST_F(ScenarioList, CloseDatabaseFormsClosesEveryGrid) {
    frmStatMain* list = OpenList(1);
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    Pump();
    EXPECT_EQ(LoadedForms().size(), 5);
    CloseDatabaseForms();
    Pump();
    EXPECT_EQ(LoadedForms().size(), 1);
    EXPECT_EQ(frame->StatMain(), nullptr);
    // With none open it only closes the list (and there is none).
    CloseDatabaseForms();
    EXPECT_EQ(LoadedForms().size(), 1);
}

} // namespace
