// The designer's windows as a user meets them: Escape and the close box, one
// size, place and row of buttons for every page, Enter, access keys, long
// field names, a source that is gone, the help of each page, the default
// answer of its questions and the table viewer's rows.
#include "DesignerTestSupport.h"

#include "designer/OptionsPages.h"
#include "designer/TransferButton.h"
#include "designer/WizServices.h"
#include "designer/TransferInOut.h"
#include "designer/frmDataGridDialog.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/ui/Help.h"
#include "platform/ui/Twips.h"
#include "util/ui/CRecordsetTableModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace {

using dtest::DesignerTest;
using dtest::Script;

using dtest::NewPage;
using dtest::Pump;

// NewPage, shown on the screen.
std::unique_ptr<CWizPage> ShownPage(long number, CMelvarsPropWiz& wiz) {
    std::unique_ptr<CWizPage> page = NewPage(number, wiz);
    if (!page) return page;
    page->show();
    Pump();
    return page;
}

const long kEveryPage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 50};

// The button that takes the user forward: Next, or Save and Run on the Finish page.
QPushButton* Forward(CWizPage& page) {
    return page.findChild<QPushButton*>(page.objectName() == QLatin1String("frmQuorb_Finish")
                                            ? QStringLiteral("cmdNav_4")
                                            : QStringLiteral("cmdNav_2"));
}

// The page's Cancel: cmdNav_2 on the Finish page, cmdNav_4 elsewhere.
QPushButton* Cancel(CWizPage& page) {
    return page.findChild<QPushButton*>(page.objectName() == QLatin1String("frmQuorb_Finish")
                                            ? QStringLiteral("cmdNav_2")
                                            : QStringLiteral("cmdNav_4"));
}

// ---- Escape and the close box ------------------------------------------------------

// The type and Finish pages ignored Escape and their close box, and the type
// and table pages could be left only with Back: on every page both now do
// what the page's Cancel does, asking first when the scenario changed.
struct EscapeRow {
    const char* reason;
    const char* type;
    long start;
    const char* window;
    bool closeBox;    // else Escape
    bool changed;     // the user changed something first
    std::vector<int> answers;
    int questions;
    QStringList shownAfter; // the windows shown again after a No (each left with Back or leave)
};

using EscapeAndCloseBox = DesignerTest;

TEST_F(EscapeAndCloseBox, DoWhatCancelDoesOnEveryPage) {
    const EscapeRow rows[] = {
        {"type page, Escape", "Describe", 1, "frmQuorb_Create", false, false, {}, 0, {}},
        {"type page, close box", "Describe", 1, "frmQuorb_Create", true, false, {}, 0, {}},
        {"type page after changes: asks, Yes ends", "Describe", 1, "frmQuorb_Create", false, true, {6}, 1, {}},
        {"type page after changes: No shows it again", "Describe", 1, "frmQuorb_Create", true, true, {7}, 1,
         {"frmQuorb_Create"}},
        {"table page, Escape", "Describe", 2, "frmQuorb_SelectTable", false, false, {}, 0, {}},
        {"table page, close box, after changes", "Describe", 2, "frmQuorb_SelectTable", true, true, {6}, 1, {}},
        {"field page, Escape", "Describe", 3, "frmQuorb_Fields", false, false, {}, 0, {}},
        {"field page, close box, after changes", "Describe", 3, "frmQuorb_Fields", true, true, {6}, 1, {}},
        {"options page, Escape, after changes", "Describe", 30, "frmQuorb_Options_Describe", false, true, {6}, 1, {}},
        {"options page, close box", "Crosstab", 30, "frmQuorb_Options_Crosstab", true, false, {}, 0, {}},
        {"Finish page, Escape", "Describe", 50, "frmQuorb_Finish", false, false, {}, 0, {}},
        {"Finish page, close box, after changes", "Describe", 50, "frmQuorb_Finish", true, true, {6}, 1, {}},
        {"Finish page after changes: No keeps it open", "Describe", 50, "frmQuorb_Finish", false, true, {7}, 1,
         {"frmQuorb_Finish"}},
    };
    for (const EscapeRow& r : rows) {
        Script script;
        for (int a : r.answers) script.Answer(a);
        bool openAfter = true;
        script.Then([&](QDialog& d) {
            d.show();
            Pump();
            if (r.changed) dynamic_cast<CWizPage&>(d).Wiz()->SetChanged(true);
            if (r.closeBox) {
                d.close();
            } else {
                QWidget* focus = d.focusWidget() ? d.focusWidget() : &d;
                QTest::keyClick(focus, Qt::Key_Escape);
            }
            openAfter = d.isVisible();
            d.hide();
        });
        for (const QString& again : r.shownAfter) {
            script.Then([again](QDialog& d) {
                auto& page = dynamic_cast<CWizPage&>(d);
                page.LeaveWith(again == QLatin1String("frmQuorb_Finish") ? 2 : 1);
            });
        }
        dtest::Wizard wiz(r.type);
        EXPECT_FALSE(wiz.ShowStatWizard(r.start)) << r.reason;
        EXPECT_EQ(script.shown, QStringList{QString::fromLatin1(r.window)} + r.shownAfter) << r.reason;
        EXPECT_EQ(static_cast<int>(script.messages.size()), r.questions) << r.reason;
        // Only a No to the Finish page's own question keeps the page open.
        EXPECT_EQ(openAfter, r.start == 50 && !r.shownAfter.isEmpty()) << r.reason;
        EXPECT_TRUE(script.steps.empty()) << r.reason;
        EXPECT_EQ(ScenarioCount(), 0) << r.reason;
    }
}

