// The scenario list with large fonts (fonts at 144 dots per inch, windows
// not scaled). Run by CTest as app_large_font_tests (QT_FONT_DPI=144,
// QT_ENABLE_HIGHDPI_SCALING=0); skipped at 96 dots per inch.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmStatMain.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>

using namespace apptest;

namespace {

class LargeFonts : public AppFixture {
protected:
    void SetUp() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || screen->logicalDotsPerInchY() < 120)
            GTEST_SKIP() << "needs fonts at 144 dots per inch; CTest runs these as app_large_font_tests";
        AppFixture::SetUp();
    }
    void TearDown() override {
        if (!IsSkipped()) AppFixture::TearDown();
    }
    frmStatMain* OpenList() {
        CreateScoresDatabase(File("list.db"), true, {DescribeScores("out1")});
        script.OpenDatabase(File("list.db"));
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }

    ModalScript script;
    MDIMain* frame = nullptr;
};

// The six buttons kept their design width of 69 pixels: "Duplicate" at 144
// dots per inch needs more and showed as "uplicat".
TEST_F(LargeFonts, ScenarioListButtonsShowTheirWholeCaptions) {
    frmStatMain* list = OpenList();
    ASSERT_NE(list, nullptr);
    Pump();
    for (int i = 0; i < 6; ++i) {
        QPushButton* b = list->cmdAction(i);
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        const int needed = b->fontMetrics().size(Qt::TextShowMnemonic, b->text()).width();
        EXPECT_GE(room.width(), needed) << b->text().toStdString();
    }
}

// The frames of analysis types kept their design height of 168 pixels: at
// 144 dots per inch the eight types of a group need more, and their option
// buttons lay over each other, the last one cut by the frame's edge.
TEST_F(LargeFonts, ScenarioListTypeOptionsStandApartInsideTheirFrame) {
    frmStatMain* list = OpenList();
    ASSERT_NE(list, nullptr);
    Pump();
    for (int tab = 1; tab <= 3; ++tab) {
        QGroupBox* box = list->SubTypeFrame(tab);
        ASSERT_NE(box, nullptr);
        const QList<QRadioButton*> options = box->findChildren<QRadioButton*>();
        ASSERT_FALSE(options.isEmpty());
        int bottom = -1;
        for (QRadioButton* option : options) {
            const QRect g = option->geometry();
            EXPECT_GE(g.height(), option->fontMetrics().height()) << option->text().toStdString();
            EXPECT_GT(g.top(), bottom) << option->text().toStdString() << ": over the one above";
            EXPECT_LE(g.bottom(), box->contentsRect().bottom()) << option->text().toStdString();
            bottom = g.bottom();
        }
    }
}

} // namespace
