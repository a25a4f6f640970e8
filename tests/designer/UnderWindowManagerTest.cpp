// The designer's pages as a window manager frames them, on a real X server:
// every page stands where the previous one stood, at one size, also after
// the user moved the first one. Run by CTest as
// designer_window_manager_tests (Xvfb and openbox, started by
// tests/app/run-under-window-manager.sh); skipped elsewhere.
// VARNELLO_SCREENSHOT_DIR keeps a picture of the screen at every page.
#include "DesignerTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace {

bool HaveWindowManager() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           !qEnvironmentVariableIsEmpty("VARNELLO_WINDOW_MANAGER");
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits until the window manager has framed the window and its frame has
// stood still for a while (a loaded machine answers late).
bool WaitFramed(QWidget& w) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000 && !(w.isVisible() && w.frameGeometry() != w.geometry())) Pump(20);
    QRect last = w.frameGeometry();
    QElapsedTimer still;
    still.start();
    while (t.elapsed() < 20000 && still.elapsed() < 400) {
        Pump(20);
        if (w.frameGeometry() != last) {
            last = w.frameGeometry();
            still.restart();
        }
    }
    return w.frameGeometry() != w.geometry();
}

void KeepPicture(const QString& name) {
    const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

class UnderWindowManager : public dtest::DesignerTest {
protected:
    void SetUp() override {
        if (!HaveWindowManager())
            GTEST_SKIP() << "needs an X server with a window manager; CTest runs these as designer_window_manager_tests";
        DesignerTest::SetUp();
    }
    void TearDown() override {
        if (HaveWindowManager()) DesignerTest::TearDown();
    }
};

// The pages opened each at their own size and place, so the wizard jumped
// at every step.
TEST_F(UnderWindowManager, EveryPageStandsWhereTheFirstWasMovedTo) {
    dtest::Script script;
    std::vector<QRect> frames;
    const QStringList pages{"1_type", "2_table", "3_fields", "4_options", "50_finish"};
    for (int i = 0; i < pages.size(); ++i) {
        script.Then([&, i](QDialog& d) {
            d.show();
            // (On a machine so loaded that the window manager has not framed
            // the page by then, the places are compared all the same.)
            WaitFramed(d);
            if (i == 0) {
                // The user moves the first page.
                const QRect before = d.frameGeometry();
                d.move(before.topLeft() + QPoint(90, 60));
                QElapsedTimer t;
                t.start();
                while (t.elapsed() < 5000 && d.frameGeometry() == before) Pump(20);
                WaitFramed(d);
            }
            frames.push_back(d.frameGeometry());
            KeepPicture(QStringLiteral("wm_") + pages[i]);
            dynamic_cast<CWizPage&>(d).LeaveWith(2); // next; on the Finish page: leave
            Pump(100);
        });
    }
    CMelvarsPropWiz wiz;
    wiz.SetCalcType("Describe");
    wiz.SetTable("Data");
    EXPECT_FALSE(wiz.ShowStatWizard(1));
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(pages.size()));
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], frames[0]) << pages[static_cast<int>(i)].toStdString();
}

} // namespace
