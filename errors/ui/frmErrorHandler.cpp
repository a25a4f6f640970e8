#include "errors/ui/frmErrorHandler.h"

#include "errors/CErr_ZUR.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/ui/CenterForm.h"
#include "platform/ui/DesktopServices.h"
#include "platform/ui/Help.h"
#include "platform/ui/ScreenPointer.h"
#include "platform/ui/Shell.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kHeaderTail = "has encountered the following unanticipated error:";
constexpr const char* kViewErrorFile = "View the error file using NotePad.";

QLabel* WrappedLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The hourglass for the lifetime of a scope.
class BusyPointer {
public:
    BusyPointer() { platform::ui::SetScreenMousePointer(platform::ui::vbHourglass); }
    ~BusyPointer() { platform::ui::SetScreenMousePointer(platform::ui::vbDefault); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

frmErrorHandler::frmErrorHandler(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmErrorHandler"));
    setWindowTitle(QStringLiteral("Unexpected Error"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* root = new QVBoxLayout(this);

    // Header: the stop sign and the product's sentence.
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    header->addWidget(icon);
    m_lblErrorHeader = WrappedLabel(QString(), QStringLiteral("lblErrorHeader"), this);
    QFont bold = m_lblErrorHeader->font();
    bold.setBold(true);
    m_lblErrorHeader->setFont(bold);
    m_lblErrorHeader->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->addWidget(m_lblErrorHeader, 1);
    root->addLayout(header);

    m_txtError = new QPlainTextEdit(this);
    m_txtError->setObjectName(QStringLiteral("txtError"));
    m_txtError->setReadOnly(true);
    m_txtError->setFixedHeight(m_txtError->fontMetrics().lineSpacing() * 4 + 12);
    root->addWidget(m_txtError);

    auto* text5 = WrappedLabel(QStringLiteral("For further help, please contact ZUR Technical Support:\n"),
                               QStringLiteral("Text5"), this);
    root->addWidget(text5);

    // The five ways to get help: a button, what it is about, what it does now.
    auto addFrame = [&](const QString& frameName, const QString& buttonName, QStyle::StandardPixmap pixmap,
                        QLabel* about, QLabel* action) {
        auto* frame = new QFrame(this);
        frame->setObjectName(frameName);
        frame->setFrameShape(QFrame::StyledPanel);
        auto* grid = new QGridLayout(frame);
        auto* button = new QPushButton(frame);
        button->setObjectName(buttonName);
        button->setIcon(style()->standardIcon(pixmap));
        button->setIconSize(QSize(24, 24));
        button->setFixedSize(40, 40);
        button->setAutoDefault(false);
        button->setToolTip(action->text());
        about->setParent(frame);
        action->setParent(frame);
        grid->addWidget(button, 0, 0, 2, 1, Qt::AlignTop);
        grid->addWidget(about, 0, 1);
        grid->addWidget(action, 1, 1);
        grid->setColumnStretch(1, 1);
        root->addWidget(frame);
        return button;
    };

    QFont actionFont = font();
    actionFont.setItalic(true);
    auto actionLabel = [&](const QString& text, const QString& name) {
        QLabel* l = WrappedLabel(text, name, this);
        l->setFont(actionFont);
        return l;
    };

    QPushButton* cmdHelpFile = addFrame(
        QStringLiteral("Frame1"), QStringLiteral("cmdHelpFile"), QStyle::SP_MessageBoxQuestion,
        WrappedLabel(QStringLiteral("To resolve this problem, consult the Troubleshooting section of the online help file. "),
                     QStringLiteral("Label1"), this),
        actionLabel(QStringLiteral("Open the help file now."), QStringLiteral("Label3")));
    QPushButton* cmdReadme = addFrame(
        QStringLiteral("Frame2"), QStringLiteral("cmdReadme"), QStyle::SP_FileDialogDetailedView,
        WrappedLabel(QStringLiteral("Be sure to check the README.TXT file for additional information not included in "
                                    "the help file or printed documentation."),
                     QStringLiteral("Label2"), this),
        actionLabel(QStringLiteral("View the Readme file now."), QStringLiteral("Label4")));
    QPushButton* cmdEMail = addFrame(
        QStringLiteral("Frame3"), QStringLiteral("cmdEMail"), QStyle::SP_ArrowForward,
        WrappedLabel(QStringLiteral("For the quickest and most accurate response, send e-mail to our Technical Support "
                                    "department (%1).")
                         .arg(QString::fromLatin1(SupportEmail)),
                     QStringLiteral("Label9"), this),
        actionLabel(QStringLiteral("Send email now."), QStringLiteral("Label5")));
    QPushButton* cmdWebsite = addFrame(
        QStringLiteral("Frame4"), QStringLiteral("cmdWebsite"), QStyle::SP_DriveNetIcon,
        WrappedLabel(QStringLiteral("The Technical Support department's web page (%1) answers the most frequently asked "
                                    "questions and offers the latest updates.")
                         .arg(QString::fromLatin1(SupportWebSite)),
                     QStringLiteral("Label7"), this),
        actionLabel(QStringLiteral("Visit the site now."), QStringLiteral("Label6")));
    m_lblErrorFile = actionLabel(QString::fromLatin1(kViewErrorFile), QStringLiteral("lblErrorFile"));
    QPushButton* cmdErrorFile = addFrame(
        QStringLiteral("Frame5"), QStringLiteral("cmdErrorFile"), QStyle::SP_FileDialogContentsView,
        WrappedLabel(QStringLiteral("Please send the contents of the error log, with any other information that may "
                                    "help, to the Technical Support department by fax at %1.")
                         .arg(QString::fromLatin1(SupportFax)),
                     QStringLiteral("Label8"), this),
        m_lblErrorFile);

    // Continue, close and help.
    auto* buttons = new QHBoxLayout;
    auto* cmdHelp = new QPushButton(QStringLiteral("&Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    cmdHelp->setAutoDefault(false);
    buttons->addWidget(cmdHelp);
    buttons->addStretch(1);
    m_cmdContinue = new QPushButton(QStringLiteral("&Continue"), this);
    m_cmdContinue->setObjectName(QStringLiteral("cmdAction0"));
    m_cmdContinue->setDefault(true);
    m_cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdAction1"));
    m_cmdClose->setAutoDefault(false);
    buttons->addWidget(m_cmdContinue);
    buttons->addWidget(m_cmdClose);
    root->addLayout(buttons);

    connect(m_cmdContinue, &QPushButton::clicked, this, [this] { cmdAction_Click(0); });
    connect(m_cmdClose, &QPushButton::clicked, this, [this] { cmdAction_Click(1); });
    connect(cmdErrorFile, &QPushButton::clicked, this, [this] { cmdErrorFile_Click(); });
    connect(cmdReadme, &QPushButton::clicked, this, [this] { cmdReadme_Click(); });
    connect(cmdHelpFile, &QPushButton::clicked, this, [this] { cmdHelpFile_Click(); });
    connect(cmdWebsite, &QPushButton::clicked, this, [this] { cmdWebsite_Click(); });
    connect(cmdEMail, &QPushButton::clicked, this, [this] { cmdEMail_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });

    setMinimumWidth(520);
    Form_Load();
}

void frmErrorHandler::Form_Load() {
    platform::ui::SetScreenMousePointer(platform::ui::vbArrow);
}

void frmErrorHandler::showEvent(QShowEvent* event) {
    if (!m_centred) {
        m_centred = true;
        FitToTexts();
        platform::ui::CenterForm(this);
    }
    QDialog::showEvent(event);
}

// The size at which every wrapped sentence has all the lines it needs.
// (adjustSize caps the height of a window at two thirds of the screen: on a
// screen under 900 pixels high the last lines of the support sentences, the
// fax number and the report's location among them, were cut off.) Where that
// height does not fit the screen, the window grows wider instead.
void frmErrorHandler::FitToTexts() {
    if (layout())
        layout()->activate();
    int width = std::max(minimumWidth(), sizeHint().width());
    int height = heightForWidth(width);
    if (const QScreen* shownOn = screen()) {
        const QRect area = shownOn->availableGeometry();
        // The title bar as the window manager draws it, or as most draw it
        // while the window is not framed yet.
        int titleBar = frameGeometry().height() - geometry().height();
        if (titleBar <= 0)
            titleBar = AssumedTitleBar;
        const auto widen = [&] {
            while (height + titleBar > area.height() && width + 40 <= area.width()) {
                width += 40;
                height = heightForWidth(width);
            }
        };
        widen();
        // Still too high as wide as the screen (1366 x 768 at 150 %, large
        // fonts): the rows stand closer, so that Continue and Close stay on
        // the screen.
        if (height + titleBar > area.height()) {
            if (auto* root = qobject_cast<QBoxLayout*>(layout())) {
                root->setSpacing(2);
                root->setContentsMargins(6, 4, 6, 4);
            }
            for (QFrame* frame : findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (auto* grid = qobject_cast<QGridLayout*>(frame->layout())) {
                    grid->setContentsMargins(4, 2, 4, 2);
                    grid->setVerticalSpacing(0);
                }
            }
            layout()->invalidate();
            layout()->activate();
            height = heightForWidth(width);
            widen();
        }
    }
    if (height <= 0)
        height = sizeHint().height();
    resize(width, height);
}

void frmErrorHandler::hideEvent(QHideEvent* event) {
    // The arrow was forced for this window only; the rest of the program gets
    // its own pointers back.
    if (platform::ui::ScreenMousePointer() == platform::ui::vbArrow)
        platform::ui::SetScreenMousePointer(platform::ui::vbDefault);
    QDialog::hideEvent(event);
}

void frmErrorHandler::SetErrorString(const QString& value) {
    m_errorString = value;
    m_txtError->setPlainText(value);
}

void frmErrorHandler::SetAppName(const QString& value) {
    m_appName = value;
    m_lblErrorHeader->setText(value + QLatin1Char(' ') + QString::fromLatin1(kHeaderTail));
}

void frmErrorHandler::SetErrorFile(const QString& value) {
    m_errorFile = value;
    m_lblErrorFile->setText(QString::fromLatin1(kViewErrorFile) + QStringLiteral(" (located in ") + value +
                            QStringLiteral(")"));
}

void frmErrorHandler::cmdAction_Click(int index) {
    if (index == 1)
        m_userChoice = true;
    done(index);
}

void frmErrorHandler::cmdErrorFile_Click() {
    // The text editor of the desktop stands in for Notepad; a file it cannot
    // open leaves the window as it is.
    platform::ui::ShellExecute(QStringLiteral("open"), m_errorFile, QString(), QString(), 1);
}

void frmErrorHandler::cmdReadme_Click() {
    platform::ui::ShellExecute(QStringLiteral("open"), m_readmefile, QString(), QString(), 1);
}

void frmErrorHandler::cmdHelpFile_Click() {
    // What F1 would open here: the application's help.
    QString file = QString::fromStdString(platform::App::HelpFile());
    if (file.isEmpty())
        file = m_errHelpFileName;
    platform::ui::WinHelp(file, platform::ui::HELP_CONTENTS, 0);
}

void frmErrorHandler::cmdWebsite_Click() {
    platform::ui::OpenUrl(QUrl(QString::fromLatin1(SupportWebSite)));
}

QUrl frmErrorHandler::ReportMailUrl() const {
    const QByteArray subject = QUrl::toPercentEncoding(m_appName + QStringLiteral(" Error log"));
    const QByteArray body = QUrl::toPercentEncoding(m_errorMsgString);
    return QUrl::fromEncoded(QByteArray("mailto:") + QByteArray(SupportEmail) + "?subject=" + subject + "&body=" + body,
                             QUrl::StrictMode);
}

void frmErrorHandler::cmdEMail_Click() {
    BusyPointer busy;
    // The desktop's mail program composes the message, so the user sees it
    // last and sends it (or not) from there.
    if (!platform::ui::OpenUrl(ReportMailUrl()))
        MsgBox("Unable to sign on to server", vbOKOnly, platform::App::Title());
}

void frmErrorHandler::cmdHelp_Click() {
    WinHelpContext(m_errHelpFileName, m_errHelpContextID);
}

void frmErrorHandler::WinHelpContext(const QString& helpFile, std::int32_t contextId) {
    platform::ui::WinHelp(helpFile, platform::ui::HELP_CONTEXT, contextId);
}

bool frmErrorHandler::ShowFor(const CErr_ZUR& handler, QWidget* parent, const QString& appName) {
    frmErrorHandler dlg(parent);
    dlg.SetAppName(appName);
    dlg.SetReadmefile(QString::fromStdString(platform::App::Path()) + QStringLiteral("/readme.txt"));
    dlg.SetErrHelpContextID(1);
    dlg.SetErrHelpFileName(QString::fromStdString(platform::App::HelpFile()));
    dlg.SetErrorFile(QString::fromStdString(handler.DestinationPath()));
    dlg.SetErrorString(QString::fromStdString(handler.ErrDescription()));
    dlg.SetErrorMsgString(QString::fromStdString(handler.ErrorText()));
    dlg.exec();
    return dlg.UserChoice();
}
