#include "app/frmOptions.h"

#include "app/AppGlobals.h"
#include "app/modHelp.h"
#include "designer/frmQuorb_Finish.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "util/ui/modZURSTAT.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn)
            SelectAllText(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Varnello Options"));
    InstallHelpKey(this, HelpContextID);

    auto* label = new QLabel(QStringLiteral("Default Output Table Prefix:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_txtDefaultPrefix = new QLineEdit(this);
    m_txtDefaultPrefix->setObjectName(QStringLiteral("txtDefaultPrefix"));
    m_txtDefaultPrefix->installEventFilter(new SelectAllOnFocus(m_txtDefaultPrefix));
    // Output table names are the prefix and a type's words, in boxes (and
    // columns) of 50 and 64 characters: a longer prefix was cut off the
    // proposed names without a word.
    m_txtDefaultPrefix->setMaxLength(frmQuorb_Finish::PrefixSize());
    auto* cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_txtDefaultPrefix, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmOptions::Form_Load() {
    ProcGuard proc(gErr, "frmOptions:Form_Load");
    try {
        LoadControls();
    } catch (...) {
        proc.HandleError();
    }
}

void frmOptions::LoadControls() {
    ProcGuard proc(gErr, "frmOptions:LoadControls");
    try {
        const std::string prefix = gSettings ? gSettings->ReadEntry("OutputTablePrefix", DefaultPrefix) : DefaultPrefix;
        m_txtDefaultPrefix->setText(QString::fromStdString(prefix));
        m_tag = m_txtDefaultPrefix->text();
    } catch (...) {
        proc.HandleError();
    }
}

void frmOptions::SaveOptionSettings() {
    ProcGuard proc(gErr, "frmOptions:SaveOptionSettings");
    try {
        // Written as typed, and only when it changed (letter case counts).
        const QString text = m_txtDefaultPrefix->text();
        if (text != m_tag && gSettings)
            gSettings->WriteEntry("OutputTablePrefix", text.toStdString());
    } catch (...) {
        proc.HandleError();
    }
}

void frmOptions::cmdOK_Click() {
    ProcGuard proc(gErr, "frmOptions:cmdOK_Click");
    SaveOptionSettings();
    accept();
}

void frmOptions::cmdCancel_Click() {
    ProcGuard proc(gErr, "frmOptions:cmdCancel_Click");
    reject();
}
