// A picture of the frame with the scenario list and a result grid, as a new
// user sees it after the first run of a sample scenario. Set
// VARNELLO_SCREENSHOT_DIR to keep it as a PNG file (run under a real X server,
// e.g. xvfb-run, to see the platform's style and fonts).
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmOpenDatabase.h"
#include "app/frmStatMain.h"

#include <QDir>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>

using namespace apptest;

namespace {

class Screenshot : public AppFixture {};

TEST_F(Screenshot, FrameWithTheScenarioListAndAResultGrid) {
    ModalScript script;
    script.OpenDatabase([](frmOpenDatabase&) {});
    MDIMain* frame = Start(true);
    ASSERT_NE(frame, nullptr);
    frame->resize(900, 640);
    ASSERT_NE(frame->StatMain(), nullptr);
    ASSERT_TRUE(frame->StatMain()->RunCurrentScenario(0)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    QMdiSubWindow* gridWindow = nullptr;
    QMdiSubWindow* listWindow = nullptr;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList()) {
        if (qobject_cast<frmDataGrid*>(sub->widget()))
            gridWindow = sub;
        else if (qobject_cast<frmStatMain*>(sub->widget()))
            listWindow = sub;
    }
    ASSERT_NE(gridWindow, nullptr);
    ASSERT_NE(listWindow, nullptr);
    listWindow->move(0, 0);
    gridWindow->setGeometry(250, 190, 620, 230);
    Pump(50);

    const QPixmap grab = frame->grab();
    const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        grab.save(QDir(dir).filePath(QStringLiteral("MDIMain.png")));
    const QImage picture = grab.toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), frame->size());
    // The grid is drawn where its window stands: the middle of its rows is
    // not the document area's background.
    const QPoint inGrid = frame->MdiArea()->viewport()->mapTo(frame, gridWindow->geometry().center());
    const QColor background = frame->MdiArea()->background().color();
    EXPECT_NE(picture.pixelColor(inGrid * picture.devicePixelRatio()), background);
}

} // namespace
