#include "errors/ui/frmMsgBox.h"

#include "platform/MessageBox.h"
#include "platform/ui/CenterForm.h"
#include "platform/ui/Help.h"
#include "platform/ui/ScreenPointer.h"
#include "platform/ui/Twips.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

using platform::ui::PixelsFromTwips;
using platform::ui::RoundTwips;

namespace {

struct ButtonDesign {
    const char* caption;
    int tabIndex;
};

// Index 1 to 8: caption and tab index.
constexpr std::array<ButtonDesign, 9> kButtons{{
    {"", -1},
    {"&OK", 0},
    {"&Cancel", 1},
    {"&Abort", 2},
    {"&Retry", 5},
    {"&Ignore", 4},
    {"&Yes", 3},
    {"No", 7},
    {"&Help", 6},
}};

// The picture on the left of the form: a small chart on a blue panel.
QPixmap MessagePicture(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient back(0, 0, 0, height);
    back.setColorAt(0.0, QColor(0x1c, 0x3f, 0x6e));
    back.setColorAt(1.0, QColor(0x5b, 0x8f, 0xc7));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1.0, height - 1.0), 6, 6);

    // Histogram bars, in the lower part: the icon of the message's kind
    // stands above them.
    const double base = height * 0.86;
    const double barWidth = width / 9.0;
    const double heights[] = {0.06, 0.14, 0.24, 0.30, 0.22, 0.12, 0.05};
    p.setBrush(QColor(255, 255, 255, 150));
    for (int i = 0; i < 7; ++i) {
        const double h = heights[i] * height;
        p.drawRect(QRectF(barWidth * (i + 1), base - h, barWidth - 2, h));
    }
    // The bell curve over them.
    QPainterPath curve;
    for (int x = 0; x <= width - 16; ++x) {
        const double u = (x - (width - 16) / 2.0) / (width / 6.5);
        const double y = base - 0.34 * height * std::exp(-0.5 * u * u);
        if (x == 0)
            curve.moveTo(8 + x, y);
        else
            curve.lineTo(8 + x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.5));
    p.drawPath(curve);
    // Axis.
    p.setPen(QPen(Qt::white, 1.5));
    p.drawLine(QPointF(8, base), QPointF(width - 8, base));
    return pixmap;
}

} // namespace

frmMsgBox::frmMsgBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMsgBox"));
    setWindowTitle(QStringLiteral("Set In Code"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(PixelsFromTwips(FormClientWidth), PixelsFromTwips(FormClientHeight));
    QFont formFont(QStringLiteral("Arial"));
    formFont.setPointSizeF(9.75);
    setFont(formFont);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    PlaceTwips(m_image, ImageLeft, ImageTop, ImageWidth, ImageHeight);
    m_image->setPixmap(MessagePicture(m_image->width(), m_image->height()));

    // The standard icon of the message's kind, on the picture's upper part.
    m_iconImage = new QLabel(this);
    m_iconImage->setObjectName(QStringLiteral("imgIcon"));
    m_iconImage->setAlignment(Qt::AlignCenter);
    m_iconImage->setGeometry(m_image->x(), m_image->y() + IconTop, m_image->width(), IconSize + 8);
    m_iconImage->setAttribute(Qt::WA_TranslucentBackground);

    m_txtMessage = new QTextEdit(this);
    m_txtMessage->setObjectName(QStringLiteral("txtMessage"));
    m_txtMessage->setReadOnly(true);
    m_txtMessage->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_txtMessage->setFocusPolicy(Qt::ClickFocus); // selectable, but no tab stop
    m_txtMessage->setFrameShape(QFrame::NoFrame);
    m_txtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_txtMessage->setLineWrapMode(QTextEdit::WidgetWidth);
    m_txtMessage->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_txtMessage->setAcceptRichText(false);
    m_txtMessage->document()->setDocumentMargin(0);
    m_txtMessage->setFont(formFont);
    QPalette pal = m_txtMessage->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    m_txtMessage->setPalette(pal);
    m_txtMessage->setAutoFillBackground(true);
    PlaceTwips(m_txtMessage, MessageLeft, MessageTop, MessageWidth, MessageHeight);

    QFont buttonFont(QStringLiteral("MS Sans Serif"));
    buttonFont.setPointSizeF(8.25);
    for (int i = 1; i <= 8; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kButtons[i].caption), this);
        button->setObjectName(QStringLiteral("cmdResponse%1").arg(i));
        button->setFont(buttonFont);
        button->setAutoDefault(true);
        button->setVisible(false);
        PlaceTwips(button, 0, 0, ButtonWidth, ButtonHeight);
        connect(button, &QPushButton::clicked, this, [this, i] { cmdResponse_Click(i); });
        m_cmdResponse[i] = button;
    }
    m_cmdResponse[vbOK]->setDefault(true);

    // Tab order by the design tab indexes.
    std::array<int, 8> order{};
    for (int i = 1; i <= 8; ++i)
        order[static_cast<std::size_t>(kButtons[i].tabIndex)] = i;
    for (std::size_t k = 0; k + 1 < order.size(); ++k)
        setTabOrder(m_cmdResponse[order[k]], m_cmdResponse[order[k + 1]]);
}

