// The scenario list window: its resize arithmetic, type filters, minimum
// height, popup menu, caption timer and the selection kept by position.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/ui/Help.h"
#include "scenario/AppDatabase.h"
#include "support/ShownText.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QElapsedTimer>
#include <QTest>
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
    // list.db with these Describe scenarios, opened at start: the list.
    frmStatMain* OpenList(const std::vector<vtest::ScenarioSpec>& specs) {
        CreateScoresDatabase(File("list.db"), true, specs);
        return StartOnList();
    }
    // As many Describe scenarios, "Scenario <n>" into "out<n>" (the even
    // ones also into "second").
    frmStatMain* OpenList(int describeScenarios) {
        std::vector<vtest::ScenarioSpec> specs;
        for (int i = 1; i <= describeScenarios; ++i) {
            vtest::ScenarioSpec s = DescribeScores("out" + std::to_string(i), i % 2 == 0 ? "second" : "");
            s.description = "Scenario " + std::to_string(i);
            specs.push_back(s);
        }
        return OpenList(specs);
    }
    // The application started on list.db: the list.
    frmStatMain* StartOnList() {
        script.OpenDatabase(File("list.db"));
        frame = Start();
        return list = frame ? frame->StatMain() : nullptr;
    }
    QMdiSubWindow* Sub() const { return qobject_cast<QMdiSubWindow*>(list->parentWidget()); }
    // One scenario's list in a frame within the screen (the frame is kept on
    // it at the next start), maximized from 600 x 380: that normal geometry.
    QRect OpenListMaximized() {
        if (!OpenList(1))
            return {};
        frame->resize(760, 560);
        Pump();
        Sub()->setGeometry(30, 20, 600, 380);
        Pump();
        const QRect normal = Sub()->geometry();
        Sub()->showMaximized();
        Pump();
        return normal;
    }
    // After an exit: the value other versions read stays as it was, and the
    // next start shows the list maximized.
    void ExitAndStartAgainMaximized() {
        ExitApplication(frame);
        Pump();
        EXPECT_EQ(RegistryValue("Form Position", "frmStatMain"), "-1 -1 -1 -1 2");
        StartOnList();
        ASSERT_NE(list, nullptr);
        Pump();
        EXPECT_TRUE(Sub()->isMaximized());
    }

    ModalScript script;
    MDIMain* frame = nullptr;
    frmStatMain* list = nullptr;
};

TEST_F(ScenarioList, ButtonsStandRightAlignedInTheirOrder) {
    ASSERT_NE(OpenList(1), nullptr);
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
    for (int i : {0, 2, 3, 4, 5})
        EXPECT_TRUE(list->cmdAction(i)->isEnabled()) << i;
}

// The row reads Help, New, Edit, Duplicate, Delete, Run, but Tab went from
// the list to New ... Run and then back to Help at the far left.
TEST_F(ScenarioList, TabTakesTheButtonsFromLeftToRightAsTheyStand) {
    ASSERT_NE(OpenList(1), nullptr);
    const QStringList leftToRight = ButtonsLeftToRight(*list);
    ASSERT_EQ(leftToRight.size(), 6);
    EXPECT_EQ(ButtonsInTabOrder(*list), leftToRight);
}

TEST_F(ScenarioList, FirstOpeningIs610By360PixelsAndKeepsItsMinimumHeight) {
    ASSERT_NE(OpenList(1), nullptr);
    QMdiSubWindow* sub = Sub();
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

TEST_F(ScenarioList, MaximizedAtExitItComesBackMaximizedAndRestoresToItsOwnSize) {
    const QRect normal = OpenListMaximized();
    ASSERT_NE(list, nullptr);
    // Two starts that end maximized, then the restore.
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        ExitAndStartAgainMaximized();
    }
    Sub()->showNormal();
    Pump();
    EXPECT_EQ(Sub()->geometry(), normal) << "restored to " << Sub()->width() << " x " << Sub()->height();
    // Every button of the row inside the window.
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(list->rect().contains(list->cmdAction(i)->geometry())) << i;
}

