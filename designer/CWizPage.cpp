#include "designer/CWizPage.h"

#include "platform/ui/Twips.h"
#include "util/ui/QWidgetFormGeometry.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <vector>

using platform::ui::PixelsFromTwips;

CWizPage::CWizPage(QWidget* parent) : QDialog(parent) {
    setModal(true);
    resize(PixelsFromTwips(PageWidthTwips), PixelsFromTwips(PageHeightTwips));
    // F1 does what the page's Help button does (a modal page keeps the main
    // window's F1 from reaching it).
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] {
        auto* help = findChild<QPushButton*>(QStringLiteral("cmdNav_0"));
        if (help && help->isEnabled()) help->click();
    });
}

// A page may go while it is shown (its owner closing while it is up):
// its dialog then hides itself on the way out, and a text box that loses the
// focus commits its text through the page's handler, whose page is already
// gone by then. Whatever the page's controls still signal to it is cut first.
CWizPage::~CWizPage() {
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
}

void CWizPage::LeaveWith(long code) {
    SetNavResult(code);
    hide();
}

QPushButton* CWizPage::NavButton(const char* caption, int index, const char* name) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(index >= 0 ? QStringLiteral("cmdNav_%1").arg(index) : QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QHBoxLayout* CWizPage::ButtonRow(std::initializer_list<QPushButton*> own, QPushButton* help, QPushButton* cancel,
                                 QPushButton* back, QPushButton* forward) {
    std::vector<QPushButton*> all(own);
    for (QPushButton* b : {help, cancel, back, forward})
        if (b) all.push_back(b);
    // One size for the row: the design size, or what the longest caption
    // needs with the style's margins and some air on both sides.
    // The longest caption of any page's row counts on every page, so that
    // the rows of all pages match.
    int width = PixelsFromTwips(1110);
    int height = PixelsFromTwips(330);
    for (QPushButton* b : all) {
        for (const QString& caption : {b->text(), QStringLiteral("Save and &Run")}) {
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = caption;
            const QSize text = b->fontMetrics().size(Qt::TextShowMnemonic, caption);
            const QSize needed =
                b->style()->sizeFromContents(QStyle::CT_PushButton, &option, text, b).expandedTo(b->sizeHint());
            width = std::max(width, needed.width() + 2 * b->fontMetrics().averageCharWidth());
            height = std::max(height, needed.height());
        }
    }
    auto* row = new QHBoxLayout;
    m_buttonRow = row;
    // The spacing of its own (a nested row would take its page's).
    const int spacing = style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    row->setSpacing(spacing >= 0 ? spacing : 6);
    for (QPushButton* b : own) row->addWidget(b);
    row->addStretch();
    for (QPushButton* b : all) b->setFixedSize(width, height);
    for (QPushButton* b : {help, cancel, back, forward})
        if (b) row->addWidget(b);
    return row;
}

void CWizPage::CommitFocusedEdit() {
    QWidget* focused = focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focused))
        emit edit->editingFinished();
}

void CWizPage::reject() {
    EscapePressed();
}

void CWizPage::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CWizPage::showEvent(QShowEvent* event) {
    // No button of a page answers Enter, not even the one with the focus.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    OrderButtonRow();
    QDialog::showEvent(event);
    // Where the dialog has placed itself: on a screen smaller than the design
    // size (1366 x 768 at 150 %, large fonts) the page is made as small as the
    // screen, down to what its controls need, and kept on it, so that its row
    // of buttons stays in reach.
    QWidgetFormGeometry::KeepOnVisibleScreen(this);
}

void CWizPage::OrderButtonRow() {
    if (!m_buttonRow) return;
    std::vector<QWidget*> row;
    for (int i = 0; i < m_buttonRow->count(); ++i)
        if (QWidget* w = m_buttonRow->itemAt(i)->widget()) row.push_back(w);
    // Tab takes the row from left to right (the change-source dialog moves
    // buttons within it after it was laid out).
    for (std::size_t i = 1; i < row.size(); ++i) setTabOrder(row[i - 1], row[i]);
    // The tab order is a ring, which the page enters where its widgets begin:
    // on an options page, which makes its row before its own controls, that
    // was Help. A page shown for the first time opens on the control Tab
    // takes after the row instead.
    if (focusWidget() || row.empty()) return;
    row.back()->setFocus(Qt::TabFocusReason);
    focusNextChild();
}
