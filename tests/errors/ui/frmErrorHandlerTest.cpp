#include "errors/ui/frmErrorHandler.h"

#include "support/HookRecorder.h"
#include "support/QtTestSupport.h"
#include "errors/CErr_ZUR.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/ui/DesktopServices.h"
#include "platform/ui/Help.h"
#include "platform/ui/ScreenPointer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrlQuery>

#include <fstream>
#include <string>
#include <vector>

namespace {

using vtest::UrlRecorder;

// Every message box of these tests has only an OK button: answer OK.
struct MessageBoxRecorder : vtest::HookRecorder {
    MessageBoxRecorder() : vtest::HookRecorder(vbOK) {}
};

QPushButton* Button(const frmErrorHandler& dlg, const char* name) {
    return dlg.findChild<QPushButton*>(QString::fromLatin1(name));
}

} // namespace

TEST(frmErrorHandler, ContinueLeavesTheChoiceFalse) {
    frmErrorHandler dlg;
    vtest::AnswerNextModal([&](QWidget*) { dlg.ActionButton(0)->click(); });
    dlg.exec();
    EXPECT_FALSE(dlg.UserChoice());
    EXPECT_FALSE(dlg.isVisible());
}

TEST(frmErrorHandler, CloseMakesTheChoiceTrue) {
    frmErrorHandler dlg;
    vtest::AnswerNextModal([&](QWidget*) { dlg.ActionButton(1)->click(); });
    dlg.exec();
    EXPECT_TRUE(dlg.UserChoice());
    EXPECT_FALSE(dlg.isVisible());
}

TEST(frmErrorHandler, ClosingTheWindowOtherwiseCountsAsContinue) {
    frmErrorHandler dlg;
    vtest::AnswerNextModal([&](QWidget*) { dlg.close(); });
    dlg.exec();
    EXPECT_FALSE(dlg.UserChoice());
}

TEST(frmErrorHandler, CaptionAndButtonTexts) {
    frmErrorHandler dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Unexpected Error"));
    EXPECT_EQ(dlg.ActionButton(0)->text(), QStringLiteral("&Continue"));
    EXPECT_EQ(dlg.ActionButton(1)->text(), QStringLiteral("C&lose"));
    EXPECT_EQ(Button(dlg, "cmdHelp")->text(), QStringLiteral("&Help"));
    const auto label = [&](const char* name) { return dlg.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
    EXPECT_EQ(label("Label1"),
              QStringLiteral("To resolve this problem, consult the Troubleshooting section of the online help file. "));
    EXPECT_EQ(label("Label3"), QStringLiteral("Open the help file now."));
    EXPECT_EQ(label("Label2"), QStringLiteral("Be sure to check the README.TXT file for additional information not "
                                              "included in the help file or printed documentation."));
    EXPECT_EQ(label("Label4"), QStringLiteral("View the Readme file now."));
    EXPECT_EQ(label("Label5"), QStringLiteral("Send email now."));
    EXPECT_EQ(label("Label6"), QStringLiteral("Visit the site now."));
    EXPECT_EQ(label("lblErrorFile"), QStringLiteral("View the error file using NotePad."));
    EXPECT_TRUE(label("Label9").contains(QString::fromLatin1(frmErrorHandler::SupportEmail)));
    EXPECT_TRUE(label("Label7").contains(QString::fromLatin1(frmErrorHandler::SupportWebSite)));
    EXPECT_TRUE(label("Label8").contains(QString::fromLatin1(frmErrorHandler::SupportFax)));
    EXPECT_TRUE(label("Text5").startsWith(QStringLiteral("For further help, please contact ZUR Technical Support:")));
}

TEST(frmErrorHandler, SettersUpdateTheWindow) {
    frmErrorHandler dlg;
    dlg.SetAppName(QStringLiteral("Varnello"));
    EXPECT_EQ(dlg.HeaderLabel()->text(), QStringLiteral("Varnello has encountered the following unanticipated error:"));
    dlg.SetErrorFile(QStringLiteral("C:\\APP\\error.log"));
    EXPECT_EQ(dlg.ErrorFileLabel()->text(),
              QStringLiteral("View the error file using NotePad. (located in C:\\APP\\error.log)"));
    dlg.SetErrorString(QStringLiteral("Division by zero"));
    EXPECT_EQ(dlg.ErrorText()->toPlainText(), QStringLiteral("Division by zero"));
    EXPECT_TRUE(dlg.ErrorText()->isReadOnly());

    dlg.SetReadmefile(QStringLiteral("/opt/varnello/readme.txt"));
    dlg.SetErrHelpContextID(1);
    dlg.SetErrHelpFileName(QStringLiteral("/opt/varnello/help"));
    dlg.SetErrorMsgString(QStringLiteral("report"));
    EXPECT_EQ(dlg.Readmefile(), QStringLiteral("/opt/varnello/readme.txt"));
    EXPECT_EQ(dlg.ErrHelpContextID(), 1);
    EXPECT_EQ(dlg.ErrHelpFileName(), QStringLiteral("/opt/varnello/help"));
    EXPECT_EQ(dlg.ErrorMsgString(), QStringLiteral("report"));
    EXPECT_FALSE(dlg.UserChoice());
}

// Every sentence of the window is shown whole: a label given less height
// than its wrapped lines need cuts off its last line (the fax number, the
// location of the report file). The test screen is 800 pixels high, where the
// window was held to two thirds of it.
TEST(frmErrorHandler, EveryLabelIsShownWhole) {
    struct Row {
        const char* errorFile;
        const char* why;
    } rows[] = {
        {"/opt/varnello/error.log", "a short report path"},
        {"/home/someone/.local/share/varnello/installations/current/bin/error.log", "a path that wraps"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        frmErrorHandler dlg;
        dlg.SetAppName(QStringLiteral("Varnello"));
        dlg.SetErrorString(QStringLiteral("Division by zero"));
        dlg.SetErrorFile(QString::fromLatin1(r.errorFile));
        QStringList cut;
        vtest::AnswerNextModal([&](QWidget*) {
            for (const QLabel* label : dlg.findChildren<QLabel*>()) {
                if (!label->wordWrap() || label->text().isEmpty())
                    continue;
                if (label->height() < label->heightForWidth(label->width()))
                    cut << label->objectName();
            }
            dlg.ActionButton(0)->click();
        });
        dlg.exec();
        EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(", ")).toStdString();
    }
}

TEST(frmErrorHandler, LoadingSetsTheArrowPointerUntilTheWindowCloses) {
    platform::ui::SetScreenMousePointer(platform::ui::vbHourglass);
    frmErrorHandler dlg;
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbArrow);
    int whileShown = -1;
    vtest::AnswerNextModal([&](QWidget*) {
        whileShown = platform::ui::ScreenMousePointer();
        dlg.ActionButton(0)->click();
    });
    dlg.exec();
    EXPECT_EQ(whileShown, platform::ui::vbArrow);
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
}

