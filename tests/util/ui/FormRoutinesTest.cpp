#include "util/ui/modToolBar.h"
#include "util/ui/modZURSTAT.h"

#include "support/HookRecorder.h"
#include "support/QtTestSupport.h"
#include "errors/RunTimeError.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Every message box of these tests has only an OK button: answer OK.
struct MessageBoxRecorder : vtest::HookRecorder {
    MessageBoxRecorder() : vtest::HookRecorder(vbOK) {}
};

} // namespace

// ---- IsFormLoaded -----------------------------------------------------------

TEST(IsFormLoaded, FindsALoadedWindowWhateverTheCase) {
    QWidget form;
    form.setObjectName(QStringLiteral("frmStatMain"));
    EXPECT_TRUE(IsFormLoaded(QStringLiteral("frmstatmain")));
    EXPECT_TRUE(IsFormLoaded(QStringLiteral("FRMSTATMAIN")));
    EXPECT_FALSE(IsFormLoaded(QStringLiteral("frmStat")));
    EXPECT_FALSE(IsFormLoaded(QStringLiteral("frmDataGrid")));
}

TEST(IsFormLoaded, FindsAWindowByItsClassAndAWindowOfTheMdiArea) {
    QMainWindow frame;
    frame.setObjectName(QStringLiteral("MDIMain"));
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    auto* grid = new QWidget;
    grid->setObjectName(QStringLiteral("frmDataGrid"));
    area->addSubWindow(grid);
    EXPECT_TRUE(IsFormLoaded(QStringLiteral("mdimain")));
    EXPECT_TRUE(IsFormLoaded(QStringLiteral("QMainWindow")));
    EXPECT_TRUE(IsFormLoaded(QStringLiteral("frmdatagrid")));
}

TEST(IsFormLoaded, AClosedAndDestroyedWindowIsNotLoaded) {
    {
        QWidget form;
        form.setObjectName(QStringLiteral("frmDuplicate"));
        ASSERT_TRUE(IsFormLoaded(QStringLiteral("frmDuplicate")));
    }
    EXPECT_FALSE(IsFormLoaded(QStringLiteral("frmDuplicate")));
}

// ---- MaxLong and the key filters ----------------------------------------------

TEST(MaxLong, GivesTheLarger) {
    EXPECT_EQ(MaxLong(-5, -7), -5);
    EXPECT_EQ(MaxLong(-7, -5), -5);
    EXPECT_EQ(MaxLong(3, 3), 3);
    EXPECT_EQ(MaxLong(INT32_MIN, INT32_MAX), INT32_MAX);
}

struct KeyCase {
    std::int16_t key;
    std::int16_t kept;
};

inline void PrintTo(const KeyCase& c, std::ostream* os) { *os << "key " << c.key; }

class NumericKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(NumericKeys, KeepOnlyNumberKeys) {
    std::int16_t key = GetParam().key;
    NumericKeyPress(key);
    EXPECT_EQ(key, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Keys, NumericKeys,
                         ::testing::Values(KeyCase{'e', 0}, KeyCase{'+', 0}, KeyCase{',', 0}, KeyCase{'-', '-'},
                                           KeyCase{'.', '.'}, KeyCase{8, 8}, KeyCase{'0', '0'}, KeyCase{'9', '9'},
                                           KeyCase{'/', 0}, KeyCase{':', 0}, KeyCase{' ', 0}, KeyCase{13, 0}));

struct FilterKeyCase {
    std::int16_t key;
    bool integersOnly;
    std::int16_t result;
};

inline void PrintTo(const FilterKeyCase& c, std::ostream* os) { *os << "key " << c.key << (c.integersOnly ? " integers" : ""); }

class FilterKeys : public ::testing::TestWithParam<FilterKeyCase> {};

TEST_P(FilterKeys, PassOnlyWhatTheSwitchAllows) {
    EXPECT_EQ(FilterKeyPressNumeric(GetParam().key, GetParam().integersOnly), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Keys, FilterKeys,
                         ::testing::Values(FilterKeyCase{46, true, 0}, FilterKeyCase{46, false, 46},
                                           FilterKeyCase{8, true, 8}, FilterKeyCase{8, false, 8},
                                           FilterKeyCase{45, true, 0}, FilterKeyCase{45, false, 45},
                                           FilterKeyCase{48, true, 48}, FilterKeyCase{57, false, 57},
                                           FilterKeyCase{'A', false, 0}, FilterKeyCase{'e', true, 0}));

// ---- empty texts --------------------------------------------------------------

TEST(IsZLS, NullEmptyAndTheEmptyTextAreEmpty) {
    EXPECT_TRUE(IsZLS(dao::Variant::Null()));
    EXPECT_TRUE(IsZLS(dao::Variant()));
    EXPECT_TRUE(IsZLS(dao::Variant("")));
    EXPECT_FALSE(IsZLS(dao::Variant(" ")));
    EXPECT_FALSE(IsZLS(dao::Variant(0)));
    EXPECT_FALSE(IsZLS(dao::Variant(0.0)));
    EXPECT_FALSE(IsZLS(dao::Variant("x")));
}

TEST(IsZLS, TheSameForQtValues) {
    EXPECT_TRUE(IsZLS(QVariant()));
    EXPECT_TRUE(IsZLS(QVariant::fromValue(nullptr)));
    EXPECT_TRUE(IsZLS(QVariant(QString())));
    EXPECT_TRUE(IsZLS(QVariant(QStringLiteral(""))));
    EXPECT_FALSE(IsZLS(QVariant(QStringLiteral(" "))));
    EXPECT_FALSE(IsZLS(QVariant(0)));
    EXPECT_FALSE(IsZLS(QVariant(0.0)));
}

TEST(NullIfZLS, OnlyTheEmptyTextBecomesNull) {
    EXPECT_TRUE(NullIfZLS(std::string()).IsNull());
    const dao::Variant blank = NullIfZLS(std::string(" "));
    ASSERT_TRUE(blank.IsString());
    EXPECT_EQ(blank.RawString(), " ");
    EXPECT_TRUE(IsZLS(NullIfZLS(QString())));
    EXPECT_EQ(NullIfZLS(QString()).typeId(), QMetaType::Nullptr);
    EXPECT_EQ(NullIfZLS(QStringLiteral(" ")).toString(), QStringLiteral(" "));
}

// ---- text selection -------------------------------------------------------------

TEST(SelectAllText, SelectsTheWholeText) {
    QLineEdit line(QStringLiteral("12.5"));
    line.setCursorPosition(2);
    SelectAllText(&line);
    EXPECT_EQ(line.selectedText(), QStringLiteral("12.5"));
    EXPECT_EQ(line.selectionStart(), 0);

    QTextEdit text;
    text.setPlainText(QStringLiteral("two\nlines"));
    SelectAllText(&text);
    EXPECT_EQ(text.textCursor().selectedText(), QStringLiteral("two\u2029lines"));

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("Describe"));
    SelectAllText(&combo);
    EXPECT_EQ(combo.lineEdit()->selectedText(), QStringLiteral("Describe"));

    QSpinBox spin;
    spin.setValue(42);
    SelectAllText(&spin);
    EXPECT_EQ(spin.findChild<QLineEdit*>()->selectedText(), QStringLiteral("42"));
}

TEST(SelectAllText, AControlWithoutATextRaisesAnError) {
    QLabel label(QStringLiteral("caption"));
    try {
        SelectAllText(&label);
        FAIL() << "no error raised";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.Number(), 438);
    }
}

// ---- combo boxes ----------------------------------------------------------------

TEST(AddItemDataComboBox, AppendsWithItsData) {
    QComboBox combo;
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("Describe"), 11), 0);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("Crosstab"), 22), 1);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("Crosstab"));
    EXPECT_EQ(combo.itemData(0).toInt(), 11);
    EXPECT_EQ(combo.itemData(1).toInt(), 22);
}

