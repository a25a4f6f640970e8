#include "designer/CWizPage.h"

#include <QApplication>
#include <QLineEdit>

CWizPage::CWizPage(QWidget* parent) : QDialog(parent) {
    setModal(true);
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