// ---- one size, one place, one row of buttons -----------------------------------------

using PageLayout = DesignerTest;

// Every page opened at its own size with Cancel in another place, and "Save
// and Run" touched its button's edges.
TEST_F(PageLayout, EveryPageHasOneSizeAndOneButtonRow) {
    struct Place {
        QSize page;
        std::vector<QRect> fromBottomRight; // Help, Cancel, Back, forward
    };
    std::map<long, Place> places;
    for (long number : kEveryPage) {
        Script script;
        dtest::Wizard wiz("Describe");
        std::unique_ptr<CWizPage> page = ShownPage(number, wiz);
        ASSERT_NE(page, nullptr) << number;
        Place p{page->size(), {}};
        for (QPushButton* b : {page->findChild<QPushButton*>(QStringLiteral("cmdNav_0")), Cancel(*page),
                               page->findChild<QPushButton*>(QStringLiteral("cmdNav_1")), Forward(*page)}) {
            ASSERT_NE(b, nullptr) << number;
            EXPECT_TRUE(b->isVisible()) << number << " " << b->text().toStdString();
            p.fromBottomRight.push_back(b->geometry().translated(-page->width(), -page->height()));
        }
        // Every caption has room on both sides.
        for (QPushButton* b : page->findChildren<QPushButton*>()) {
            if (!b->isVisible() || b->text().isEmpty()) continue;
            const int text = b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&')));
            EXPECT_GE((b->width() - text) / 2, 10) << number << ": " << b->text().toStdString();
        }
        places[number] = p;
        page->hide();
    }
    const Place& first = places[1];
    EXPECT_EQ(first.page, QSize(platform::ui::PixelsFromTwips(CWizPage::PageWidthTwips),
                                platform::ui::PixelsFromTwips(CWizPage::PageHeightTwips)));
    for (const auto& [number, p] : places) {
        EXPECT_EQ(p.page, first.page) << "page " << number;
        EXPECT_EQ(p.fromBottomRight, first.fromBottomRight) << "page " << number;
    }
}

// Each page opened where the dialog placed it: a page moved by the user was
// followed by one that stood somewhere else.
TEST_F(PageLayout, EveryPageStandsWhereThePreviousOneStood) {
    Script script;
    std::vector<QRect> seen;
    const QRect moved(131, 87, platform::ui::PixelsFromTwips(CWizPage::PageWidthTwips),
                      platform::ui::PixelsFromTwips(CWizPage::PageHeightTwips));
    script.Then([&](QDialog& d) {
        d.setGeometry(moved); // the user moves the first page
        dynamic_cast<CWizPage&>(d).LeaveWith(2);
    });
    for (int i = 0; i < 4; ++i) {
        script.Then([&](QDialog& d) {
            seen.push_back(d.geometry());
            dynamic_cast<CWizPage&>(d).LeaveWith(2); // table, fields, options: next; Finish: leave
        });
    }
    dtest::Wizard wiz("Describe");
    EXPECT_FALSE(wiz.ShowStatWizard(1));
    EXPECT_EQ(script.shown, QStringList({"frmQuorb_Create", "frmQuorb_SelectTable", "frmQuorb_Fields",
                                         "frmQuorb_Options_Describe", "frmQuorb_Finish"}));
    EXPECT_EQ(seen, std::vector<QRect>(4, moved));
}

// ---- the keyboard ----------------------------------------------------------------------

// The page's widgets in the order Tab visits them round the page, starting
// from `from` (else where the page's tab order begins): each by its name, the
// arrows of a transfer control by the control's name.
QStringList TabChain(QWidget& page, QWidget* from = nullptr) {
    QStringList names;
    QWidget* start = from ? from : &page;
    if (from && from != &page) {
        names << from->objectName();
    }
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain()) {
        if (w == &page) continue;
        if (!w->isVisibleTo(&page) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        QString name = w->objectName();
        QWidget* holder = w->parentWidget();
        if (qobject_cast<TransferButton*>(holder) || qobject_cast<TransferInOut*>(holder)) name = holder->objectName();
        if (names.isEmpty() || names.last() != name) names << name;
    }
    return names;
}