TEST(frmErrorHandler, MailCarriesTheReportToSupport) {
    frmErrorHandler dlg;
    dlg.SetAppName(QStringLiteral("Varnello"));
    const QString report = QStringLiteral("Varnello ERROR INFORMATION\r\n=== & ?x=1 + 100%\r\nError Number      : 11\r\n");
    dlg.SetErrorMsgString(report);

    UrlRecorder opener;
    MessageBoxRecorder boxes;
    Button(dlg, "cmdEMail")->click();

    ASSERT_EQ(opener.urls.size(), 1u);
    const QUrl mail = opener.urls.front();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), QString::fromLatin1(frmErrorHandler::SupportEmail));
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), QStringLiteral("Varnello Error log"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), report);
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
}

TEST(frmErrorHandler, MailWithoutAMailProgramSaysSo) {
    platform::App::SetTitle("Varnello Scenario Designer");
    frmErrorHandler dlg;
    dlg.SetAppName(QStringLiteral("Varnello"));
    UrlRecorder opener(false);
    MessageBoxRecorder boxes;
    Button(dlg, "cmdEMail")->click();
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].prompt, "Unable to sign on to server");
    EXPECT_EQ(boxes.messages[0].buttons, vbOKOnly);
    EXPECT_EQ(boxes.messages[0].title, "Varnello Scenario Designer");
}

TEST(frmErrorHandler, WebsiteButtonOpensTheSupportPage) {
    frmErrorHandler dlg;
    UrlRecorder opener;
    Button(dlg, "cmdWebsite")->click();
    ASSERT_EQ(opener.urls.size(), 1u);
    EXPECT_EQ(opener.urls[0], QUrl(QString::fromLatin1(frmErrorHandler::SupportWebSite)));
}

