#include "errors/ui/frmMsgBox.h"

#include "support/QtTestSupport.h"
#include "platform/MessageBox.h"
#include "platform/ui/Help.h"
#include "platform/ui/ScreenPointer.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

struct ShownButton {
    QString caption;
    int x;
};

// The visible response buttons of the form, left to right.
std::vector<ShownButton> VisibleRow(const frmMsgBox& box) {
    std::vector<ShownButton> row;
    for (int i = 1; i <= 8; ++i) {
        QPushButton* b = box.ResponseButton(i);
        if (b->isVisible())
            row.push_back({b->text(), b->x()});
    }
    std::sort(row.begin(), row.end(), [](const ShownButton& a, const ShownButton& b) { return a.x < b.x; });
    return row;
}

QStringList Captions(const std::vector<ShownButton>& row) {
    QStringList out;
    for (const ShownButton& b : row)
        out << b.caption;
    return out;
}

int Px(double twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// Shows `box` modally; once it is up, runs `whileShown`, then presses response
// button `button` (none for 0).
void ShowThenPress(frmMsgBox& box, int button, const std::function<void()>& whileShown = {}) {
    vtest::AnswerNextModal([&](QWidget*) {
        if (whileShown)
            whileShown();
        if (button != 0)
            box.ResponseButton(button)->click();
    });
    box.ShowMessage();
}

// The captions of the row shown for `style`, answered with OK.
QStringList RowOfStyle(frmMsgBox& box, int style, bool help) {
    box.SetStyle(style);
    box.SetDisplayHelpButton(help);
    QStringList row;
    ShowThenPress(box, 1, [&] { row = Captions(VisibleRow(box)); });
    return row;
}

} // namespace

// ---- twips arithmetic -------------------------------------------------------

struct RowCase {
    int count;
    int left;
};

inline void PrintTo(const RowCase& c, std::ostream* os) { *os << "count " << c.count; }

class ButtonRowArithmetic : public ::testing::TestWithParam<RowCase> {};

TEST_P(ButtonRowArithmetic, DesignSizesGiveTheDocumentedRow) {
    // step = 1095 + 45; left = (6165 - count * 1140) / 2 + 45, halves to even;
    // top = 3900 - 390 - 90.
    const frmMsgBox::ButtonRow row = frmMsgBox::ComputeButtonRow(GetParam().count);
    EXPECT_EQ(row.step, 1140);
    EXPECT_EQ(row.top, 3420);
    EXPECT_EQ(row.left, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Counts, ButtonRowArithmetic,
                         ::testing::Values(RowCase{0, 3128}, RowCase{1, 2558}, RowCase{2, 1988}, RowCase{3, 1418},
                                           RowCase{4, 848}));

TEST(frmMsgBoxLayout, ButtonRowRoundsHalvesToEven) {
    // 1001.5 + 45 = 1046.5 -> 1046; (5000 - 2 * 1046) / 2 + 45 = 1499;
    // 3000.5 - 400 - 90 = 2510.5 -> 2510.
    const frmMsgBox::ButtonRow a = frmMsgBox::ComputeButtonRow(5000, 3000.5, 1001.5, 400, 2);
    EXPECT_EQ(a.step, 1046);
    EXPECT_EQ(a.left, 1499);
    EXPECT_EQ(a.top, 2510);
    // 1000.5 + 45 = 1045.5 -> 1046; (5001 - 3 * 1046) / 2 + 45 = 976.5 -> 976.
    const frmMsgBox::ButtonRow b = frmMsgBox::ComputeButtonRow(5001, 3000, 1000.5, 400, 3);
    EXPECT_EQ(b.step, 1046);
    EXPECT_EQ(b.left, 976);
}

struct PlacementCase {
    int lines;
    int lineHeight;
    int top;
    int height;
};

inline void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.lines << " x " << c.lineHeight; }

class MessagePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(MessagePlacement, CentresTheTextInTheBand) {
    const PlacementCase c = GetParam();
    const frmMsgBox::TextPlacement p = frmMsgBox::ComputeMessagePlacement(c.lines, c.lineHeight);
    EXPECT_EQ(p.top, c.top);
    EXPECT_EQ(p.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MessagePlacement,
    ::testing::Values(PlacementCase{0, 240, 1748, 0},      // (2985 - 0) / 2 + 255 = 1747.5 -> 1748
                      PlacementCase{1, 240, 1628, 240},    // 1372.5 + 255 = 1627.5 -> 1628
                      PlacementCase{2, 200, 1548, 400},    // 1292.5 + 255 = 1547.5 -> 1548
                      PlacementCase{13, 240, 188, 2985},   // -67.5 + 255 = 187.5 -> 188, cut at 2985
                      PlacementCase{15, 233, 0, 2985},     // 3495: -255 + 255 = 0
                      PlacementCase{1, 3496, 0, 2985},     // -0.5 -> 0, not below 0
                      PlacementCase{1, 3497, 255, 2985})); // -1 -> below 0 -> 255

// ---- the shown form ---------------------------------------------------------

struct StyleCase {
    int style;
    bool help;
    QStringList row;
    QString focus;
};

inline void PrintTo(const StyleCase& c, std::ostream* os) { *os << "style " << c.style << (c.help ? " help" : ""); }

class ButtonSets : public ::testing::TestWithParam<StyleCase> {};

TEST_P(ButtonSets, ShowsTheSetInIndexOrderWithFocusOnTheLowestTabIndex) {
    const StyleCase c = GetParam();
    frmMsgBox box;
    box.setWindowTitle(QStringLiteral("Varnello"));
    box.SetMessage(QStringLiteral("A question"));
    box.SetStyle(c.style);
    box.SetDisplayHelpButton(c.help);

    std::vector<ShownButton> row;
    QString focus;
    vtest::AnswerNextModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &box);
        row = VisibleRow(box);
        focus = box.focusWidget() ? box.focusWidget()->property("text").toString() : QString();
        for (int i = 1; i <= 7; ++i) {
            if (box.ResponseButton(i)->isVisible()) {
                box.ResponseButton(i)->click();
                break;
            }
        }
    });
    box.ShowMessage();

    EXPECT_EQ(Captions(row), c.row);
    EXPECT_EQ(focus, c.focus);
    // The row's pixels follow the twips arithmetic.
    const frmMsgBox::ButtonRow twips = frmMsgBox::ComputeButtonRow(static_cast<int>(c.row.size()));
    for (std::size_t k = 0; k < row.size(); ++k)
        EXPECT_EQ(row[k].x, Px(twips.left + static_cast<double>(k) * twips.step)) << k;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ButtonSets,
    ::testing::Values(StyleCase{0, false, {"&OK"}, "&OK"}, StyleCase{1, false, {"&OK", "&Cancel"}, "&OK"},
                      StyleCase{2, false, {"&Abort", "&Retry", "&Ignore"}, "&Abort"},
                      StyleCase{3, false, {"&Cancel", "&Yes", "No"}, "&Cancel"},
                      StyleCase{4, false, {"&Yes", "No"}, "&Yes"}, StyleCase{5, false, {"&Cancel", "&Retry"}, "&Cancel"},
                      StyleCase{4, true, {"&Yes", "No", "&Help"}, "&Yes"},
                      StyleCase{0, true, {"&OK", "&Help"}, "&OK"}));

TEST(frmMsgBox, YesNoWithHelpPutsTheFirstButtonAt1418Twips) {
    frmMsgBox box;
    box.SetStyle(4);
    box.SetDisplayHelpButton(true);
    std::vector<ShownButton> row;
    ShowThenPress(box, 7, [&] { row = VisibleRow(box); });
    ASSERT_EQ(row.size(), 3u);
    // 1418, 2558 and 3698 twips: 94.5, 170.5 and 246.5 pixels, rounded.
    EXPECT_EQ(row[0].x, 95);
    EXPECT_EQ(row[1].x, 171);
    EXPECT_EQ(row[2].x, 247);
    EXPECT_EQ(box.ResponseButton(6)->y(), 228); // 3420 twips
    EXPECT_EQ(box.Response(), 7);
}

struct PressCase {
    int style;
    int index;
};

inline void PrintTo(const PressCase& c, std::ostream* os) { *os << "style " << c.style << " button " << c.index; }

class Responses : public ::testing::TestWithParam<PressCase> {};