// The names of the buttons of the page's bottom row, from left to right as
// they stand on the screen.
QStringList BottomRowLeftToRight(QWidget& page) {
    std::vector<QPushButton*> row;
    int bottom = -1;
    for (QPushButton* b : page.findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(&page)) continue;
        const int y = b->mapTo(&page, QPoint(0, 0)).y();
        if (y > bottom) {
            bottom = y;
            row.clear();
        }
        if (y == bottom) row.push_back(b);
    }
    std::sort(row.begin(), row.end(), [&page](QPushButton* a, QPushButton* b) {
        return a->mapTo(&page, QPoint(0, 0)).x() < b->mapTo(&page, QPoint(0, 0)).x();
    });
    QStringList names;
    for (QPushButton* b : row) names << b->objectName();
    return names;
}

// The options pages made their Help, Cancel, Back and Next before their own
// controls, so every options page opened with the focus on Help (Space opened
// the help) and Tab went Help, Cancel, Back, Next before the first option;
// the Finish page's Tab went Help, Back, Cancel, Save, Save and Run. On every
// page the focus now opens on the page's own controls, and Tab goes round
// them and then through the bottom row from left to right.
TEST_F(DesignerTest, EveryPageOpensOnItsControlsAndTabsThroughItsButtonRowLastFromLeftToRight) {
    for (long number : kEveryPage) {
        Script script;
        dtest::Wizard wiz("Describe");
        std::unique_ptr<CWizPage> page = ShownPage(number, wiz);
        ASSERT_NE(page, nullptr) << number;
        page->activateWindow();
        Pump();
        const QStringList row = BottomRowLeftToRight(*page);
        ASSERT_GE(row.size(), 4) << number;
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr) << number;
        EXPECT_FALSE(row.contains(focused->objectName()))
            << "page " << number << " opens on " << focused->objectName().toStdString();
        const QStringList chain = TabChain(*page, focused);
        ASSERT_GE(chain.size(), row.size()) << number;
        EXPECT_EQ(chain.mid(chain.size() - row.size()), row)
            << "page " << number << ": " << chain.join(QStringLiteral(", ")).toStdString();
        page->hide();
    }
}

// Tab through a page in the order it shows its controls: the Crosstab page
// went "% of Expected" before "Expected Value" above it, the Group page
// "Create Detail table" before the box above it, and the field page's two
// lists of a frame both before their arrows, the Regression page's X list
// (at the right) even before the Y list.
TEST_F(DesignerTest, TabGoesThroughAPageInTheOrderItShowsItsControls) {
    struct Row {
        long page;
        const char* type;
        QStringList order; // top to bottom, each frame's list and then its arrows
    };
    const Row rows[] = {
        {10, "Crosstab", {"chkXRowPcnt", "chkXColPcnt", "chkXTotPcnt", "chkxExpect", "chkxExpectPcnt", "chkXChi"}},
        {11, "ANOVA", {"chkGroupIgnoreBlanks", "chkGroupDetail"}},
        {3, "Describe", {"lisIndependentFields_1", "cmdTX", "lisWeightField", "cmdTWeight", "lisGroupFields", "cmdTGroup"}},
        {3, "Regression",
         {"lisDependentField_3", "cmdTXYDep", "lisIndependentFields_3", "cmdTXY", "lisWeightField", "cmdTWeight",
          "lisGroupFields", "cmdTGroup"}},
        {3, "2 Sample",
         {"lisIndependentFields_2", "cmdTCX", "lisComparisonField_2", "cmdTCXComp", "lisWeightField", "cmdTWeight"}},
        {3, "Two way ANOVA",
         {"lisIndependentFields_4", "cmdTAnovaDep", "lisComparisonField_4", "cmdTAnovaComp", "lisWeightField"}},
        {3, "Crosstab",
         {"lisIndependentFields_5", "cmdTXTab", "lisComparisonField_5", "cmdTXTabCol", "lisWeightField", "cmdTWeight"}},
    };
    for (const Row& r : rows) {
        Script script;
        dtest::Wizard wiz(r.type);
        std::unique_ptr<CWizPage> page = NewPage(r.page, wiz);
        ASSERT_NE(page, nullptr) << r.page;
        page->show();
        Pump();
        QStringList seen;
        for (const QString& name : TabChain(*page))
            if (r.order.contains(name)) seen << name;
        EXPECT_EQ(seen, r.order) << r.page << " " << r.type;
        page->hide();
    }
}

