#include "designer/TransferInOut.h"

#include "designer/TransferButton.h"
#include "platform/ui/Twips.h"

#include <QToolButton>

using platform::ui::PixelsFromTwips;

TransferInOut::TransferInOut(QWidget* parent) : QWidget(parent) {
    const char* pictures[] = {"left", "right"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("cmdTransfer_%1").arg(i));
        const QPixmap pm = TransferButton::ArrowPicture(QString::fromLatin1(pictures[i]));
        b->setIcon(QIcon(pm));
        b->setIconSize(pm.size());
        b->setGeometry(PixelsFromTwips(300 * i), 0, PixelsFromTwips(300), PixelsFromTwips(255));
        m_cmdTransfer[static_cast<std::size_t>(i)] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { cmdTransfer_Click(i); });
    }
    setFixedSize(PixelsFromTwips(600), PixelsFromTwips(255));
}
