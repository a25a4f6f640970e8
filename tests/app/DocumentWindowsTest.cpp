// The windows of the document area: new ones inside the visible area, Cascade
// at usable sizes, a saved size too small to use not restored.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/MdiWindows.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "util/CProgramSettings.h"
#include "util/modStatCommon.h"

#include <QMdiArea>
#include <QMdiSubWindow>

using namespace apptest;

namespace {

class DocumentWindows : public AppFixture {
protected:
    MDIMain* OpenScores() {
        AppFixture::OpenScores(script);
        return Start();
    }
    static QMdiSubWindow* Sub(QWidget* form) { return qobject_cast<QMdiSubWindow*>(form->parentWidget()); }
    ModalScript script;
};

TEST_F(DocumentWindows, NewGridsOpenInsideTheVisibleArea) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frame->resize(760, 560);
    Pump();
    const QRect area = frame->MdiArea()->viewport()->rect();
    // The area steps each new window further down and right, past its edge in the end.
    for (int i = 0; i < 8; ++i) {
        frmDataGrid* grid = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
        ASSERT_NE(grid, nullptr);
        EXPECT_TRUE(area.contains(Sub(grid)->geometry())) << "grid " << i;
    }
}

TEST_F(DocumentWindows, CascadeLeavesEveryWindowAtAUsableSize) {
    MDIMain* frame = OpenScores();
    ASSERT_NE(frame, nullptr);
    frame->resize(900, 700);
    Pump();
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    frame->mnuWindowItems_Click(20);
    const QRect area = frame->MdiArea()->viewport()->rect();
    const QList<QMdiSubWindow*> windows = frame->MdiArea()->subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(windows.size(), 4);
    QPoint previous(-1, -1);
    for (QMdiSubWindow* sub : windows) {
        const QSize minimum = mdiwindows::UsableMinimum(sub->widget());
        EXPECT_GE(sub->width(), minimum.width()) << sub->windowTitle().toStdString();
        EXPECT_GE(sub->height(), minimum.height()) << sub->windowTitle().toStdString();
        EXPECT_TRUE(area.contains(sub->geometry())) << sub->windowTitle().toStdString();
        EXPECT_GT(sub->x(), previous.x());
        EXPECT_GT(sub->y(), previous.y());
        previous = sub->pos();
    }
    // The list's usable minimum: six buttons of 1035 twips with gaps of 60,
    // 6 · 1095 + 60 = 6630 twips = 442 pixels; 4000 twips high = 267 pixels.
    EXPECT_EQ(mdiwindows::UsableMinimum(frame->StatMain()), QSize(442, 267));
}

TEST_F(DocumentWindows, ASavedListSizeTooSmallToUseIsNotRestored) {
    struct Row {
        const char* saved; // Left Top Width Height State, twips
        QSize expected;    // the list's outer size, pixels
        const char* why;
    } rows[] = {
        {"0 0 3900 3150 0", QSize(610, 360), "260 x 210 pixels: the first size instead"},
        {"0 0 6600 6000 0", QSize(610, 360), "440 pixels wide: two pixels short of the buttons"},
        {"0 0 9750 6000 0", QSize(650, 400), "650 x 400 pixels: restored"},
    };
    for (const Row& r : rows) {
        CProgramSettings positions;
        positions.SetRegBase("ZUR");
        positions.SetMainBranch("SOFTWARE");
        positions.SetProgram(GetRegistryProgramKey());
        positions.SetSection("Form Position");
        positions.WriteEntry("frmStatMain", r.saved);
        MDIMain* frame = TheMDIMain() ? TheMDIMain() : OpenScores();
        ASSERT_NE(frame, nullptr);
        frame->resize(900, 700);
        frame->ShowStatMain();
        frmStatMain* list = frame->StatMain();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Sub(list)->size(), r.expected) << r.why;
        Sub(list)->close(); // saves its size: the next row writes its own
        Pump();
    }
}

} // namespace