// Enter in the description or a field list pressed "Change", whose OK drops
// every assignment; Alt+C was both Change and Cancel.
TEST_F(DesignerTest, EnterPressesNoButtonOfTheFieldPage) {
    const char* targets[] = {"txtScenario_Description", "lvwAvailableFields", "lisIndependentFields_1",
                             "lisGroupFields", "lisWeightField", "cmdChange", "cmdNav_2"};
    for (const char* target : targets) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            Script script;
            bool opened = false;
            script.Then([&](QDialog& d) {
                opened = true;
                d.hide();
            });
            dtest::FieldPageOn f("Describe");
            auto& [wiz, page] = f;
            dtest::Transfer(page, "cmdTX", 1, QStringLiteral("Score"));
            wiz.SetChanged(false);
            page.show();
            QApplication::setActiveWindow(&page);
            Pump();
            int clicks = 0;
            for (QPushButton* b : page.findChildren<QPushButton*>())
                QObject::connect(b, &QPushButton::clicked, &page, [&clicks] { ++clicks; });
            auto* w = page.findChild<QWidget*>(QString::fromLatin1(target));
            ASSERT_NE(w, nullptr) << target;
            w->setFocus();
            QTest::keyClick(w, key);
            EXPECT_EQ(clicks, 0) << target;
            EXPECT_FALSE(opened) << target << ": the change-source dialog opened";
            EXPECT_EQ(page.NavResult(), 0) << target;
            EXPECT_EQ(dtest::Names(page.lisIndependentFields(1)), QStringList({"Score"})) << target;
            EXPECT_FALSE(wiz.Changed()) << target;
        }
    }
}

// The access keys of a window's buttons and labelled boxes, letter by letter.
std::map<QChar, QStringList> AccessKeys(QWidget& window) {
    std::map<QChar, QStringList> keys;
    auto add = [&keys](const QString& text) {
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size()) keys[text.at(at + 1).toUpper()] << text;
    };
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>())
        if (b->isVisibleTo(&window)) add(b->text());
    for (QLabel* l : window.findChildren<QLabel*>())
        if (l->buddy() && l->isVisibleTo(&window)) add(l->text());
    return keys;
}

TEST_F(DesignerTest, AccessKeysOfAPageAreDistinct) {
    // (The type page's seventeen captions are the analyses' names, which
    // share letters: there Alt moves among the buttons of a letter.)
    for (long number : kEveryPage) {
        if (number == 1) continue;
        for (const char* type : {"Describe", "Two way ANOVA", "Crosstab"}) {
            if (number != 3 && type != std::string("Describe")) continue;
            Script script;
            dtest::Wizard wiz(type);
            std::unique_ptr<CWizPage> page = NewPage(number, wiz);
            for (const auto& [letter, texts] : AccessKeys(*page))
                EXPECT_EQ(texts.size(), 1) << number << " " << type << ": Alt+" << QString(letter).toStdString()
                                           << " for " << texts.join(QStringLiteral(", ")).toStdString();
        }
    }
    CMelvarsPropWiz wiz;
    frmQuorb_SelectTable dialog;
    dialog.SetWiz(&wiz);
    dialog.MakeChangeSourceDialog();
    for (const auto& [letter, texts] : AccessKeys(dialog))
        EXPECT_EQ(texts.size(), 1) << "change source: " << texts.join(QStringLiteral(", ")).toStdString();
}