TEST_F(ScenarioList, MaximizedBehindAMaximizedGridAtExitItComesBackMaximized) {
    const QRect normal = OpenListMaximized();
    ASSERT_NE(list, nullptr);
    // A grid opened now is maximized in front of the list, which becomes
    // maximized again as soon as it is the active window.
    frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_NE(grid, nullptr);
    Pump();
    ASSERT_TRUE(qobject_cast<QMdiSubWindow*>(grid->parentWidget())->isMaximized());
    ExitAndStartAgainMaximized();
    Sub()->showNormal();
    Pump();
    EXPECT_EQ(Sub()->geometry(), normal) << "restored to " << Sub()->width() << " x " << Sub()->height();
}

TEST_F(ScenarioList, ColumnsFitTheirTextsAndTheLastStretchesToTheEdge) {
    vtest::ScenarioSpec s = DescribeScores("outputTableWithAVeryLongNameIndeed");
    s.description = "A description far longer than the design width of its column, which cut it";
    OpenList({s});
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    QTreeWidgetItem* row = lvw->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    const QFontMetrics fm(lvw->font());
    struct Column {
        int index;
        const char* why;
    } columns[] = {{2, "the description"}, {4, "output table 1"}, {0, "\"ID #\": its header"}};
    for (const Column& c : columns) {
        SCOPED_TRACE(c.why);
        const QString text = row->text(c.index).isEmpty() ? lvw->headerItem()->text(c.index) : row->text(c.index);
        EXPECT_GE(lvw->columnWidth(c.index), fm.horizontalAdvance(text)) << text.toStdString();
    }
    EXPECT_EQ(row->toolTip(2), QString::fromStdString(s.description));
    // Maximized in a wide frame, the last column reaches the list's right edge.
    frame->resize(1700, 800);
    Sub()->showMaximized();
    Pump();
    QHeaderView* header = lvw->header();
    EXPECT_EQ(header->sectionViewportPosition(9) + header->sectionSize(9), lvw->viewport()->width());
}

// The tool tip that shows a text too wide for its column took a description
// that looks like HTML for HTML: the tags vanished and "<br>" broke the line.
TEST_F(ScenarioList, TheToolTipOfADescriptionThatLooksLikeHtmlShowsItAsItStands) {
    vtest::ScenarioSpec s = DescribeScores("out1");
    s.description = "Q1 <b>North</b><br>&  South";
    ASSERT_TRUE(Qt::mightBeRichText(QString::fromStdString(s.description))); // what the tip would take for HTML
    OpenList({s});
    ASSERT_NE(list, nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    ASSERT_EQ(lvw->topLevelItemCount(), 1);
    QToolTip::showText(lvw->viewport()->mapToGlobal(QPoint(10, 10)), lvw->topLevelItem(0)->toolTip(2), lvw);
    Pump();
    const auto* tip = qobject_cast<QLabel*>(
        [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible())
                    return w;
            return static_cast<QWidget*>(nullptr);
        }());
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(vtest::ShownText(tip), QString::fromStdString(s.description));
    QToolTip::hideText();
}

// The list opened without the keyboard: Enter, Delete and the Menu key did
// nothing until the user clicked a row.
TEST_F(ScenarioList, TheListHasTheKeyboardWhenItOpens) {
    ASSERT_NE(OpenList(2), nullptr);
    frame->activateWindow();
    Pump(100);
    EXPECT_EQ(QApplication::focusWidget(), list->lvwScenarios());
}

