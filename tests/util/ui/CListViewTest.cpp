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

// A filled list with a CListView attached; `shown`: on screen, its headers
// clickable as the scenario list sets it up.
struct FilledList {
    QTreeWidget lvw;
    CListView lv;
    explicit FilledList(bool shown = false) {
        Fill(lvw);
        if (shown) {
            lvw.header()->setSectionsClickable(true);
            lvw.show();
        }
        lv.SetListView(&lvw);
    }
    QTreeWidgetItem* Row(int i) const { return lvw.topLevelItem(i); }
    // Every header click goes to the CListView, as the forms connect it.
    void ForwardHeaderClicks() {
        QObject::connect(lvw.header(), &QHeaderView::sectionClicked, [this](int section) { lv.OnColumnClick(section + 1); });
    }
};

// Clicks the list at `at` and counts the Left keys that sends.
int LeftKeysSentByClickAt(CListView& lv, QPoint at) {
    LeftKeyCounter keys;
    lv.OnClickAt(at);
    QCoreApplication::processEvents();
    return keys.presses;
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
    EXPECT_EQ(LeftKeysSentByClickAt(lv, QPoint(250, 5)), 0);
    EXPECT_EQ(lvw.currentItem(), nullptr);
}

// A point inside the third column of row `row` of a filled list.
QPoint InThirdColumn(const FilledList& l, int row) {
    return {l.lvw.header()->sectionViewportPosition(2) + 5, l.lvw.visualItemRect(l.Row(row)).center().y()};
}

TEST(CListView, ClickInTheThirdColumnSelectsTheRowAndSendsLeft) {
    FilledList l(true);
    l.lv.SetFullRowSelect();
    l.lvw.setCurrentItem(l.Row(0));
    EXPECT_EQ(LeftKeysSentByClickAt(l.lv, InThirdColumn(l, 2)), 1);
    EXPECT_EQ(l.lvw.currentItem(), l.Row(2));
}

TEST(CListView, ClickOnTheSelectedRowSendsNoKey) {
    FilledList l(true);
    l.lvw.setCurrentItem(l.Row(1));
    EXPECT_EQ(LeftKeysSentByClickAt(l.lv, l.lvw.visualItemRect(l.Row(1)).center()), 0);
    EXPECT_EQ(l.lvw.currentItem(), l.Row(1));
}

TEST(CListView, ClickBelowTheLastRowDoesNothing) {
    FilledList l(true);
    l.lvw.setCurrentItem(l.Row(0));
    EXPECT_EQ(LeftKeysSentByClickAt(l.lv, QPoint(10, l.lvw.visualItemRect(l.Row(2)).bottom() + 40)), 0);
    EXPECT_EQ(l.lvw.currentItem(), l.Row(0));
}

TEST(CListView, OnClickReadsTheMousePointer) {
    FilledList l(true);
    l.lvw.setCurrentItem(l.Row(0));
    const QPoint inThirdColumn = InThirdColumn(l, 1);
    QCursor::setPos(l.lvw.viewport()->mapToGlobal(inThirdColumn));
    if (l.lvw.viewport()->mapFromGlobal(QCursor::pos()) != inThirdColumn)
        GTEST_SKIP() << "this platform cannot place the mouse pointer";
    l.lv.OnClick();
    EXPECT_EQ(l.lvw.currentItem(), l.Row(1));
}

TEST(CListView, ColumnClickSortsByThatColumnWithoutToggling) {
    FilledList l;
    l.lv.OnColumnClick(3); // "Group": a, b, c
    EXPECT_EQ(l.lvw.sortColumn(), 2);
    EXPECT_EQ(Names(l.lvw), (QStringList{"Charlie", "Bravo", "Alpha"}));
    l.lv.OnColumnClick(3);
    EXPECT_EQ(Names(l.lvw), (QStringList{"Charlie", "Bravo", "Alpha"}));
    l.lv.OnColumnClick(1); // "Name"
    EXPECT_EQ(l.lvw.sortColumn(), 0);
    EXPECT_EQ(Names(l.lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_TRUE(l.lvw.isSortingEnabled());
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
    FilledList l;
    l.ForwardHeaderClicks();
    l.lv.OnColumnClick(1);
    // What a click on the same header does inside the view: flip, then tell.
    l.lvw.header()->setSortIndicator(0, Qt::DescendingOrder);
    emit l.lvw.header()->sectionClicked(0);
    EXPECT_EQ(Names(l.lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
}

TEST(CListView, ResetSortKeySwitchesSortingOffAfterTheClick) {
    FilledList l;
    l.lv.SetResetSortKeyOnColumnClick(true);
    l.lv.OnColumnClick(1);
    EXPECT_FALSE(l.lvw.isSortingEnabled());
    EXPECT_EQ(Names(l.lvw), (QStringList{"Alpha", "Bravo", "Charlie"}));
    // Rows added later are appended unsorted.
    auto* late = new QTreeWidgetItem(&l.lvw);
    late->setText(0, QStringLiteral("Aardvark"));
    EXPECT_EQ(Names(l.lvw), (QStringList{"Alpha", "Bravo", "Charlie", "Aardvark"}));
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
    FilledList l(true);
    l.lv.SetResetSortKeyOnColumnClick(true);
    l.ForwardHeaderClicks();
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
        ClickHeader(l.lvw, r.section);
        EXPECT_EQ(Names(l.lvw), r.names) << r.why;
        EXPECT_FALSE(l.lvw.isSortingEnabled()) << r.why;
    }
}

TEST(CListView, ColumnClickRestoresTheDefaultPointer) {
    platform::ui::SetScreenMousePointer(platform::ui::vbHourglass);
    FilledList l;
    l.lv.OnColumnClick(1);
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
