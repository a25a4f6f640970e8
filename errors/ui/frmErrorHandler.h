#pragma once
// The window that tells the user about an unexpected error and offers the ways
// to get help: the error report, the readme file, the help file, the support
// web page, mailing the report to technical support, and finally continuing
// or closing the program.
//
// The owner of an error handler fills it from the handler after an error and
// reads the user's choice:
//
//     frmErrorHandler dlg(parent);
//     dlg.SetAppName("Varnello");
//     dlg.SetReadmefile(...);  dlg.SetErrHelpContextID(1);  dlg.SetErrHelpFileName(...);
//     dlg.SetErrorFile(...);   dlg.SetErrorString(...);     dlg.SetErrorMsgString(...);
//     dlg.exec();
//     if (dlg.UserChoice()) ... close the program ... else ... continue ...
//
// or in one call, ShowFor(handler, parent).
#include <QDialog>
#include <QString>
#include <QUrl>

#include <cstdint>

class CErr_ZUR;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmErrorHandler : public QDialog {
    Q_OBJECT
public:
    // Technical support.
    static constexpr const char* SupportEmail = "support@varnello.example";
    static constexpr const char* SupportWebSite = "https://varnello.example/support";
    static constexpr const char* SupportFax = "+1 (555) 010-2200";

    explicit frmErrorHandler(QWidget* parent = nullptr);

    const QString& ErrHelpFileName() const { return m_errHelpFileName; }
    void SetErrHelpFileName(const QString& value) { m_errHelpFileName = value; }
    std::int32_t ErrHelpContextID() const { return m_errHelpContextID; }
    void SetErrHelpContextID(std::int32_t value) { m_errHelpContextID = value; }
    const QString& ErrorString() const { return m_errorString; }
    void SetErrorString(const QString& value);
    const QString& AppName() const { return m_appName; }
    void SetAppName(const QString& value);
    const QString& ErrorMsgString() const { return m_errorMsgString; }
    void SetErrorMsgString(const QString& value) { m_errorMsgString = value; }
    const QString& Readmefile() const { return m_readmefile; }
    void SetReadmefile(const QString& value) { m_readmefile = value; }
    const QString& ErrorFile() const { return m_errorFile; }
    void SetErrorFile(const QString& value);

    // False until the user presses the close button.
    bool UserChoice() const { return m_userChoice; }
    void SetUserChoice(bool value) { m_userChoice = value; }

    // The mail that carries the report to technical support: recipient,
    // subject AppName + " Error log", the report as its text.
    QUrl ReportMailUrl() const;

    // Fills the window from an error handler after an error (product name,
    // readme file and help file of the application, the handler's report
    // file, error description and report text), shows it modally and returns
    // the user's choice: True for close, False for continue.
    static bool ShowFor(const CErr_ZUR& handler, QWidget* parent = nullptr, const QString& appName = QStringLiteral("Varnello"));

    // The controls, by their names, for tests.
    QLabel* HeaderLabel() const { return m_lblErrorHeader; }
    QLabel* ErrorFileLabel() const { return m_lblErrorFile; }
    QPlainTextEdit* ErrorText() const { return m_txtError; }
    QPushButton* ActionButton(int index) const { return index == 0 ? m_cmdContinue : index == 1 ? m_cmdClose : nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Form_Load();
    void FitToTexts();
    // The title bar assumed while the window manager has not framed the window yet, pixels.
    static constexpr int AssumedTitleBar = 32;
    void cmdAction_Click(int index);
    void cmdErrorFile_Click();
    void cmdReadme_Click();
    void cmdHelpFile_Click();
    void cmdWebsite_Click();
    void cmdEMail_Click();
    void cmdHelp_Click();
    // Opens the help file at a help context.
    void WinHelpContext(const QString& helpFile, std::int32_t contextId);

    QString m_errHelpFileName;
    std::int32_t m_errHelpContextID = 0;
    QString m_appName;
    QString m_errorString;
    QString m_readmefile;
    QString m_errorFile;
    bool m_userChoice = false;
    QString m_errorMsgString;

    bool m_centred = false;
    QLabel* m_lblErrorHeader = nullptr;
    QPlainTextEdit* m_txtError = nullptr;
    QLabel* m_lblErrorFile = nullptr;
    QPushButton* m_cmdContinue = nullptr;
    QPushButton* m_cmdClose = nullptr;
};