// The change-source dialog left OK where Next stood: OK stands where Help
// stood and Help where Next stood, Cancel between them.
TEST_F(DesignerTest, ChangeSourceDialogShowsOkCancelHelpInThatOrder) {
    CMelvarsPropWiz wiz;
    wiz.SetTable("Data");
    frmQuorb_SelectTable page;
    page.SetWiz(&wiz);
    page.show();
    Pump();
    const int helpWas = page.cmdNav(0)->x();
    ASSERT_LT(helpWas, page.cmdNav(2)->x());
    const int nextWas = page.cmdNav(2)->x();
    page.hide();
    frmQuorb_SelectTable dialog;
    dialog.SetWiz(&wiz);
    dialog.MakeChangeSourceDialog();
    dialog.show();
    Pump();
    EXPECT_EQ(dialog.cmdNav(2)->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.cmdNav(1)->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(dialog.cmdNav(4)->isVisible()) << "the dialog's Cancel is Back's";
    EXPECT_LT(dialog.cmdNav(2)->x(), dialog.cmdNav(1)->x());
    EXPECT_LT(dialog.cmdNav(1)->x(), dialog.cmdNav(0)->x());
    EXPECT_EQ(dialog.cmdNav(0)->x(), nextWas);
    EXPECT_LT(dialog.cmdNav(2)->x(), nextWas) << "OK stands left, where the page's Help stood";
    EXPECT_GE(dialog.cmdNav(2)->x(), helpWas);
    // Escape is the dialog's Cancel: back with nothing stored.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.NavResult(), 1);
}

// "(2 to 50)" wrapped onto a line of its own on the Frequency page.
TEST(OptionsPageTexts, IntervalBoundsStandOnTheLineOfTheirBox) {
    for (long number : {4L, 5L}) {
        Script script;
        CMelvarsPropWiz wiz;
        wiz.SetInterV(10);
        std::unique_ptr<CWizPage> page = NewPage(number, wiz);
        page->show();
        Pump();
        auto* bounds = page->findChild<QLabel*>(QStringLiteral("lbl2to50"));
        auto* box = page->findChild<QLineEdit*>(QStringLiteral("txtInterV"));
        ASSERT_TRUE(bounds && box) << number;
        const QRect b = bounds->geometry(), x = box->geometry();
        EXPECT_EQ(bounds->parentWidget(), box->parentWidget()) << number;
        EXPECT_LT(std::abs(b.center().y() - x.center().y()), x.height() / 2) << number << ": on the box's line";
        EXPECT_GE(b.left(), x.right()) << number << ": right of the box";
        EXPECT_EQ(bounds->text(), QStringLiteral("(2 to 50)"));
    }
}

// ---- long field names --------------------------------------------------------------

// Two fields both showed as "Average_Month..." in the assignment lists, with
// no tooltip and no way to scroll.
TEST_F(DesignerTest, LongFieldNamesShowWholeAndTheListsScrollSideways) {
    // Names of up to 64 characters, longer than the lists are wide.
    const QString north = QStringLiteral("Average_Monthly_Temperature_Reading_At_The_Northern_Station");
    const QString south = QStringLiteral("Average_Monthly_Temperature_Reading_At_The_Southern_Station");
    const QString station = QStringLiteral("Name_Of_The_Measuring_Station_As_Written_In_The_Station_Log");
    const QString weight = QStringLiteral("Average_Monthly_Weight_Of_The_Readings_At_The_Named_Stations");
    const QString spare = QStringLiteral("Average_Monthly_Temperature_Reading_At_The_Spare_Station_Site");
    auto td = m_db->CreateTableDef("Readings");
    for (const QString& n : {north, south, weight, spare})
        td->Fields().Append(td->CreateField(n.toStdString(), dao::dbDouble));
    td->Fields().Append(td->CreateField(station.toStdString(), dao::dbText, 40));
    m_db->TableDefs().Append(td);

    dtest::FieldPageOn f("Describe", "Readings");
    frmQuorb_Fields& page = f.page;
    dtest::Transfer(page, "cmdTX", 1, north);
    dtest::Transfer(page, "cmdTX", 1, south);
    dtest::Transfer(page, "cmdTGroup", 1, station);
    dtest::Transfer(page, "cmdTWeight", 1, weight);
    page.show();
    Pump();

    struct Row {
        QListWidget* list;
        QStringList entries;
    };
    const Row rows[] = {
        {page.lisIndependentFields(1), {north + " - (#, Double)", south + " - (#, Double)"}},
        {page.lisGroupFields(), {station + " - (Text)"}},
        {page.lisWeightField(), {weight + " - (#, Double)"}},
    };
    for (const Row& r : rows) {
        const std::string name = r.list->objectName().toStdString();
        ASSERT_EQ(r.list->count(), r.entries.size()) << name;
        for (int i = 0; i < r.list->count(); ++i) {
            EXPECT_EQ(r.list->item(i)->text(), r.entries[i]) << name;
            EXPECT_EQ(r.list->item(i)->toolTip(), r.entries[i]) << name << ": the whole entry in its tooltip";
        }
        EXPECT_EQ(r.list->textElideMode(), Qt::ElideNone) << name;
        EXPECT_GT(r.list->horizontalScrollBar()->maximum(), 0) << name << ": the list scrolls sideways";
        EXPECT_LT(r.list->viewport()->width(), r.list->fontMetrics().horizontalAdvance(r.entries[0])) << name;
    }
    // The available list shows the name whole, in its column and its tooltip.
    QTreeWidget* available = page.lvwAvailableFields();
    QTreeWidgetItem* item = available->topLevelItem(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), spare);
    EXPECT_EQ(item->toolTip(0), spare);
    EXPECT_GE(available->header()->sectionSize(0), available->fontMetrics().horizontalAdvance(spare));
}

// ---- a source that is gone ------------------------------------------------------------

// Editing a scenario whose source table was dropped showed empty lists
// without a word; a save from the Finish page then wiped its assignments.
// A query whose table was dropped (it is there, but cannot be opened) said
// so, and the save wiped them all the same.
// A page destroyed while it was shown with the focus in one of its text
// boxes: its dialog hid itself on the way out, the box lost the focus, and
// the box's commit ran the handler of the page whose own part was already
// destroyed (undefined behaviour), storing the text into the wizard and
// marking the scenario changed. Nothing of a page runs once it goes.
TEST_F(DesignerTest, APageDestroyedWithTheFocusInATextBoxRunsNoHandlerOfTheGonePage) {
    struct Row {
        long page;
        const char* box;
    } rows[] = {
        {3, "txtScenario_Description"},
        {50, "txtDescription"},
        {50, "txtScenario_Output_Table1_Name"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.page) + " " + r.box);
        Script script;
        dtest::Wizard wiz("Describe");
        wiz.SetScenario_Description("Sales");
        wiz.SetOutputTable1("outSales");
        std::unique_ptr<CWizPage> page = ShownPage(r.page, wiz);
        ASSERT_NE(page, nullptr);
        auto* box = page->findChild<QLineEdit*>(QString::fromLatin1(r.box));
        ASSERT_NE(box, nullptr);
        page->activateWindow();
        box->setFocus();
        Pump();
        ASSERT_TRUE(box->hasFocus());
        box->setText(QStringLiteral("typed"));
        ASSERT_FALSE(wiz.Changed());
        page.reset();
        EXPECT_FALSE(wiz.Changed());
        EXPECT_EQ(wiz.Scenario_Description(), "Sales");
        EXPECT_EQ(wiz.OutputTable1(), "outSales");
    }
}