TEST_P(Responses, TheButtonPressedIsTheResponse) {
    frmMsgBox box;
    box.SetStyle(GetParam().style);
    ShowThenPress(box, GetParam().index);
    EXPECT_EQ(box.Response(), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Buttons, Responses,
                         ::testing::Values(PressCase{0, 1}, PressCase{1, 2}, PressCase{2, 3}, PressCase{2, 4},
                                           PressCase{2, 5}, PressCase{3, 6}, PressCase{3, 7}, PressCase{3, 2},
                                           PressCase{4, 6}, PressCase{4, 7}, PressCase{5, 4}));

TEST(frmMsgBox, ResponseIsZeroBeforeAnyButtonIsPressed) {
    frmMsgBox box;
    EXPECT_EQ(box.Response(), 0);
    EXPECT_EQ(box.Style(), 0);
    EXPECT_FALSE(box.DoBeep());
    EXPECT_FALSE(box.DisplayHelpButton());
    EXPECT_EQ(box.HelpID(), 0);
    EXPECT_TRUE(box.Message().isEmpty());
}

TEST(frmMsgBox, StyleOutsideZeroToFiveFallsBackToOkInsteadOfLeavingNoWayOut) {
    for (int style : {36, 6, -1, 4 + 32}) {
        frmMsgBox box;
        EXPECT_EQ(RowOfStyle(box, style, false), QStringList{QStringLiteral("&OK")}) << style;
        EXPECT_EQ(box.Response(), 1) << style;
    }
}

TEST(frmMsgBox, StyleOutsideZeroToFiveWithHelpStillGetsOk) {
    frmMsgBox box;
    EXPECT_EQ(RowOfStyle(box, 36, true), (QStringList{QStringLiteral("&OK"), QStringLiteral("&Help")}));
}

TEST(frmMsgBox, HelpOpensTheTopicAndLeavesTheFormOpen) {
    struct Call {
        unsigned command;
        long long data;
    };
    std::vector<Call> calls;
    const platform::ui::HelpHandler old = platform::ui::SetHelpHandler(
        [&](const QString&, unsigned command, const QVariant& data) {
            calls.push_back({command, data.toLongLong()});
            return true;
        });

    frmMsgBox box;
    box.SetStyle(4);
    box.SetDisplayHelpButton(true);
    box.SetHelpID(220);
    bool stillOpen = false;
    int responseAfterHelp = -1;
    ShowThenPress(box, 6, [&] {
        box.ResponseButton(8)->click();
        stillOpen = box.isVisible();
        responseAfterHelp = box.Response();
    });
    platform::ui::SetHelpHandler(old);

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, platform::ui::HELP_CONTEXT);
    EXPECT_EQ(calls[0].data, 220);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(responseAfterHelp, 0);
    EXPECT_EQ(box.Response(), 6);
}

TEST(frmMsgBox, EscapeDoesNothingAndEnterPressesOk) {
    frmMsgBox box;
    box.SetStyle(1);
    bool openAfterEscape = false;
    vtest::AnswerNextModal([&](QWidget*) {
        QWidget* focus = box.focusWidget();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(focus, &esc);
        openAfterEscape = box.isVisible();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(focus, &enter);
        if (box.isVisible())
            box.ResponseButton(2)->click();
    });
    box.ShowMessage();
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(box.Response(), 1);
}

TEST(frmMsgBox, ClosingTheWindowLeavesTheResponseAsItWas) {
    frmMsgBox box;
    box.SetStyle(4);
    ShowThenPress(box, 6);
    ASSERT_EQ(box.Response(), 6);

    ShowThenPress(box, 0, [&] { box.close(); });
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.Response(), 6);
}

TEST(frmMsgBox, BeepsOnlyWhenAsked) {
    int beeps = 0;
    const BeepHandler old = SetBeepHandler([&] { ++beeps; });
    for (bool doBeep : {false, true}) {
        frmMsgBox box;
        box.SetDoBeep(doBeep);
        ShowThenPress(box, 1);
    }
    SetBeepHandler(old);
    EXPECT_EQ(beeps, 1);
}

