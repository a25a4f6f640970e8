#pragma once
// The designer's text box for numbers: it selects its whole text when it
// receives the focus, and of the typed characters it keeps only digits,
// ".", "-" and backspace (other keys are dropped; pasted text is not
// filtered, so the value is checked where it is used).
#include <QLineEdit>

class NumericLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NumericLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A plain text box that selects its whole text when it receives the focus.
class SelectAllLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SelectAllLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

protected:
    void focusInEvent(QFocusEvent* event) override;
};