TEST(frmErrorHandler, ErrorFileAndReadmeOpenInTheDesktopsEditor) {
    vtest::TempDir dir;
    const std::string log = dir.file("error.log");
    const std::string readme = dir.file("readme.txt");
    std::ofstream(log) << "report\n";
    std::ofstream(readme) << "read me\n";

    frmErrorHandler dlg;
    dlg.SetErrorFile(QString::fromStdString(log));
    dlg.SetReadmefile(QString::fromStdString(readme));
    UrlRecorder opener;
    Button(dlg, "cmdErrorFile")->click();
    Button(dlg, "cmdReadme")->click();
    ASSERT_EQ(opener.urls.size(), 2u);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(QString::fromStdString(log)));
    EXPECT_EQ(opener.urls[1], QUrl::fromLocalFile(QString::fromStdString(readme)));
}

TEST(frmErrorHandler, MissingReadmeLeavesTheWindowUsable) {
    vtest::TempDir dir;
    frmErrorHandler dlg;
    dlg.SetReadmefile(QString::fromStdString(dir.file("no-such-readme.txt")));
    UrlRecorder opener;
    MessageBoxRecorder boxes;
    vtest::AnswerNextModal([&](QWidget*) {
        Button(dlg, "cmdReadme")->click();
        dlg.ActionButton(0)->click();
    });
    dlg.exec();
    EXPECT_TRUE(opener.urls.empty());
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_FALSE(dlg.UserChoice());
}

TEST(frmErrorHandler, HelpButtonsOpenTheHelp) {
    struct Call {
        QString file;
        unsigned command;
        long long data;
    };
    std::vector<Call> calls;
    const platform::ui::HelpHandler old =
        platform::ui::SetHelpHandler([&](const QString& file, unsigned command, const QVariant& data) {
            calls.push_back({file, command, data.toLongLong()});
            return true;
        });
    platform::App::SetHelpFile("/opt/varnello/help");

    frmErrorHandler dlg;
    dlg.SetErrHelpFileName(QStringLiteral("/opt/varnello/errors-help"));
    dlg.SetErrHelpContextID(1);
    Button(dlg, "cmdHelpFile")->click();
    Button(dlg, "cmdHelp")->click();
    platform::ui::SetHelpHandler(old);
    platform::App::SetHelpFile("");

    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, QStringLiteral("/opt/varnello/help"));
    EXPECT_EQ(calls[0].command, platform::ui::HELP_CONTENTS);
    EXPECT_EQ(calls[1].file, QStringLiteral("/opt/varnello/errors-help"));
    EXPECT_EQ(calls[1].command, platform::ui::HELP_CONTEXT);
    EXPECT_EQ(calls[1].data, 1);
}

TEST(frmErrorHandler, ShowForFillsTheWindowFromTheHandler) {
    vtest::TempDir dir;
    const std::string log = dir.file("error.log");
    CErr_ZUR handler;
    handler.SetDisplayError(false);
    handler.SetDestinationPath(log);
    handler.Push("Sub Main");
    handler.Push("frmStatMain:cmdRun_Click");
    handler.HandleError(11, "Division by zero");
    ASSERT_FALSE(handler.ErrorText().empty());

    QString header, errorText, fileLabel, mailBody;
    vtest::AnswerNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<frmErrorHandler*>(modal);
        ASSERT_NE(dlg, nullptr);
        header = dlg->HeaderLabel()->text();
        errorText = dlg->ErrorText()->toPlainText();
        fileLabel = dlg->ErrorFileLabel()->text();
        mailBody = dlg->ErrorMsgString();
        dlg->ActionButton(1)->click();
    });
    const bool close = frmErrorHandler::ShowFor(handler);

    EXPECT_TRUE(close);
    EXPECT_EQ(header, QStringLiteral("Varnello has encountered the following unanticipated error:"));
    EXPECT_EQ(errorText, QStringLiteral("Division by zero"));
    EXPECT_EQ(fileLabel, QStringLiteral("View the error file using NotePad. (located in %1)").arg(QString::fromStdString(log)));
    EXPECT_EQ(mailBody, QString::fromStdString(handler.ErrorText()));
    EXPECT_TRUE(mailBody.contains(QStringLiteral("frmStatMain:cmdRun_Click")));
}

TEST(frmErrorHandler, ShowForContinueReturnsFalse) {
    CErr_ZUR handler;
    handler.SetDisplayError(false);
    vtest::AnswerNextModal([](QWidget* modal) { qobject_cast<frmErrorHandler*>(modal)->ActionButton(0)->click(); });
    EXPECT_FALSE(frmErrorHandler::ShowFor(handler));
}
