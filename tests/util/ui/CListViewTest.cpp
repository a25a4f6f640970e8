#include "util/ui/CListView.h"

#include "support/QtTestSupport.h"
#include "errors/RunTimeError.h"
#include "platform/ui/ScreenPointer.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QHeaderView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeWidget>


namespace {

// Counts Left key presses delivered anywhere in the application.
class LeftKeyCounter : public QObject {
public:
    LeftKeyCounter() { qApp->installEventFilter(this); }
    ~LeftKeyCounter() override { qApp->removeEventFilter(this); }
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Left)
            ++presses;
        return false;
    }
};

// A report-mode list of three columns: name, count, group.
void Fill(QTreeWidget& lvw) {
    lvw.setColumnCount(3);
    lvw.setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Count"), QStringLiteral("Group")});
    lvw.setRootIsDecorated(false);
    const char* rows[][3] = {{"Bravo", "30", "b"}, {"Alpha", "10", "c"}, {"Charlie", "20", "a"}};
    for (const auto& r : rows) {
        auto* item = new QTreeWidgetItem(&lvw);
        for (int c = 0; c < 3; ++c)
            item->setText(c, QString::fromLatin1(r[c]));
    }
    lvw.resize(400, 300);
}

QStringList Names(const QTreeWidget& lvw) {
    QStringList out;
    for (int i = 0; i < lvw.topLevelItemCount(); ++i)
        out << lvw.topLevelItem(i)->text(0);
    return out;
}

} // namespace

TEST(CListView, SetRedrawWithoutAControlDoesNothing) {
    CListView lv;
    EXPECT_NO_THROW(lv.SetRedraw(false));
    EXPECT_NO_THROW(lv.SetRedraw(true));
    EXPECT_FALSE(lv.ResetSortKeyOnColumnClick());
}

TEST(CListView, SetRedrawSwitchesPaintingOffAndOn) {
    QTreeWidget lvw;
    CListView lv;
    lv.SetListView(&lvw);
    lv.SetRedraw(false);
    EXPECT_FALSE(lvw.updatesEnabled());
    lv.SetRedraw(true);
    EXPECT_TRUE(lvw.updatesEnabled());
}

