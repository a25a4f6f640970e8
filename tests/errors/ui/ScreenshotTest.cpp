// Pictures of the two windows as the user sees them. Set
// VARNELLO_SCREENSHOT_DIR to keep them as PNG files (run under a real X
// server, e.g. xvfb-run, to see the platform's style and fonts).
#include "errors/ui/frmErrorHandler.h"
#include "errors/ui/frmMsgBox.h"

#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

namespace {

void Keep(const QPixmap& picture, const QString& name) {
    const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        picture.save(QDir(dir).filePath(name));
}

} // namespace

TEST(Screenshots, MessageFormIsDrawnAtItsDesignSize) {
    frmMsgBox box;
    box.setWindowTitle(QStringLiteral("Varnello"));
    box.SetMessage(QStringLiteral("The output table \"Describe_Out\" already exists.\n\nDo you want to replace it?"));
    box.SetStyle(4);
    box.SetDisplayHelpButton(true);
    QImage picture;
    vtest::AnswerNextModal([&](QWidget*) {
        QPixmap grab = box.grab();
        Keep(grab, QStringLiteral("frmMsgBox.png"));
        picture = grab.toImage();
        box.ResponseButton(6)->click();
    });
    box.ShowMessage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(411, 260));
    // The picture panel is drawn: its middle is not the window's background.
    EXPECT_NE(picture.pixelColor(QPoint(9 + 65, 3 + 20)), box.palette().color(QPalette::Window));
}

TEST(Screenshots, ErrorDialogShowsItsHeaderAndButtons) {
    frmErrorHandler dlg;
    dlg.SetAppName(QStringLiteral("Varnello"));
    dlg.SetErrorString(QStringLiteral("Division by zero"));
    dlg.SetErrorFile(QStringLiteral("/opt/varnello/error.log"));
    QImage picture;
    vtest::AnswerNextModal([&](QWidget*) {
        QPixmap grab = dlg.grab();
        Keep(grab, QStringLiteral("frmErrorHandler.png"));
        picture = grab.toImage();
        dlg.ActionButton(0)->click();
    });
    dlg.exec();
    ASSERT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 520);
    EXPECT_GT(picture.height(), 300);
}