TEST_F(DesignerTest, AMissingSourceIsSaidBeforeAnyPageAndKeepsTheStoredFields) {
    AddTable("Temp");
    m_db->CreateQueryDef("qOnTemp", "SELECT A AS Score, A AS Units, A AS Class FROM Temp");
    m_db->TableDefs().Delete("Temp");
    struct Row {
        const char* reason;
        const char* source;
        long start;
        const char* window;
        const char* said; // how the first message begins
    };
    const char* gone = "The table or query [Gone] that this scenario reads does not exist in the database.";
    const char* broken = "Unable to open the specified querydef: 'qOnTemp'";
    const Row rows[] = {
        {"editing the fields", "Gone", 3, "frmQuorb_Fields", gone},
        {"editing the options", "Gone", 30, "frmQuorb_Options_Describe", gone},
        {"editing the names, then saving", "Gone", 50, "frmQuorb_Finish", gone},
        {"a query that cannot be opened: editing the fields", "qOnTemp", 3, "frmQuorb_Fields", broken},
        {"a query that cannot be opened: editing the names, then saving", "qOnTemp", 50, "frmQuorb_Finish", broken},
    };
    for (const Row& r : rows) {
        vtest::ScenarioSpec spec;
        spec.inputTable = r.source;
        spec.outputTable1 = "out";
        spec.fields = {{"Score", "X"}, {"Units", "X"}, {"Class", "G"}};
        const std::int32_t id = Store(spec);
        const std::string storedSql = "SELECT FieldDef_Name, FieldDef_Choice, FieldDef_Ordinal_Position FROM "
                                      "usysQuorbFields WHERE Scenario_ID = " +
                                      std::to_string(id) + " ORDER BY FieldDef_Name";
        const QStringList storedFields = Rows(storedSql);
        ASSERT_EQ(storedFields.size(), 3) << r.reason;
        Script script;
        int messagesWhenShown = -1;
        QStringList xList;
        script.Then([&](QDialog& d) {
            messagesWhenShown = static_cast<int>(script.messages.size());
            if (auto* fields = dynamic_cast<frmQuorb_Fields*>(&d)) xList = dtest::Names(fields->lisIndependentFields(1));
            if (auto* finish = dynamic_cast<frmQuorb_Finish*>(&d)) {
                finish->txtDescription()->setText(QStringLiteral("renamed"));
                emit finish->txtDescription()->editingFinished();
                finish->cmdNav(3)->click(); // Save
                return;
            }
            dynamic_cast<CWizPage&>(d).LeaveWith(r.start == 3 ? 1 : 4);
        });
        CMelvarsPropWiz wiz;
        wiz.SetScenario_ID(id);
        wiz.SetScenario_Type("P");
        wiz.SetCalcType("Describe");
        wiz.SetTable(r.source);
        wiz.SetOutputTable1("out");
        EXPECT_FALSE(wiz.ShowStatWizard(r.start)) << r.reason;
        EXPECT_EQ(script.shown, QStringList({QString::fromLatin1(r.window)})) << r.reason;
        EXPECT_EQ(messagesWhenShown, 1) << r.reason << ": said before the page showed";
        ASSERT_FALSE(script.messages.empty()) << r.reason;
        EXPECT_TRUE(script.messages[0].text.startsWith(QString::fromLatin1(r.said)))
            << script.messages[0].text.toStdString();
        if (r.start == 3) {
            EXPECT_EQ(xList, QStringList({"Score", "Units"})) << r.reason;
        }
        EXPECT_EQ(Rows(storedSql), storedFields) << r.reason;
        if (r.start == 50) {
            EXPECT_EQ(Rows("SELECT Scenario_Description FROM usysQuorbScenarios WHERE Scenario_ID = " +
                           std::to_string(id)),
                      QStringList({"Scenario_Description=renamed"}))
                << r.reason;
        }
    }
}