int frmMsgBox::Show(QWidget* parent, const QString& caption, const QString& message, int style, bool doBeep) {
    frmMsgBox box(parent);
    box.setWindowTitle(caption);
    box.SetMessage(message);
    if (style > 0 && (style & ~vbButtonSetMask) != 0) {
        box.SetStyle(style & vbButtonSetMask);
        box.SetIcon(style & vbIconMask);
        if (style & vbDefaultButtonMask)
            box.SetDefaultButton(DefaultButtonResult(style));
    } else {
        box.SetStyle(style);
    }
    box.SetDoBeep(doBeep);
    box.ShowMessage();
    return box.Response();
}

QPushButton* frmMsgBox::ResponseButton(int index) const {
    if (index < 1 || index > 8)
        return nullptr;
    return m_cmdResponse[static_cast<std::size_t>(index)];
}

void frmMsgBox::PlaceTwips(QWidget* widget, double left, double top, double width, double height) {
    widget->setGeometry(PixelsFromTwips(left), PixelsFromTwips(top), PixelsFromTwips(width), PixelsFromTwips(height));
}

void frmMsgBox::Form_Load() {
    platform::ui::CenterOnOwner(this);
}

int frmMsgBox::IconShown() const {
    switch (m_icon) {
    case vbCritical:
    case vbQuestion:
    case vbExclamation:
    case vbInformation:
        return m_icon;
    default:
        return m_style == vbYesNo || m_style == vbYesNoCancel ? vbQuestion : vbExclamation;
    }
}

void frmMsgBox::ShowIcon() {
    QStyle::StandardPixmap kind = QStyle::SP_MessageBoxWarning;
    switch (IconShown()) {
    case vbCritical: kind = QStyle::SP_MessageBoxCritical; break;
    case vbQuestion: kind = QStyle::SP_MessageBoxQuestion; break;
    case vbInformation: kind = QStyle::SP_MessageBoxInformation; break;
    default: break;
    }
    // On a light disc, so that every style's icon stands out on the panel.
    const qreal ratio = devicePixelRatioF();
    QPixmap disc(QSize(IconSize + 8, IconSize + 8) * ratio);
    disc.setDevicePixelRatio(ratio);
    disc.fill(Qt::transparent);
    QPainter p(&disc);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawEllipse(QRectF(0.5, 0.5, IconSize + 7.0, IconSize + 7.0));
    // The style's icon at the largest size it has up to IconSize, centred.
    const QPixmap icon = style()->standardIcon(kind, nullptr, this).pixmap(QSize(IconSize, IconSize), ratio);
    const QSizeF shown = QSizeF(icon.size()) / icon.devicePixelRatio();
    p.drawPixmap(QPointF((IconSize + 8 - shown.width()) / 2, (IconSize + 8 - shown.height()) / 2), icon);
    p.end();
    m_iconImage->setPixmap(disc);
    m_iconImage->setProperty("IconKind", IconShown());
}

void frmMsgBox::ShowMessage() {
    m_txtMessage->setPlainText(m_message);
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    ArrangeButtons();
    ShowIcon();
    SizeMessageText();
    if (m_doBeep)
        Beep();
    platform::ui::SetScreenMousePointer(platform::ui::vbDefault);
    exec();
}

std::array<bool, 9> frmMsgBox::ButtonsOfStyle(int style) {
    std::array<bool, 9> marked{};
    switch (style) {
    case 0: marked[vbOK] = true; break;
    case 1: marked[vbOK] = marked[vbCancel] = true; break;
    case 2: marked[vbAbort] = marked[vbRetry] = marked[vbIgnore] = true; break;
    case 3: marked[vbYes] = marked[vbNo] = marked[vbCancel] = true; break;
    case 4: marked[vbYes] = marked[vbNo] = true; break;
    case 5: marked[vbRetry] = marked[vbCancel] = true; break;
    default: break;
    }
    return marked;
}

