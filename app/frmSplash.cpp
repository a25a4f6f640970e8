#include "app/frmSplash.h"

#include "platform/App.h"
#include "platform/Screen.h"
#include "platform/ui/CenterForm.h"
#include "platform/ui/Twips.h"

#include <QLabel>
#include <QTimer>

frmSplash::Geometry frmSplash::GeometryFor(int logPixelsX) {
    const bool fifteenTwips = logPixelsX > 0 && 1440 / logPixelsX == 15;
    if (fifteenTwips)
        return {3840, 7280, 2350, 2100};
    return {3072, 5832, 1900, 1700};
}

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("lblText"));
    m_label->setText(QString::fromStdString(platform::App::Title()));
    m_tmrUnload = new QTimer(this);
    m_tmrUnload->setObjectName(QStringLiteral("tmrUnload"));
    m_tmrUnload->setSingleShot(true);
    m_tmrUnload->setInterval(UnloadIntervalMs);
    connect(m_tmrUnload, &QTimer::timeout, this, [this] { close(); });
}

void frmSplash::Form_Load() {
    const std::optional<platform::ScreenInfo> screen = platform::GetScreenInfo();
    const Geometry g = GeometryFor(screen ? screen->logPixelsX : 96);
    using platform::ui::PixelsFromTwips;
    resize(PixelsFromTwips(g.width), PixelsFromTwips(g.height));
    m_label->move(PixelsFromTwips(g.labelLeft), PixelsFromTwips(g.labelTop));
    m_label->adjustSize();
    platform::ui::CenterForm(this);
    m_tmrUnload->start();
    FormOnTop(true);
}

void frmSplash::FormOnTop(bool onTop) {
    const QRect before = geometry();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a window flag hides the window; it comes back where it was.
    setGeometry(before);
    if (visible)
        show();
}
