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
    QWidget w;
    w.setObjectName(QStringLiteral("frmStatMain"));
    w.setGeometry(100, 50, 300, 200);
    QWidgetFormGeometry g(&w);
    EXPECT_EQ(g.Name(), "frmStatMain");
    EXPECT_EQ(g.Left(), 1500);
    EXPECT_EQ(g.Top(), 750);
    EXPECT_EQ(g.Width(), 4500);
    EXPECT_EQ(g.Height(), 3000);

    g.SetLeft(3000);
    g.SetTop(1500);
    g.SetWidth(6000);
    g.SetHeight(4507); // 300.47 pixels
    EXPECT_EQ(w.geometry(), QRect(200, 100, 400, 300));
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
    QWidget w;
    w.setObjectName(QStringLiteral("frmStatMain"));
    w.setGeometry(100, 50, 300, 200);
    QWidgetFormGeometry g(&w);
    m_winPos.SaveForm(g);
    EXPECT_EQ(m_winPos.ProductSettings().ReadEntry("frmStatMain"), "1500 750 4500 3000 0");

    w.setGeometry(0, 0, 50, 50);
    EXPECT_TRUE(m_winPos.RestoreForm(g));
    EXPECT_EQ(w.geometry(), QRect(100, 50, 300, 200));
}

TEST_F(WindowPositionsFixture, AWindowOffTheRightEdgeIsNarrowedToTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const double screenWidth = screen.width() * 15.0;
    const double left = screenWidth - 1000;
    m_winPos.ProductSettings().WriteEntry("frmStatMain", std::to_string(static_cast<long>(left)) + " 300 6000 3000 0");

    QWidget w;
    w.setObjectName(QStringLiteral("frmStatMain"));
    QWidgetFormGeometry g(&w);
    ASSERT_TRUE(m_winPos.RestoreForm(g));
    // Width = screen width - Left, taken from the Left just restored (in whole pixels).
    EXPECT_EQ(w.x(), Px(left));
    EXPECT_EQ(w.y(), 20);
    EXPECT_EQ(w.width(), Px(screenWidth - w.x() * 15.0));
    EXPECT_EQ(w.height(), 200);
}

TEST_F(WindowPositionsFixture, AMaximizedWindowComesBackMaximizedWhereItWas) {
    QWidget w;
    w.setObjectName(QStringLiteral("MDIMain"));
    w.setGeometry(40, 30, 320, 240);
    QWidgetFormGeometry g(&w);
    g.SetWindowState(vbMaximized);
    m_winPos.SaveForm(g);
    EXPECT_EQ(m_winPos.ProductSettings().ReadEntry("MDIMain"), "-1 -1 -1 -1 2");

    QWidget other;
    other.setObjectName(QStringLiteral("MDIMain"));
    other.setGeometry(10, 20, 200, 100);
    QWidgetFormGeometry og(&other);
    ASSERT_TRUE(m_winPos.RestoreForm(og));
    EXPECT_EQ(og.WindowState(), vbMaximized);
    // Behind the maximized window, where the saved one stood: restoring it
    // goes back there.
    EXPECT_EQ(QWidgetFormGeometry::NormalGeometryOf(&other), QRect(40, 30, 320, 240));
    other.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(other.geometry(), QRect(40, 30, 320, 240));
}

TEST_F(WindowPositionsFixture, ANeverSavedWindowIsLeftAlone) {
    QWidget w;
    w.setObjectName(QStringLiteral("frmNeverSaved"));
    w.setGeometry(10, 20, 200, 100);
    QWidgetFormGeometry g(&w);
    EXPECT_FALSE(m_winPos.RestoreForm(g));
    EXPECT_EQ(w.geometry(), QRect(10, 20, 200, 100));
}
