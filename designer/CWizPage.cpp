#include "designer/CWizPage.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

CWizPage::CWizPage(QWidget* parent) : QDialog(parent) {
    setModal(true);
    // F1 does what the page's Help button does (a modal page keeps the main
    // window's F1 from reaching it).
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] {
        auto* help = findChild<QPushButton*>(QStringLiteral("cmdNav_0"));
        if (help && help->isEnabled()) help->click();
    });
}

void CWizPage::LeaveWith(long code) {
    SetNavResult(code);
    hide();
}

void CWizPage::CommitFocusedEdit() {
    QWidget* focused = focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focused))
        emit edit->editingFinished();
}

void CWizPage::reject() {
    EscapePressed();
}