TEST(frmMsgBox, ShowingTheMessageClearsTheCallersHourglass) {
    platform::ui::SetScreenMousePointer(platform::ui::vbHourglass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    frmMsgBox box;
    int pointer = -1;
    bool overridden = true;
    ShowThenPress(box, 1, [&] {
        pointer = platform::ui::ScreenMousePointer();
        overridden = QGuiApplication::overrideCursor() != nullptr;
    });
    EXPECT_EQ(pointer, platform::ui::vbDefault);
    EXPECT_FALSE(overridden);
}

TEST(frmMsgBox, OneLineIsCentredInTheBand) {
    frmMsgBox box;
    box.SetMessage(QStringLiteral("Scenario saved."));
    ShowThenPress(box, 1);

    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    const double lineHeight = std::nearbyint(QFontMetricsF(font).lineSpacing() * 15);
    const double top = std::nearbyint((2985 - lineHeight) / 2 + 255);
    EXPECT_EQ(box.GetTextBoxLineCount(), 1);
    EXPECT_EQ(box.MessageArea()->y(), Px(top));
    EXPECT_EQ(box.MessageArea()->height(), Px(lineHeight));
    EXPECT_EQ(box.MessageArea()->x(), 156);     // 2340 twips
    EXPECT_EQ(box.MessageArea()->width(), 242); // 3630 twips
}

TEST(frmMsgBox, LinesAreCountedAsLaidOut) {
    frmMsgBox box;
    struct Case {
        QString text;
        int lines;
    };
    for (const Case& c : {Case{QString(), 1}, Case{QStringLiteral("one"), 1},
                          Case{QStringLiteral("one\ntwo\nthree"), 3}, Case{QStringLiteral("a\n\nb"), 3}}) {
        box.SetMessage(c.text);
        ShowThenPress(box, 1);
        EXPECT_EQ(box.GetTextBoxLineCount(), c.lines) << c.text.toStdString();
    }
    // A paragraph far wider than the area wraps onto several lines.
    box.SetMessage(QString(QStringLiteral("word ")).repeated(60));
    ShowThenPress(box, 1);
    EXPECT_GT(box.GetTextBoxLineCount(), 3);
}

TEST(frmMsgBox, AVeryLongMessageIsCutAtTheBandHeight) {
    frmMsgBox box;
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    box.SetMessage(lines.join(QLatin1Char('\n')));
    ShowThenPress(box, 1);
    EXPECT_EQ(box.GetTextBoxLineCount(), 60);
    EXPECT_EQ(box.MessageArea()->y(), 17);       // 255 twips
    EXPECT_EQ(box.MessageArea()->height(), 199); // 2985 twips
    EXPECT_EQ(box.MessageArea()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(frmMsgBox, HasTheFixedDesignSize) {
    frmMsgBox box;
    EXPECT_EQ(box.size(), QSize(411, 260)); // 6165 x 3900 twips
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_TRUE(box.ResponseButton(1)->isDefault());
    EXPECT_EQ(box.ResponseButton(1)->size(), QSize(73, 26)); // 1095 x 390 twips
}

TEST(frmMsgBox, ShowAsksInOneCall) {
    vtest::AnswerNextModal([](QWidget* modal) {
        auto* box = qobject_cast<frmMsgBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Varnello"));
        EXPECT_EQ(box->MessageArea()->toPlainText(), QStringLiteral("Delete the scenario?"));
        box->ResponseButton(7)->click();
    });
    EXPECT_EQ(frmMsgBox::Show(nullptr, QStringLiteral("Varnello"), QStringLiteral("Delete the scenario?"), 4, false), 7);
}

TEST(frmMsgBox, EachKindOfMessageHasItsStandardIconAndAQuestionMayDefaultToNo) {
    struct Row {
        int style;         // as frmMsgBox::Show takes it: the set, an icon, a default button
        int icon;          // shown
        int enterAnswers;  // the button with the focus, which Enter presses
        const char* why;
    } rows[] = {
        {vbOKOnly, vbExclamation, vbOK, "a message the user must heed: the warning icon"},
        {vbYesNo, vbQuestion, vbYes, "a question: the question icon"},
        {vbYesNoCancel, vbQuestion, vbCancel, "yes, no, cancel: a question too"},
        {vbOKOnly | vbInformation, vbInformation, vbOK, "an icon named by the caller"},
        {vbOKOnly | vbCritical, vbCritical, vbOK, "critical"},
        {vbYesNo | vbDefaultButton2, vbQuestion, vbNo, "No the default: Enter must not destroy anything"},
        {vbYesNo | vbExclamation | vbDefaultButton2, vbExclamation, vbNo, "a warning asking, No the default"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        int icon = 0;
        bool pictured = false;
        vtest::AnswerNextModal([&](QWidget* w) {
            auto* box = qobject_cast<frmMsgBox*>(w);
            ASSERT_NE(box, nullptr);
            icon = box->IconShown();
            pictured = box->IconImage()->isVisible() && !box->IconImage()->pixmap().isNull() &&
                       box->IconImage()->property("IconKind").toInt() == icon;
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(box->focusWidget(), &enter);
            if (box->isVisible())
                box->reject();
        });
        EXPECT_EQ(frmMsgBox::Show(nullptr, QStringLiteral("Varnello"), QStringLiteral("Go on?"), r.style, false),
                  r.enterAnswers);
        EXPECT_EQ(icon, r.icon);
        EXPECT_TRUE(pictured);
    }
}

TEST(frmMsgBox, StandsCentredOnItsOwnerWindowAndOnTheScreenWithoutOne) {
    // Its middle far from the screen's (400, 300).
    QWidget owner;
    owner.setGeometry(10, 20, 460, 400);
    owner.show();
    QApplication::processEvents();
    struct Row {
        QWidget* parent;
        const char* why;
    } rows[] = {{&owner, "over the window it belongs to"}, {nullptr, "no owner: the screen's middle"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        QPoint middle;
        vtest::AnswerNextModal([&](QWidget* w) {
            middle = w->frameGeometry().center();
            qobject_cast<frmMsgBox*>(w)->ResponseButton(1)->click();
        });
        frmMsgBox::Show(r.parent, QStringLiteral("Varnello"), QStringLiteral("Done."), vbOKOnly, false);
        const QPoint expected = r.parent ? owner.frameGeometry().center()
                                         : QGuiApplication::primaryScreen()->geometry().center();
        // Placed before the window manager framed it: half a frame off at most.
        EXPECT_LE((middle - expected).manhattanLength(), 12) << middle.x() << "," << middle.y();
    }
}
