#include "designer/TransferButton.h"

#include "platform/ui/Twips.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

using platform::ui::PixelsFromTwips;

namespace {

void Triangle(QPainter& p, int x0, const QString& kind) {
    QPainterPath path;
    if (kind == QLatin1String("left")) {
        path.moveTo(x0 + 8, 2);
        path.lineTo(x0 + 8, 10);
        path.lineTo(x0 + 4, 6);
    } else if (kind == QLatin1String("right")) {
        path.moveTo(x0 + 4, 2);
        path.lineTo(x0 + 4, 10);
        path.lineTo(x0 + 8, 6);
    } else if (kind == QLatin1String("down")) {
        path.moveTo(2, 4);
        path.lineTo(10, 4);
        path.lineTo(6, 8);
    } else {
        path.moveTo(2, 8);
        path.lineTo(10, 8);
        path.lineTo(6, 4);
    }
    path.closeSubpath();
    p.fillPath(path, Qt::black);
}

} // namespace

QPixmap TransferButton::ArrowPicture(const QString& kind) {
    const bool twin = kind == QLatin1String("left2");
    QPixmap pm(twin ? 24 : 12, 12);
    pm.fill(QColor(192, 192, 192));
    QPainter p(&pm);
    if (twin) {
        Triangle(p, 2, QStringLiteral("left"));
        Triangle(p, 10, QStringLiteral("left"));
    } else {
        Triangle(p, 0, kind);
    }
    return pm;
}

TransferButton::TransferButton(QWidget* parent) : QWidget(parent) {
    struct Place {
        const char* picture;
        int left, top, width, height; // twips
    };
    const Place places[] = {{"left", 0, 0, 300, 255},
                            {"right", 300, 0, 300, 255},
                            {"down", 0, 270, 300, 255},
                            {"up", 300, 270, 300, 255},
                            {"left2", 0, 540, 600, 255}};
    for (int i = 0; i < 5; ++i) {
        const Place& pl = places[i];
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("cmdTransfer_%1").arg(i));
        const QPixmap pm = ArrowPicture(QString::fromLatin1(pl.picture));
        b->setIcon(QIcon(pm));
        b->setIconSize(pm.size());
        b->setGeometry(PixelsFromTwips(pl.left), PixelsFromTwips(pl.top), PixelsFromTwips(pl.width),
                       PixelsFromTwips(pl.height));
        m_cmdTransfer[static_cast<std::size_t>(i)] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { cmdTransfer_Click(i); });
    }
    setFixedSize(PixelsFromTwips(600), PixelsFromTwips(795));
}