// The user may read the message that a scenario's source is gone for as long
// as they like. The field page kept its read of the stored fields open
// meanwhile, so that no other program could write the file: a client's run
// or another designer's save failed with the file in use.
TEST_F(DesignerTest, WhileTheDesignerSaysTheSourceCannotBeReadAnotherProgramCanWriteTheFile) {
    AddTable("Temp");
    m_db->CreateQueryDef("qOnTemp", "SELECT A AS Score, A AS Units, A AS Class FROM Temp");
    m_db->TableDefs().Delete("Temp");
    for (const char* source : {"Gone", "qOnTemp"}) {
        vtest::ScenarioSpec spec;
        spec.inputTable = source;
        spec.outputTable1 = "out";
        spec.fields = {{"Score", "X"}, {"Units", "X"}, {"Class", "G"}};
        const std::int32_t id = Store(spec);
        Script script;
        script.Then([](QDialog& d) { dynamic_cast<CWizPage&>(d).LeaveWith(1); });
        // Another program writes the file while the message is shown; it
        // waits for no lock.
        std::vector<int> written;
        wizsvc::SetMessageHandler([&](const QString&, int) {
            sqlite3* other = nullptr;
            EXPECT_EQ(sqlite3_open(m_tmp.file("designer.db").c_str(), &other), SQLITE_OK);
            written.push_back(sqlite3_exec(other, "CREATE TABLE IF NOT EXISTS OtherWork (X); INSERT INTO OtherWork VALUES (1)",
                                           nullptr, nullptr, nullptr));
            sqlite3_close(other);
            return 1;
        });
        CMelvarsPropWiz wiz;
        wiz.SetScenario_ID(id);
        wiz.SetScenario_Type("P");
        wiz.SetCalcType("Describe");
        wiz.SetTable(source);
        wiz.SetOutputTable1("out");
        EXPECT_FALSE(wiz.ShowStatWizard(3)) << source;
        EXPECT_EQ(written, std::vector<int>{SQLITE_OK}) << source;
    }
    EXPECT_EQ(Rows("SELECT Count(*) AS n FROM OtherWork"), QStringList({"n=2"}));
}

// ---- help ------------------------------------------------------------------------------

// The type, field and Finish pages and the Describe, Compare and Crosstab
// options pages opened only the help's index.
TEST_F(DesignerTest, EveryPageOpensAHelpPageOfItsOwn) {
    const QDir help(QString::fromStdString(
        (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "app" / "help").lexically_normal().string()));
    ASSERT_TRUE(help.exists(QStringLiteral("index.html"))) << help.path().toStdString();
    std::vector<std::pair<unsigned, long long>> asked;
    const platform::ui::HelpHandler old =
        platform::ui::SetHelpHandler([&asked](const QString&, unsigned command, const QVariant& data) {
            asked.emplace_back(command, data.toLongLong());
            return true;
        });
    std::set<long long> topics;
    for (long number : kEveryPage) {
        Script script;
        dtest::Wizard wiz("Describe");
        std::unique_ptr<CWizPage> page = NewPage(number, wiz);
        asked.clear();
        page->findChild<QPushButton*>(QStringLiteral("cmdNav_0"))->click();
        ASSERT_EQ(asked.size(), 1u) << number;
        EXPECT_EQ(asked[0].first, platform::ui::HELP_CONTEXT) << number << ": a topic, not the contents";
        const long long topic = asked[0].second;
        EXPECT_TRUE(topics.insert(topic).second) << number << ": topic " << topic << " is another page's";
        EXPECT_TRUE(help.exists(QString::number(topic) + QStringLiteral(".html"))) << number << ": " << topic;
    }
    platform::ui::SetHelpHandler(old);
}

// ---- the questions' default answer -----------------------------------------------------

// Answers the message forms while it lives: the first with Enter, recording
// whether Enter answered it and whether No was its default button; any later
// one with No (or OK), so that a wrong answer cannot leave a form waiting.
class EnterOnTheFirstQuestion {
public:
    EnterOnTheFirstQuestion() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<frmMsgBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box == m_last.data()) return;
            m_last = box;
            if (++forms == 1) {
                noWasDefault = box->ResponseButton(frmMsgBox::vbNo)->isDefault();
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
                answeredByEnter = !box->isVisible();
                response = box->Response();
            }
            for (int i : {frmMsgBox::vbNo, frmMsgBox::vbOK})
                if (box->isVisible() && box->ResponseButton(i)->isVisible()) box->ResponseButton(i)->click();
        });
        m_timer.start();
    }
    int forms = 0;
    bool answeredByEnter = false, noWasDefault = false;
    int response = 0;

private:
    QTimer m_timer;
    QPointer<frmMsgBox> m_last;
};

