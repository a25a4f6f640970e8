// The message form with large fonts (fonts at 144 dots per inch, windows
// not scaled). Run by CTest as errors_ui_large_font_tests
// (QT_FONT_DPI=144, QT_ENABLE_HIGHDPI_SCALING=0); skipped at 96 dots per inch.
#include "errors/ui/frmMsgBox.h"

#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>

namespace {

class LargeFonts : public ::testing::Test {
protected:
    void SetUp() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || screen->logicalDotsPerInchY() < 120)
            GTEST_SKIP() << "needs fonts at 144 dots per inch; CTest runs these as errors_ui_large_font_tests";
    }
};

// At 144 dots per inch a line of the message is laid out 28 pixels high
// while the font's line spacing says 27: the area, sized at 27 a line, cut
// the last line's foot, and the overwrite question named the table
// "Sales Describe" where it was Sales_Describe.
TEST_F(LargeFonts, MessageFormShowsItsLastLineWhole) {
    for (const char* text :
         {"Sales_Describe", "The following output table(s) already exist in the current database. Do you want to "
                            "overwrite them?\n\nSales_Describe"}) {
        frmMsgBox box;
        box.SetMessage(QString::fromLatin1(text));
        box.SetStyle(4);
        int areaHeight = 0;
        int laidOut = 0;
        vtest::AnswerNextModal([&](QWidget*) {
            QTextEdit* area = box.MessageArea();
            areaHeight = area->viewport()->height();
            laidOut = static_cast<int>(std::ceil(area->document()->documentLayout()->documentSize().height()));
            box.ResponseButton(7)->click();
        });
        box.ShowMessage();
        ASSERT_GT(laidOut, 0) << text;
        EXPECT_GE(areaHeight, laidOut) << text;
    }
}

} // namespace
