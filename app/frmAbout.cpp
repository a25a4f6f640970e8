#include "app/frmAbout.h"

#include "app/AppGlobals.h"
#include "app/frmGenerateCode.h"
#include "app/modHelp.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "platform/App.h"
#include "platform/ui/CenterForm.h"

#include <QApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    InstallHelpKey(this, HelpContextID);

    auto* imgAbout = new QLabel(this);
    imgAbout->setObjectName(QStringLiteral("imgAbout"));
    imgAbout->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    m_lblTitle = new QLabel(this);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = m_lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_lblTitle->setFont(big);
    m_lblVersion = new QLabel(this);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdHelp = new QPushButton(QStringLiteral("Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    cmdHelp->setAutoDefault(false);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_lblTitle);
    texts->addWidget(m_lblVersion);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(imgAbout, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdHelp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    // OK is both the default and the cancel button: Esc ends the box as
    // QDialog does, Enter presses OK.
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
}

void frmAbout::Form_Load() {
    ProcGuard proc(gErr, "frmAbout:Form_Load");
    try {
        adjustSize();
        platform::ui::CenterForm(this);
        const QString title = QString::fromStdString(platform::App::Title());
        setWindowTitle(QStringLiteral("About ") + title);
        m_lblTitle->setText(title);
        // Nothing installed the setting: the version is the one this program
        // is, as the code it generates names it.
        const std::string version = gSettingsVersion ? gSettingsVersion->ReadEntry("Version", "") : std::string();
        m_lblVersion->setText(QStringLiteral("Product Version: ") +
                              QString::fromStdString(version.empty() ? std::string(frmGenerateCode::ProductVersion)
                                                                     : version));
    } catch (...) {
        proc.HandleError();
    }
}

void frmAbout::cmdOK_Click() {
    ProcGuard proc(gErr, "frmAbout:cmdOK_Click");
    accept();
}

void frmAbout::cmdHelp_Click() {
    ProcGuard proc(gErr, "frmAbout:cmdHelp_Click");
    ShowHelpTopic(HelpContextID);
}
