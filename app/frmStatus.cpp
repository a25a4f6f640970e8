#include "app/frmStatus.h"

#include "platform/ui/Twips.h"

#include <QPainter>

using platform::ui::PixelsFromTwips;

namespace {

// The status area: a sunken box with one line of text, printed from the
// horizontal print position.
class StatusPicture : public QWidget {
public:
    explicit StatusPicture(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("picStatus"));
        setAutoFillBackground(true);
    }
    void Cls() { m_text.clear(); }
    void SetCurrentX(int twips) { m_currentX = twips; }
    void Print(const QString& text) { m_text = text; }
    const QString& Text() const { return m_text; }
    // Where the text goes, and the text as it is drawn there: one longer
    // than the room (a step naming a long field) is shortened in its middle,
    // so that the step and the end of the name both show.
    QRect TextRect() const {
        const int x = PixelsFromTwips(m_currentX) + 2;
        return QRect(x, 0, width() - x - 2, height());
    }
    QString Shown() const { return fontMetrics().elidedText(m_text, Qt::ElideMiddle, TextRect().width()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().base());
        p.setPen(palette().mid().color());
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(palette().text().color());
        p.drawText(TextRect(), Qt::AlignVCenter | Qt::AlignLeft, Shown());
    }

private:
    QString m_text;
    int m_currentX = 0;
};

} // namespace

frmStatus::frmStatus(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmStatus"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed dialog border and no caption text; its close box (and Esc)
    // ask to stop the run (CScenarioRun hands them to the scenario list).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // One space: an empty title would make the toolkit show the program's
    // name in the title bar instead.
    setWindowTitle(QStringLiteral(" "));
    setModal(false);
    setFixedSize(PixelsFromTwips(ClientWidth), PixelsFromTwips(ClientHeight));
    m_picStatus = new StatusPicture(this);
    m_picStatus->setGeometry(PixelsFromTwips(StatusLeft), PixelsFromTwips(StatusTop), PixelsFromTwips(StatusWidth),
                             PixelsFromTwips(StatusHeight));
}

void frmStatus::PrintStatus(const QString& text) {
    auto* pic = static_cast<StatusPicture*>(m_picStatus);
    pic->Cls();
    pic->SetCurrentX(5);
    pic->Print(text);
    ++m_messages;
    if (!m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= RepaintIntervalMs) {
        pic->repaint();
        ++m_repaints;
        m_sinceRepaint.restart();
    } else {
        // Painted with the next repaint or when the window gets its turn.
        pic->update();
    }
}

QString frmStatus::StatusText() const {
    return static_cast<const StatusPicture*>(m_picStatus)->Text();
}

QString frmStatus::ShownStatusText() const {
    return static_cast<const StatusPicture*>(m_picStatus)->Shown();
}

QRect frmStatus::StatusTextRect() const {
    return static_cast<const StatusPicture*>(m_picStatus)->TextRect();
}