// On the Finish page one Enter replaced a table with Yes as the default
// answer: every question of the designer answers No to Enter.
TEST_F(DesignerTest, EnterAnswersNoToEveryQuestionOfTheDesigner) {
    AddTable("Sales");
    AddTable("PrevOut");
    vtest::ScenarioSpec other;
    other.inputTable = "Data";
    other.outputTable1 = "PrevOut";
    Store(other);

    struct Row {
        const char* reason;
        std::function<void(CMelvarsPropWiz&, frmQuorb_Finish&, frmQuorb_Fields&)> ask;
        std::function<bool(frmQuorb_Finish&, frmQuorb_Fields&)> kept;
    };
    // Save and Run with the output table `name`: the table stays, and the page.
    auto replacing = [this](const char* why, const char* name) {
        return Row{why,
                   [name](CMelvarsPropWiz& w, frmQuorb_Finish& f, frmQuorb_Fields&) {
                       w.SetChanged(true);
                       f.txtScenario_Output_Table1_Name()->setText(QString::fromLatin1(name));
                       f.cmdNav(4)->click();
                   },
                   [this, name](frmQuorb_Finish& f, frmQuorb_Fields&) { return TableExists(name) && f.NavResult() == 0; }};
    };
    const Row rows[] = {
        replacing("replacing a table of data", "Sales"),
        replacing("replacing another scenario's output", "PrevOut"),
        {"leaving the Finish page after changes",
         [](CMelvarsPropWiz& w, frmQuorb_Finish& f, frmQuorb_Fields&) {
             w.SetChanged(true);
             f.cmdNav(2)->click();
         },
         [](frmQuorb_Finish& f, frmQuorb_Fields&) { return f.NavResult() == 0; }},
        {"leaving the field page after changes",
         [](CMelvarsPropWiz& w, frmQuorb_Finish&, frmQuorb_Fields& p) {
             w.SetChanged(true);
             p.cmdNav(1)->click();
         },
         [](frmQuorb_Finish&, frmQuorb_Fields& p) { return p.NavResult() == 0; }},
    };
    for (const Row& r : rows) {
        Script script(false); // the real message form
        dtest::Wizard wiz("Describe");
        wiz.SetScenario_Type("P");
        frmQuorb_Finish finish;
        finish.SetWiz(&wiz);
        frmQuorb_Fields fields;
        fields.SetWiz(&wiz);
        EnterOnTheFirstQuestion answer;
        r.ask(wiz, finish, fields);
        EXPECT_EQ(answer.forms, 1) << r.reason;
        EXPECT_TRUE(answer.answeredByEnter) << r.reason;
        EXPECT_TRUE(answer.noWasDefault) << r.reason;
        EXPECT_EQ(answer.response, frmMsgBox::vbNo) << r.reason;
        EXPECT_TRUE(r.kept(finish, fields)) << r.reason;
    }
    // The wizard's own question, on cancel after changes: No shows the page again.
    Script script(false);
    auto answer = std::make_unique<EnterOnTheFirstQuestion>();
    script.Then([](QDialog& d) {
        dynamic_cast<CWizPage&>(d).Wiz()->SetChanged(true);
        dynamic_cast<CWizPage&>(d).LeaveWith(4);
    });
    script.Then([](QDialog& d) {
        dynamic_cast<CWizPage&>(d).Wiz()->SetChanged(false);
        dynamic_cast<CWizPage&>(d).LeaveWith(4);
    });
    dtest::Wizard wiz("Describe");
    EXPECT_FALSE(wiz.ShowStatWizard(30));
    EXPECT_TRUE(answer->answeredByEnter);
    EXPECT_EQ(answer->response, frmMsgBox::vbNo);
    EXPECT_EQ(script.shown, QStringList({"frmQuorb_Options_Describe", "frmQuorb_Options_Describe"}))
        << "No keeps the page";
}

// ---- the table viewer ------------------------------------------------------------------

// The viewer copied every row of the table into a widget before it showed
// (a million rows: 4.7 s and +939 MB): it reads the pages the grid shows.
TEST_F(DesignerTest, TableViewerReadsOnlyThePagesItShows) {
    const int rows = 3 * CRecordsetTableModel::BlockRows + 5;
    auto td = m_db->CreateTableDef("Big");
    td->Fields().Append(td->CreateField("N", dao::dbLong));
    td->Fields().Append(td->CreateField("Label", dao::dbText, 20));
    m_db->TableDefs().Append(td);
    {
        dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
        ws->BeginTrans();
        auto rs = m_db->OpenRecordset("Big", dao::dbOpenDynaset);
        for (int i = 0; i < rows; ++i) {
            rs->AddNew();
            rs->Fields("N")->SetValue(i);
            rs->Fields("Label")->SetValue("row " + std::to_string(i));
            rs->Update();
        }
        rs->Close();
        ws->CommitTrans();
    }
    Script script;
    bool readAllAtOpen = true;
    int shownRows = -1;
    QVariant last;
    script.Then([&](QDialog& d) {
        auto& viewer = dynamic_cast<frmDataGridDialog&>(d);
        ASSERT_NE(viewer.Model(), nullptr);
        EXPECT_EQ(viewer.grdDataGrid()->model(), viewer.Model());
        shownRows = viewer.Model()->rowCount();
        readAllAtOpen = viewer.Model()->AtEnd();
        last = viewer.Model()->data(viewer.Model()->index(rows - 1, 1));
        viewer.hide();
    });
    frmDataGridDialog viewer;
    EXPECT_TRUE(viewer.ShowTableData(QStringLiteral("Big"), QStringLiteral("Input table or query - ")));
    EXPECT_EQ(shownRows, rows);
    EXPECT_FALSE(readAllAtOpen) << "the viewer read every row before it showed";
    EXPECT_EQ(last.toString(), QStringLiteral("row %1").arg(rows - 1));
}

} // namespace