frmMsgBox::ButtonRow frmMsgBox::ComputeButtonRow(double clientWidth, double clientHeight, double buttonWidth,
                                                 double buttonHeight, int count) {
    ButtonRow row{};
    row.step = RoundTwips(buttonWidth + 45);
    row.left = RoundTwips((clientWidth - static_cast<double>(count) * row.step) / 2 + 45);
    row.top = RoundTwips(clientHeight - buttonHeight - 90);
    return row;
}

frmMsgBox::ButtonRow frmMsgBox::ComputeButtonRow(int count) {
    return ComputeButtonRow(FormClientWidth, FormClientHeight, ButtonWidth, ButtonHeight, count);
}

frmMsgBox::TextPlacement frmMsgBox::ComputeMessagePlacement(int lineCount, int lineHeight) {
    const double textHeight = static_cast<double>(lineCount) * lineHeight;
    int top = RoundTwips((MessageHeight - textHeight) / 2 + MessageTop);
    if (top < 0)
        top = MessageTop;
    const int height = static_cast<int>(std::min<double>(textHeight, MessageHeight));
    return TextPlacement{top, height};
}

void frmMsgBox::ArrangeButtons() {
    m_shown = {};
    for (int i = 1; i <= 8; ++i)
        m_cmdResponse[i]->setVisible(false);

    m_shown = ButtonsOfStyle(m_style);
    // A button set outside 0 to 5 would leave a modal window with no answer
    // to give; such a message gets the OK button.
    if (std::none_of(m_shown.begin(), m_shown.end(), [](bool b) { return b; }))
        m_shown[vbOK] = true;
    if (m_displayHelpButton)
        m_shown[HelpButton] = true;
    const int count = static_cast<int>(std::count(m_shown.begin(), m_shown.end(), true));

    const ButtonRow row = ComputeButtonRow(count);
    double left = row.left;
    m_firstFocus = nullptr;
    int bestTab = 99;
    for (int i = 1; i <= 8; ++i) {
        if (!m_shown[static_cast<std::size_t>(i)])
            continue;
        PlaceTwips(m_cmdResponse[i], left, row.top, ButtonWidth, ButtonHeight);
        m_cmdResponse[i]->setVisible(true);
        left += row.step;
        if (kButtons[i].tabIndex < bestTab) {
            bestTab = kButtons[i].tabIndex;
            m_firstFocus = m_cmdResponse[i];
        }
    }
    // A default button named by the caller (No for a question whose Yes
    // destroys something) takes the focus and Enter.
    int defaultButton = vbOK;
    if (m_defaultButton >= 1 && m_defaultButton <= 7 && m_shown[static_cast<std::size_t>(m_defaultButton)]) {
        defaultButton = m_defaultButton;
        m_firstFocus = m_cmdResponse[static_cast<std::size_t>(m_defaultButton)];
    }
    for (int i = 1; i <= 8; ++i)
        m_cmdResponse[i]->setDefault(i == defaultButton);
}

int frmMsgBox::GetTextBoxLineCount() const {
    QTextDocument doc;
    doc.setDefaultFont(m_txtMessage->font());
    doc.setDocumentMargin(m_txtMessage->document()->documentMargin());
    doc.setDefaultTextOption(m_txtMessage->document()->defaultTextOption());
    doc.setPlainText(m_txtMessage->toPlainText());
    doc.setTextWidth(m_txtMessage->width() - 2 * m_txtMessage->frameWidth());
    doc.documentLayout(); // lays the blocks out
    int lines = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        lines += block.layout() ? std::max(1, block.layout()->lineCount()) : 1;
    return std::max(1, lines);
}

int frmMsgBox::LineHeightTwips() const {
    // The height of a line as the message area lays it out: a font whose
    // leading is negative (many at 144 dots per inch) has a line spacing below
    // its height, and lines of that spacing cut the foot of the last line.
    const QFontMetricsF metrics(m_txtMessage->font());
    return RoundTwips(std::max(metrics.lineSpacing(), metrics.height()) * platform::TwipsPerPixel);
}

void frmMsgBox::SizeMessageText() {
    const TextPlacement place = ComputeMessagePlacement(GetTextBoxLineCount(), LineHeightTwips());
    PlaceTwips(m_txtMessage, MessageLeft, place.top, MessageWidth, place.height);
    m_txtMessage->moveCursor(QTextCursor::Start);
}

void frmMsgBox::cmdResponse_Click(int index) {
    if (index >= 1 && index <= 7) {
        m_response = index;
        done(index);
        return;
    }
    if (index == HelpButton)
        platform::ui::ShowApplicationHelp(m_helpID);
}

void frmMsgBox::keyPressEvent(QKeyEvent* event) {
    // No button is the cancel button: Escape does not answer the message.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmMsgBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_firstFocus)
        m_firstFocus->setFocus(Qt::TabFocusReason);
}