TEST_F(ScenarioList, TheKeyboardReachesThePopupRunAndDeleteAndTheFileMenuHasItsKeys) {
    ASSERT_NE(OpenList(2), nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    lvw->setCurrentItem(lvw->topLevelItem(1));
    lvw->setFocus();
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* why;
    } popupKeys[] = {{Qt::Key_Menu, Qt::NoModifier, "the Menu key"}, {Qt::Key_F10, Qt::ShiftModifier, "Shift+F10"}};
    for (const Key& k : popupKeys) {
        SCOPED_TRACE(k.why);
        QWidget* shown = nullptr;
        OnPopup(100, [&](QWidget* popup) { shown = popup; });
        QTest::keyClick(lvw, k.key, k.modifiers);
        Pump(200);
        EXPECT_EQ(shown, frame->mnuRightClick());
    }
    // Enter runs the selected scenario (the popup's default item): its grid opens.
    QTest::keyClick(lvw, Qt::Key_Return);
    QElapsedTimer wait;
    wait.start();
    while (!ShownGridOf(frame, QStringLiteral("out2")) && wait.elapsed() < 10000)
        Pump(20);
    EXPECT_NE(ShownGridOf(frame, QStringLiteral("out2")), nullptr);
    // Delete asks first; No is the default, so Enter keeps the scenario.
    lvw->setCurrentItem(lvw->topLevelItem(1));
    lvw->setFocus();
    QString focused, asked;
    script.Then(QStringLiteral("delete?"), [](QWidget* w) { return qobject_cast<frmMsgBox*>(w) != nullptr; },
                [&](QWidget* w) {
                    asked = qobject_cast<frmMsgBox*>(w)->Message();
                    focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
                    QTest::keyClick(w->focusWidget(), Qt::Key_Return);
                });
    QTest::keyClick(lvw, Qt::Key_Delete);
    Pump(300);
    EXPECT_TRUE(asked.startsWith(QStringLiteral("Are you sure you want to permanently delete Scenario #2")))
        << asked.toStdString();
    EXPECT_EQ(focused, QStringLiteral("cmdResponse7"));
    EXPECT_EQ(lvw->topLevelItemCount(), 2);
    script.Message(frmMsgBox::vbYes);
    lvw->setCurrentItem(lvw->topLevelItem(1));
    QTest::keyClick(lvw, Qt::Key_Delete);
    Pump(300);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(lvw->topLevelItemCount(), 1);
    // The desktop's keys for opening and quitting.
    EXPECT_EQ(frame->mnufileItems(100)->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(frame->mnufileItems(1000)->shortcut(), QKeySequence(QKeySequence::Quit));
}

TEST_F(ScenarioList, FramesStandInTheTabStripAndTheListAboveIt) {
    ASSERT_NE(OpenList(1), nullptr);
    for (int tab : {1, 2, 3})
        EXPECT_EQ(list->SubTypeFrame(tab)->isVisible(), tab == 1) << tab;
    // 1995 x 2520 twips, wider where a caption needs it (all three alike).
    EXPECT_EQ(list->SubTypeFrame(1)->height(), 168);
    EXPECT_GE(list->SubTypeFrame(1)->width(), 133);
    EXPECT_EQ(list->SubTypeFrame(2)->width(), list->SubTypeFrame(1)->width());
    for (int tab : {1, 2, 3})
        EXPECT_TRUE(list->optAnalysisType(tab, 1)->isChecked()) << tab;
    // The list lies on top of the tab strip.
    const QObjectList& children = list->children();
    EXPECT_GT(children.indexOf(list->lvwScenarios()), children.indexOf(list->tabMain()));
    // 2340 twips from the left, or right of wider frames.
    EXPECT_EQ(list->lvwScenarios()->y(), 40);
    EXPECT_GE(list->lvwScenarios()->x(), 156);
    EXPECT_GT(list->lvwScenarios()->x(), list->SubTypeFrame(1)->geometry().right());
}

TEST_F(ScenarioList, NoTypeCaptionIsClippedTwoSampleTTestIncluded) {
    ASSERT_NE(OpenList(1), nullptr);
    const int counts[] = {0, 8, 4, 8};
    for (int tab = 1; tab <= 3; ++tab) {
        list->tabMain()->setCurrentIndex(tab - 1);
        Pump();
        for (int i = 1; i <= counts[tab]; ++i) {
            QRadioButton* option = list->optAnalysisType(tab, i);
            SCOPED_TRACE(option->text().toStdString());
            EXPECT_GE(option->width(), option->sizeHint().width()) << "the caption is cut";
            EXPECT_LE(option->mapTo(list, QPoint(option->sizeHint().width(), 0)).x(),
                      list->SubTypeFrame(tab)->geometry().right());
        }
        // The list does not cover the frame.
        EXPECT_GT(list->lvwScenarios()->x(), list->SubTypeFrame(tab)->geometry().right());
    }
}

TEST_F(ScenarioList, PopupMenuEnablesOutputTable2OnlyForScenariosThatNameOne) {
    ASSERT_NE(OpenList(2), nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    bool enabledFor[2] = {true, false};
    QAction* item110 = frame->mnuRightClickItems(110);
    for (int row = 0; row < 2; ++row) {
        lvw->setCurrentItem(lvw->topLevelItem(row));
        OnPopup(50, [&, row](QWidget*) { enabledFor[row] = item110->isEnabled(); });
        list->lvwScenarios_MouseUp(Qt::RightButton, QPoint(100, 100));
    }
    EXPECT_FALSE(enabledFor[0]); // scenario 1: no second table
    EXPECT_TRUE(enabledFor[1]);  // scenario 2: "second"

    // With nothing selected no menu comes up.
    lvw->clearSelection();
    bool shown = false;
    OnPopup(50, [&](QWidget* popup) { shown = popup != nullptr; });
    list->lvwScenarios_MouseUp(Qt::RightButton, QPoint(100, 100));
    Pump(80);
    EXPECT_FALSE(shown);
}

TEST_F(ScenarioList, PopupItemsActOnTheSelectedScenarioAndReload) {
    ASSERT_NE(OpenList(3), nullptr);
    QTreeWidget* lvw = list->lvwScenarios();
    lvw->setCurrentItem(lvw->topLevelItem(2));
    frame->mnuRightClickItems_Click(90); // through the frame, as the menu does
    Pump();
    const QList<frmDataGrid*> grids = ShownGrids(frame);
    for (frmDataGrid* g : grids)
        EXPECT_EQ(g->windowTitle(), QStringLiteral("Input Data Table: Scores"));
    EXPECT_EQ(grids.size(), 1);
    // Reloaded, and the third row selected again.
    ASSERT_TRUE(list->GetScenarioInfo().has_value());
    EXPECT_EQ(list->GetScenarioInfo()->ScenarioID(), "3");
}

TEST_F(ScenarioList, HelpOpensTheHelpFileAtTheListTopic) {
    ASSERT_NE(OpenList(1), nullptr);
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
    ASSERT_NE(OpenList(3), nullptr);
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
    ASSERT_NE(OpenList(1), nullptr);
    list->SetScenType(QStringLiteral("x' Or 'a'='a"));
    list->LoadScenarios();
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 0);
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
    EXPECT_EQ(script.Seen().size(), 1u);
}

TEST_F(ScenarioList, CaptionTimerWritesTheNumberOfLoadedForms) {
    ASSERT_NE(OpenList(1), nullptr);
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    EXPECT_EQ(list->Timer1()->interval(), 1000);
    EXPECT_TRUE(list->Timer1()->isActive());
    Pump(1100);
    // The frame, the list and one grid.
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("ZUR Varnello Scenario Designer 3"));
}

TEST_F(ScenarioList, WindowMenuTilesAndCascadesTheDocumentWindows) {
    ASSERT_NE(OpenList(1), nullptr);
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

TEST_F(ScenarioList, TheWindowMenuShowsAnAmpersandOfATableNameAsItStands) {
    CreateScoresDatabase(File("list.db"), true);
    CreateTableIn(File("list.db"), "Q&A");
    ASSERT_NE(StartOnList(), nullptr);
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Q&A"), QStringLiteral("Input Data Table")), nullptr);
    emit frame->mnuWindow()->aboutToShow();
    QStringList entries;
    const QList<QAction*> actions = frame->mnuWindow()->actions();
    for (QAction* a : actions)
        if (a->isCheckable())
            entries << a->text();
    // "&&" is the menu's literal "&".
    EXPECT_EQ(entries, QStringList({"&1 Analysis Scenarios", "&2 Input Data Table: Q&&A"}));
}

TEST_F(ScenarioList, CloseDatabaseFormsClosesEveryGrid) {
    ASSERT_NE(OpenList(1), nullptr);
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
