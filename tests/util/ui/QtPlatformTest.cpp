#include "platform/ui/QtPlatform.h"

#include "support/QtTestSupport.h"
#include "support/ShownText.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

// Installs the Qt message box for one test and takes it away afterwards.
class QtMessageBoxInstalled {
public:
    QtMessageBoxInstalled() { platform::ui::InstallQtMessageBox(); }
    ~QtMessageBoxInstalled() {
        SetMessageBoxHandler({});
        SetBeepHandler({});
    }
    QtMessageBoxInstalled(const QtMessageBoxInstalled&) = delete;
    QtMessageBoxInstalled& operator=(const QtMessageBoxInstalled&) = delete;
};

struct Seen {
    QString title;
    QString text;
    QString shown; // the message as the reader sees it
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
    Qt::WindowFlags flags;
    int answer = 0; // what MsgBox returned
};

// Looks at the message box and presses the button with the given text.
void AnswerWith(Seen& seen, const QString& press) {
    vtest::AnswerNextModal([&seen, press](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            seen.shown = vtest::ShownText(label);
        seen.icon = box->icon();
        seen.flags = box->windowFlags();
        for (QAbstractButton* b : box->buttons())
            seen.buttons << b->text().remove(QLatin1Char('&'));
        seen.buttons.sort();
        if (box->defaultButton())
            seen.defaultButton = box->defaultButton()->text().remove(QLatin1Char('&'));
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(QLatin1Char('&')) == press)
                b->click();
    });
}

// Asks MsgBox(prompt, buttons, title) and presses `press`: what the box showed.
Seen Ask(const std::string& prompt, int buttons, const char* press, const std::string& title = "Varnello") {
    Seen seen;
    AnswerWith(seen, QString::fromLatin1(press));
    seen.answer = MsgBox(prompt, buttons, title);
    return seen;
}

} // namespace

class QtMsgBoxDetails : public ::testing::Test {
    QtMessageBoxInstalled installed;
};

struct MsgBoxCase {
    int buttons;
    const char* press;
    int result;
    QStringList shown;
};

inline void PrintTo(const MsgBoxCase& c, std::ostream* os) { *os << "buttons " << c.buttons; }

class QtMsgBox : public ::testing::TestWithParam<MsgBoxCase> {};

TEST_P(QtMsgBox, ShowsTheSetAndReturnsThePressedButton) {
    QtMessageBoxInstalled installed;
    const Seen seen = Ask("Replace the table?", GetParam().buttons, GetParam().press);
    EXPECT_EQ(seen.answer, GetParam().result);
    EXPECT_EQ(seen.title, QStringLiteral("Varnello"));
    EXPECT_EQ(seen.text, QStringLiteral("Replace the table?"));
    QStringList shown = GetParam().shown;
    shown.sort();
    EXPECT_EQ(seen.buttons, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, QtMsgBox,
    ::testing::Values(MsgBoxCase{vbOKOnly, "OK", vbOK, {"OK"}},
                      MsgBoxCase{vbOKCancel, "Cancel", vbCancel, {"OK", "Cancel"}},
                      MsgBoxCase{vbAbortRetryIgnore, "Ignore", vbIgnore, {"Abort", "Retry", "Ignore"}},
                      MsgBoxCase{vbYesNoCancel, "No", vbNo, {"Yes", "No", "Cancel"}},
                      MsgBoxCase{vbYesNo | vbQuestion, "Yes", vbYes, {"Yes", "No"}},
                      MsgBoxCase{vbRetryCancel, "Retry", vbRetry, {"Retry", "Cancel"}},
                      MsgBoxCase{6, "OK", vbOK, {"OK"}}));

TEST_F(QtMsgBoxDetails, IconAndDefaultButtonFollowTheFlags) {
    const Seen seen = Ask("Delete?", vbYesNo | vbExclamation | vbDefaultButton2, "No");
    EXPECT_EQ(seen.answer, vbNo);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("No"));

    const Seen stop = Ask("Failed", vbOKOnly | vbCritical, "OK");
    EXPECT_EQ(stop.icon, QMessageBox::Critical);
    EXPECT_EQ(stop.defaultButton, QStringLiteral("OK"));
}

TEST_F(QtMsgBoxDetails, WithoutAnIconFlagTheBoxHasTheIconOfItsKind) {
    struct Row {
        int buttons;
        const char* press;
        QMessageBox::Icon icon;
        const char* why;
    } rows[] = {
        {vbYesNo, "Yes", QMessageBox::Question, "a question"},
        {vbYesNoCancel, "Cancel", QMessageBox::Question, "a question with Cancel"},
        {vbOKOnly, "OK", QMessageBox::Warning, "a message to heed"},
        {vbRetryCancel, "Cancel", QMessageBox::Warning, "a failure to retry"},
        {vbOKOnly | vbInformation, "OK", QMessageBox::Information, "a flag names another"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(Ask("Text", r.buttons, r.press).icon, r.icon);
    }
}

// Under a window manager the frame showed minimize and maximize buttons
// on a box that can be neither: only its title and close button are asked for.
TEST_F(QtMsgBoxDetails, TheFrameHasNoMinimizeOrMaximizeButton) {
    const Seen seen = Ask("Done", vbOKOnly, "OK");
    EXPECT_TRUE(seen.flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(seen.flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(seen.flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(seen.flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(seen.flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(seen.flags & Qt::WindowType_Mask, Qt::Dialog);
}

TEST_F(QtMsgBoxDetails, EscapeAnswersCancel) {
    vtest::AnswerNextModal([](QWidget* modal) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(modal, &esc);
    });
    EXPECT_EQ(MsgBox("Save first?", vbYesNoCancel, "Varnello"), vbCancel);
}

TEST_F(QtMsgBoxDetails, AnEmptyTitleIsTheApplicationsTitle) {
    platform::App::SetTitle("Varnello Scenario Designer");
    EXPECT_EQ(Ask("Done", vbOKOnly, "OK", {}).title, QStringLiteral("Varnello Scenario Designer"));
}

// Messages carry names and texts from the user's data (a table, a field, a
// database's own error text): they are shown as they stand, never read as
// HTML that drops the tags or turns an entity into another character.
TEST_F(QtMsgBoxDetails, TheMessageIsShownAsItStandsNeverAsHtml) {
    struct Row {
        const char* prompt;
        const char* why;
    } rows[] = {
        {"<b>Scores</b> cannot be found.", "a table named with tags"},
        {"Error: 3078. The input table '<i>Sales</i>' cannot be found.", "a tag after other words on the first line"},
        {"Values &lt; 0 are missing.", "an entity typed as text"},
        {"R&D totals", "an ampersand is no access key"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(Ask(r.prompt, vbOKOnly, "OK").shown, QString::fromUtf8(r.prompt));
    }
}

TEST(QtScreenInfo, ReportsThePrimaryScreen) {
    platform::ui::InstallQtScreenInfo();
    const std::optional<platform::ScreenInfo> info = platform::GetScreenInfo();
    platform::SetScreenInfoProvider({});
    ASSERT_TRUE(info.has_value());
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(info->width, screen->geometry().width());
    EXPECT_EQ(info->height, screen->geometry().height());
    EXPECT_EQ(info->workWidth, screen->availableGeometry().width());
    EXPECT_EQ(info->bitsPerPixel, screen->depth());
    EXPECT_GT(info->bitsPerPixel, 0);
    EXPECT_EQ(info->planes, 1);
}
