// The designer's pages on a small screen: a 1366 x 768 screen at 150 %
// scaling (or with the fonts at 144 dots per inch) leaves 911 x 512 points,
// less than a page's design size. Run by CTest as designer_small_screen_tests,
// on an offscreen screen of that size (tests/support/screen-911x512.json);
// skipped on a larger screen.
#include "DesignerTestSupport.h"

#include "designer/CWizPage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include <memory>

namespace {

using dtest::DesignerTest;
using dtest::Script;

using dtest::NewPage;
using dtest::Pump;

class SmallScreen : public DesignerTest {
protected:
    void SetUp() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || screen->availableGeometry().height() > 600)
            GTEST_SKIP() << "needs a screen under 600 points high; CTest runs these as designer_small_screen_tests";
        DesignerTest::SetUp();
    }
    void TearDown() override {
        if (!IsSkipped()) DesignerTest::TearDown();
    }
};

// The page opened at its design size, 780 x 550 points: on the screen of
// 512 its bottom, with Help, Cancel, Back and Next, stood past the screen's
// edge, out of reach of the mouse.
TEST_F(SmallScreen, APageLargerThanTheScreenKeepsItsButtonsOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (long number : {1L, 2L, 3L, 4L, 5L, 6L, 7L, 8L, 9L, 10L, 11L, 12L, 13L, 14L, 15L, 16L, 17L, 18L, 50L}) {
        Script script;
        dtest::Wizard wiz("Describe");
        std::unique_ptr<CWizPage> page = NewPage(number, wiz);
        ASSERT_TRUE(page) << number;
        page->show();
        Pump();
        EXPECT_TRUE(area.contains(page->frameGeometry())) << number;
        for (QPushButton* b : page->findChildren<QPushButton*>()) {
            if (!b->isVisible()) continue;
            const QRect onScreen(b->mapToGlobal(QPoint(0, 0)), b->size());
            EXPECT_TRUE(area.contains(onScreen)) << number << ": " << b->text().toStdString();
        }
        page->hide();
    }
}

} // namespace