TEST(CListView, FullRowSelectKeepsTheOtherSettings) {
    QTreeWidget lvw;
    lvw.setAlternatingRowColors(true);
    lvw.setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvw.setSelectionBehavior(QAbstractItemView::SelectItems);
    CListView lv;
    lv.SetListView(&lvw);
    lv.SetFullRowSelect();
    EXPECT_EQ(lvw.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(lvw.alternatingRowColors());
    EXPECT_EQ(lvw.selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(CListView, FullRowSelectWithoutAControlRaisesAnError) {
    CListView lv;
    for (auto call : {+[](CListView& l) { l.SetFullRowSelect(); }, +[](CListView& l) { l.OnColumnClick(1); }}) {
        try {
            call(lv);
            ADD_FAILURE() << "no error raised";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.Number(), 91);
            EXPECT_EQ(e.Description(), "Object variable or With block variable not set");
        }
    }
}

TEST(CListView, ClickOnAnEmptyListDoesNothing) {
    QTreeWidget lvw;
    lvw.setColumnCount(3);
    lvw.resize(300, 200);
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    LeftKeyCounter keys;
    lv.OnClickAt(QPoint(250, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(lvw.currentItem(), nullptr);
    EXPECT_EQ(keys.presses, 0);
}

TEST(CListView, ClickInTheThirdColumnSelectsTheRowAndSendsLeft) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSectionsClickable(true); // as the scenario list sets it up
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    lv.SetFullRowSelect();
    lvw.setCurrentItem(lvw.topLevelItem(0));

    const QRect row = lvw.visualItemRect(lvw.topLevelItem(2));
    const int x = lvw.header()->sectionViewportPosition(2) + 5; // inside the third column
    LeftKeyCounter keys;
    lv.OnClickAt(QPoint(x, row.center().y()));
    QCoreApplication::processEvents();
    EXPECT_EQ(lvw.currentItem(), lvw.topLevelItem(2));
    EXPECT_EQ(keys.presses, 1);
}

TEST(CListView, ClickOnTheSelectedRowSendsNoKey) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSectionsClickable(true); // as the scenario list sets it up
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    lvw.setCurrentItem(lvw.topLevelItem(1));
    LeftKeyCounter keys;
    lv.OnClickAt(lvw.visualItemRect(lvw.topLevelItem(1)).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(lvw.currentItem(), lvw.topLevelItem(1));
    EXPECT_EQ(keys.presses, 0);
}

TEST(CListView, ClickBelowTheLastRowDoesNothing) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSectionsClickable(true); // as the scenario list sets it up
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    lvw.setCurrentItem(lvw.topLevelItem(0));
    LeftKeyCounter keys;
    const QRect last = lvw.visualItemRect(lvw.topLevelItem(2));
    lv.OnClickAt(QPoint(10, last.bottom() + 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(lvw.currentItem(), lvw.topLevelItem(0));
    EXPECT_EQ(keys.presses, 0);
}

TEST(CListView, OnClickReadsTheMousePointer) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSectionsClickable(true); // as the scenario list sets it up
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    lvw.setCurrentItem(lvw.topLevelItem(0));
    const QRect row = lvw.visualItemRect(lvw.topLevelItem(1));
    const QPoint inThirdColumn(lvw.header()->sectionViewportPosition(2) + 5, row.center().y());
    QCursor::setPos(lvw.viewport()->mapToGlobal(inThirdColumn));
    if (lvw.viewport()->mapFromGlobal(QCursor::pos()) != inThirdColumn)
        GTEST_SKIP() << "this platform cannot place the mouse pointer";
    lv.OnClick();
    EXPECT_EQ(lvw.currentItem(), lvw.topLevelItem(1));
}

TEST(CListView, ColumnClickSortsByThatColumnWithoutToggling) {
    QTreeWidget lvw;
    Fill(lvw);
    CListView lv;
    lv.SetListView(&lvw);
    lv.OnColumnClick(3); // "Group": a, b, c
    EXPECT_EQ(lvw.sortColumn(), 2);
    EXPECT_EQ(Names(lvw), (QStringList{"Charlie", "Bravo", "Alpha"}));
    lv.OnColumnClick(3);
    EXPECT_EQ(Names(lvw), (QStringList{"Charlie", "Bravo", "Alpha"}));
    lv.OnColumnClick(1); // "Name"
    EXPECT_EQ(lvw.sortColumn(), 0);
    EXPECT_EQ(Names(lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_TRUE(lvw.isSortingEnabled());
}

TEST(CListView, ColumnClickKeepsADescendingOrder) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSortIndicator(0, Qt::DescendingOrder);
    lvw.header()->setSortIndicatorShown(true);
    CListView lv;
    lv.SetListView(&lvw);
    lv.OnColumnClick(2); // "Count": 30, 20, 10
    EXPECT_EQ(Names(lvw), (QStringList{"Bravo", "Charlie", "Alpha"}));
    lv.OnColumnClick(2);
    EXPECT_EQ(Names(lvw), (QStringList{"Bravo", "Charlie", "Alpha"}));
    EXPECT_EQ(lvw.header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST(CListView, HeaderClicksOfTheViewItselfDoNotToggleTheOrder) {
    QTreeWidget lvw;
    Fill(lvw);
    CListView lv;
    lv.SetListView(&lvw);
    QObject::connect(lvw.header(), &QHeaderView::sectionClicked, [&](int section) { lv.OnColumnClick(section + 1); });
    lv.OnColumnClick(1);
    // What a click on the same header does inside the view: flip, then tell.
    lvw.header()->setSortIndicator(0, Qt::DescendingOrder);
    emit lvw.header()->sectionClicked(0);
    EXPECT_EQ(Names(lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
}

TEST(CListView, ResetSortKeySwitchesSortingOffAfterTheClick) {
    QTreeWidget lvw;
    Fill(lvw);
    CListView lv;
    lv.SetListView(&lvw);
    lv.SetResetSortKeyOnColumnClick(true);
    lv.OnColumnClick(1);
    EXPECT_FALSE(lvw.isSortingEnabled());
    EXPECT_EQ(Names(lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
    // Rows added later are appended unsorted.
    auto* late = new QTreeWidgetItem(&lvw);
    late->setText(0, QStringLiteral("Aardvark"));
    EXPECT_EQ(Names(lvw), (QStringList{"Alpha", "Bravo", "Charlie", "Aardvark"}));
}

// A press and release of the left button in the middle of a header section.
void ClickHeader(QTreeWidget& lvw, int section) {
    QHeaderView* header = lvw.header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &e);
    }
}

TEST(CListView, EveryHeaderClickSortsAfterSortingWasSwitchedOff) {
    QTreeWidget lvw;
    Fill(lvw);
    lvw.header()->setSectionsClickable(true); // as the scenario list sets it up
    lvw.show();
    CListView lv;
    lv.SetListView(&lvw);
    lv.SetResetSortKeyOnColumnClick(true);
    QObject::connect(lvw.header(), &QHeaderView::sectionClicked, [&](int section) { lv.OnColumnClick(section + 1); });
    struct Row {
        int section;
        QStringList names;
        const char* why;
    } rows[] = {
        {2, {"Charlie", "Bravo", "Alpha"}, "Group: a, b, c"},
        {0, {"Alpha", "Bravo", "Charlie"}, "Name: the second click sorts too"},
        {1, {"Alpha", "Charlie", "Bravo"}, "Count: 10, 20, 30 as text"},
        {2, {"Charlie", "Bravo", "Alpha"}, "Group again"},
    };
    for (const Row& r : rows) {
        ClickHeader(lvw, r.section);
        EXPECT_EQ(Names(lvw), r.names) << r.why;
        EXPECT_FALSE(lvw.isSortingEnabled()) << r.why;
    }
}

TEST(CListView, ColumnClickRestoresTheDefaultPointer) {
    platform::ui::SetScreenMousePointer(platform::ui::vbHourglass);
    QTreeWidget lvw;
    Fill(lvw);
    CListView lv;
    lv.SetListView(&lvw);
    lv.OnColumnClick(1);
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
}

TEST(CListView, ADestroyedControlIsNotUsed) {
    CListView lv;
    {
        QTreeWidget lvw;
        lv.SetListView(&lvw);
    }
    EXPECT_EQ(lv.ListView(), nullptr);
    EXPECT_NO_THROW(lv.SetRedraw(true));
    EXPECT_NO_THROW(lv.OnClick());
}