TEST(AddItemDataComboBox, ASortedComboGivesTheSortedPosition) {
    QComboBox combo;
    combo.setInsertPolicy(QComboBox::InsertAlphabetically);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("delta"), 4), 0);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("Bravo"), 2), 0);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("charlie"), 3), 1);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("Alpha"), 1), 0);
    EXPECT_EQ(AddItemDataComboBox(&combo, QStringLiteral("echo"), 5), 4);
    for (int i = 0; i < combo.count(); ++i)
        EXPECT_EQ(combo.itemData(i).toInt(), i + 1) << i;
}

TEST(AddItemDataComboBox, NoComboIsReportedAndGivesZero) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(AddItemDataComboBox(nullptr, QStringLiteral("x"), 1), 0);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].prompt, "Error: 91. Object variable or With block variable not set");
    EXPECT_EQ(boxes.messages[0].title, "AddItemDataComboBox");
    EXPECT_EQ(boxes.messages[0].buttons, vbOKOnly);
}

// ---- the folder part of a path -----------------------------------------------------

struct DirCase {
    const char* path;
    const char* dir; // nullptr for Null
};

inline void PrintTo(const DirCase& c, std::ostream* os) { *os << "path " << std::string(c.path).size(); }

class DirParts : public ::testing::TestWithParam<DirCase> {};

TEST_P(DirParts, AreCutAtTheLastSeparator) {
    const dao::Variant result = GetDirPartOfPath(dao::Variant(GetParam().path));
    if (!GetParam().dir) {
        EXPECT_TRUE(result.IsNull()) << result.ToString();
    } else {
        ASSERT_TRUE(result.IsString());
        EXPECT_EQ(result.RawString(), GetParam().dir);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DirParts,
    ::testing::Values(DirCase{"C:\\Data\\Stats.mdb", "C:\\Data"}, DirCase{"C:\\Stats.mdb", "C:"},
                      DirCase{"\\Stats.mdb", nullptr}, DirCase{"C:\\Data\\", nullptr}, DirCase{"Stats.mdb", nullptr},
                      DirCase{"", nullptr}, DirCase{"   ", nullptr}, DirCase{"C:\\Data\\x.mdb   ", "C:\\Data"},
                      DirCase{" C:\\Data\\x.mdb", " C:\\Data"}, DirCase{"/home/ann/stats.sqlite", "/home/ann"},
                      DirCase{"/stats.sqlite", nullptr}, DirCase{"/srv/", nullptr}));

TEST(GetDirPartOfPath, NullAndEmptyGiveNull) {
    EXPECT_TRUE(GetDirPartOfPath(dao::Variant::Null()).IsNull());
    EXPECT_TRUE(GetDirPartOfPath(dao::Variant()).IsNull());
}

// ---- toolbar --------------------------------------------------------------------

TEST(SetToolBarFlat, SetsAndClearsTheFlatLookOfEveryButton) {
    QToolBar bar;
    bar.addAction(QStringLiteral("Open"));
    bar.addAction(QStringLiteral("Run"));
    bar.setIconSize(QSize(20, 20));
    for (bool flat : {false, true, true}) { // the second true: already flat, stays flat
        SetToolBarFlat(&bar, flat);
        for (QAction* a : bar.actions())
            EXPECT_EQ(qobject_cast<QToolButton*>(bar.widgetForAction(a))->autoRaise(), flat) << a->text().toStdString();
    }
    EXPECT_EQ(bar.iconSize(), QSize(20, 20));
    EXPECT_EQ(bar.actions().size(), 2);
}

TEST(SetToolBarFlat, NoToolbarIsReported) {
    MessageBoxRecorder boxes;
    SetToolBarFlat(nullptr, true);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].title, "SetToolBarFlat");
    EXPECT_EQ(boxes.messages[0].prompt, "Error: 91. Object variable or With block variable not set");
}
