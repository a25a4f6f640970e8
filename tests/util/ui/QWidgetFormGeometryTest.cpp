#include "util/ui/QWidgetFormGeometry.h"

#include "support/QtTestSupport.h"
#include "platform/RegistryStore.h"
#include "platform/Screen.h"
#include "platform/ui/QtPlatform.h"
#include "support/TempDir.h"
#include "util/CWinPos.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

int Px(double twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// A named window, placed at `at` (pixels) unless that is null, and its
// geometry in twips.
struct Form {
    QWidget w;
    QWidgetFormGeometry g{&w};
    explicit Form(const char* name, const QRect& at = {}) {
        w.setObjectName(QString::fromLatin1(name));
        if (!at.isNull())
            w.setGeometry(at);
    }
};

// A registry file in a temporary folder and the Qt screen, for one test.
class WindowPositionsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RegistryStore::SetPath(m_dir.file("registry.ini"));
        platform::ui::InstallQtScreenInfo();
        m_winPos.ProductSettings().SetRegBase("ZUR");
        m_winPos.ProductSettings().SetMainBranch("SOFTWARE");
        m_winPos.ProductSettings().SetProgram("Varnello Demo\\5.0");
        m_winPos.ProductSettings().SetSection("Form Position");
    }
    void TearDown() override {
        platform::SetScreenInfoProvider({});
        platform::RegistryStore::SetPath("");
    }

    vtest::TempDir m_dir;
    CWinPos m_winPos;
};

} // namespace

TEST(QWidgetFormGeometry, ReadsAndWritesTwips) {
    Form f("frmStatMain", QRect(100, 50, 300, 200));
    QWidgetFormGeometry& g = f.g;
    EXPECT_EQ(g.Name(), "frmStatMain");
    EXPECT_EQ(g.Left(), 1500);
    EXPECT_EQ(g.Top(), 750);
    EXPECT_EQ(g.Width(), 4500);
    EXPECT_EQ(g.Height(), 3000);

    g.SetLeft(3000);
    g.SetTop(1500);
    g.SetWidth(6000);
    g.SetHeight(4507); // 300.47 pixels
    EXPECT_EQ(f.w.geometry(), QRect(200, 100, 400, 300));
}

TEST(QWidgetFormGeometry, WindowStates) {
    QWidget w;
    QWidgetFormGeometry g(&w);
    EXPECT_EQ(g.WindowState(), vbNormal);
    g.SetWindowState(vbMaximized);
    EXPECT_EQ(g.WindowState(), vbMaximized);
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    g.SetWindowState(vbMinimized);
    EXPECT_EQ(g.WindowState(), vbMinimized);
    g.SetWindowState(vbNormal);
    EXPECT_EQ(g.WindowState(), vbNormal);
}

TEST(QWidgetFormGeometry, AWindowWithoutANameUsesItsClassName) {
    QWidget w;
    EXPECT_EQ(QWidgetFormGeometry(&w).Name(), "QWidget");
}

TEST_F(WindowPositionsFixture, SavedPositionComesBack) {
    Form f("frmStatMain", QRect(100, 50, 300, 200));
    m_winPos.SaveForm(f.g);
    EXPECT_EQ(m_winPos.ProductSettings().ReadEntry("frmStatMain"), "1500 750 4500 3000 0");

    f.w.setGeometry(0, 0, 50, 50);
    EXPECT_TRUE(m_winPos.RestoreForm(f.g));
    EXPECT_EQ(f.w.geometry(), QRect(100, 50, 300, 200));
}

TEST_F(WindowPositionsFixture, AWindowOffTheRightEdgeIsNarrowedToTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const double screenWidth = screen.width() * 15.0;
    const double left = screenWidth - 1000;
    m_winPos.ProductSettings().WriteEntry("frmStatMain", std::to_string(static_cast<long>(left)) + " 300 6000 3000 0");

    Form f("frmStatMain");
    ASSERT_TRUE(m_winPos.RestoreForm(f.g));
    // Width = screen width - Left, taken from the Left just restored (in whole pixels).
    EXPECT_EQ(f.w.x(), Px(left));
    EXPECT_EQ(f.w.y(), 20);
    EXPECT_EQ(f.w.width(), Px(screenWidth - f.w.x() * 15.0));
    EXPECT_EQ(f.w.height(), 200);
}

TEST_F(WindowPositionsFixture, AMaximizedWindowComesBackMaximizedWhereItWas) {
    Form saved("MDIMain", QRect(40, 30, 320, 240));
    saved.g.SetWindowState(vbMaximized);
    m_winPos.SaveForm(saved.g);
    EXPECT_EQ(m_winPos.ProductSettings().ReadEntry("MDIMain"), "-1 -1 -1 -1 2");

    Form other("MDIMain", QRect(10, 20, 200, 100));
    ASSERT_TRUE(m_winPos.RestoreForm(other.g));
    EXPECT_EQ(other.g.WindowState(), vbMaximized);
    // Behind the maximized window, where the saved one stood: restoring it
    // goes back there.
    EXPECT_EQ(QWidgetFormGeometry::NormalGeometryOf(&other.w), QRect(40, 30, 320, 240));
    other.w.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(other.w.geometry(), QRect(40, 30, 320, 240));
}

TEST_F(WindowPositionsFixture, ANeverSavedWindowIsLeftAlone) {
    Form f("frmNeverSaved", QRect(10, 20, 200, 100));
    EXPECT_FALSE(m_winPos.RestoreForm(f.g));
    EXPECT_EQ(f.w.geometry(), QRect(10, 20, 200, 100));
}
