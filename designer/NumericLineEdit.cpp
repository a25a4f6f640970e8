#include "designer/NumericLineEdit.h"

#include "util/ui/modZURSTAT.h"

#include <QKeyEvent>
#include <QTimer>

void NumericLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    QTimer::singleShot(0, this, [this] { SelectAllText(this); });
}

void NumericLineEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1 && text.at(0).unicode() >= 32 && text.at(0).unicode() < 127) {
        std::int16_t key = static_cast<std::int16_t>(text.at(0).unicode());
        NumericKeyPress(key);
        if (key == 0) {
            event->ignore();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void SelectAllLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    QTimer::singleShot(0, this, [this] { SelectAllText(this); });
}
