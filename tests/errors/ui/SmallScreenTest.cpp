// The error dialog on a small screen: a 1366 x 768 screen at 150 % scaling
// (or with the fonts at 144 dots per inch) leaves 911 x 512 points. Run by
// CTest as errors_ui_small_screen_tests, on an offscreen screen of that size
// (tests/support/screen-911x512.json); skipped on a larger screen.
#include "errors/ui/frmErrorHandler.h"

#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace {

class SmallScreen : public ::testing::Test {
protected:
    void SetUp() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || screen->availableGeometry().height() > 600)
            GTEST_SKIP() << "needs a screen under 600 points high; CTest runs these as errors_ui_small_screen_tests";
    }
};

// Widened to the screen's width the dialog was still 536 points high, more
// than the screen: Continue and Close stood below its bottom edge, out of
// reach of the mouse.
TEST_F(SmallScreen, ErrorDialogKeepsContinueAndCloseOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    frmErrorHandler dlg;
    dlg.SetAppName(QStringLiteral("Varnello"));
    dlg.SetErrorString(QStringLiteral("Division by zero"));
    dlg.SetErrorFile(QStringLiteral("/opt/varnello/error.log"));
    QRect window;
    QRect continueButton;
    QRect closeButton;
    vtest::AnswerNextModal([&](QWidget*) {
        window = dlg.frameGeometry();
        continueButton = QRect(dlg.ActionButton(0)->mapToGlobal(QPoint(0, 0)), dlg.ActionButton(0)->size());
        closeButton = QRect(dlg.ActionButton(1)->mapToGlobal(QPoint(0, 0)), dlg.ActionButton(1)->size());
        dlg.ActionButton(0)->click();
    });
    dlg.exec();
    EXPECT_TRUE(area.contains(window)) << window.top() << " to " << window.bottom();
    EXPECT_TRUE(area.contains(continueButton)) << continueButton.bottom();
    EXPECT_TRUE(area.contains(closeButton)) << closeButton.bottom();
}

} // namespace
