#include "util/ui/CFileDialog.h"
#include "util/ui/CHourglass.h"
#include "util/ui/CShellExecute.h"
#include "util/ui/CWinHelp.h"

#include "support/HookRecorder.h"
#include "support/QtTestSupport.h"
#include "platform/MessageBox.h"
#include "platform/ui/DesktopServices.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Help.h"
#include "platform/ui/ScreenPointer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vtest::UrlRecorder;

// Every message box of these tests has only an OK button: answer OK.
struct MessageBoxRecorder : vtest::HookRecorder {
    MessageBoxRecorder() : vtest::HookRecorder(vbOK) {}
};

struct HelpCall {
    QString file;
    unsigned command;
    QVariant data;
};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void Touch(const std::string& path, const std::string& text = "x\n") {
    std::ofstream(path) << text;
}

// Waits (ten seconds at most) for the program `shell` launched to end.
void WaitForTheProgram(CShellExecute& shell) {
    QElapsedTimer clock;
    clock.start();
    while (shell.StillExecuting() && clock.elapsed() < 10000)
        QThread::msleep(20);
}

} // namespace

// ---- CFileDialog ------------------------------------------------------------

TEST(CFileDialog, PropertiesStartEmpty) {
    CFileDialog dlg;
    EXPECT_TRUE(dlg.FileName().isEmpty());
    EXPECT_TRUE(dlg.Filter().isEmpty());
    EXPECT_EQ(dlg.FilterIndex(), 0);
    EXPECT_EQ(dlg.Flags(), 0);
    EXPECT_EQ(dlg.hWndParent(), 0);
    dlg.SetMaxFileSize(512);
    EXPECT_EQ(dlg.MaxFileSize(), 512);
}

TEST(CFileDialog, CancelReturnsFalseAndKeepsTheFileName) {
    CFileDialog dlg;
    dlg.SetFileName(QStringLiteral("previous.sqlite"));
    dlg.SetFileTitle(QStringLiteral("previous"));
    vtest::AnswerNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_FALSE(dlg.Show(true));
    EXPECT_EQ(dlg.FileName(), QStringLiteral("previous.sqlite"));
    EXPECT_EQ(dlg.FileTitle(), QStringLiteral("previous"));
}

TEST(CFileDialog, OpenReturnsTheChosenPathAndTitle) {
    vtest::TempDir dir;
    const std::string file = dir.file("Stats.sqlite");
    Touch(file);

    CFileDialog dlg;
    dlg.SetDialogTitle(QStringLiteral("Open Database"));
    dlg.SetInitialDir(Q(dir.path().string()));
    dlg.SetFilter(QStringLiteral("Databases (*.sqlite;*.db)|*.sqlite;*.db|All files (*.*)|*.*"));
    dlg.SetFilterIndex(2);
    dlg.SetFlags(static_cast<std::int32_t>(platform::ui::OFN_FILEMUSTEXIST | platform::ui::OFN_HIDEREADONLY));

    QString title, shownDir, shownFilter;
    QStringList filters;
    vtest::AnswerNextModal([&](QWidget* modal) {
        auto* fd = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(fd, nullptr);
        title = fd->windowTitle();
        shownDir = fd->directory().absolutePath();
        filters = fd->nameFilters();
        shownFilter = fd->selectedNameFilter();
        // Type the name as the user would (selectFile leaves a focused name box alone).
        auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(Q(file));
        static_cast<QDialog*>(fd)->accept();
    });
    ASSERT_TRUE(dlg.Show(true));
    EXPECT_EQ(title, QStringLiteral("Open Database"));
    EXPECT_EQ(shownDir, QDir(Q(dir.path().string())).absolutePath());
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Databases (*.sqlite *.db)"), QStringLiteral("All files (*.*)")}));
    EXPECT_EQ(shownFilter, QStringLiteral("All files (*.*)"));
    EXPECT_EQ(QDir::cleanPath(dlg.FileName()), QDir::cleanPath(Q(file)));
    EXPECT_EQ(dlg.FileTitle(), QStringLiteral("Stats.sqlite"));
}

TEST(CFileDialog, SaveAddsTheDefaultExtension) {
    vtest::TempDir dir;
    CFileDialog dlg;
    dlg.SetInitialDir(Q(dir.path().string()));
    dlg.SetDefaultExt(QStringLiteral("sqlite"));
    dlg.SetFileName(QStringLiteral("Results"));
    vtest::AnswerNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    ASSERT_TRUE(dlg.Show(false));
    EXPECT_EQ(QDir::cleanPath(dlg.FileName()), QDir::cleanPath(Q(dir.file("Results.sqlite"))));
    EXPECT_EQ(dlg.FileTitle(), QStringLiteral("Results.sqlite"));
}

TEST(CFileDialog, AFileNameLongerThanTheBufferIsReportedAndFails) {
    CFileDialog dlg;
    const QString tooLong(261, QLatin1Char('a'));
    dlg.SetFileName(tooLong);
    MessageBoxRecorder boxes;
    EXPECT_FALSE(dlg.Show(true));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].prompt, "Error: 5. Invalid procedure call or argument");
    EXPECT_EQ(boxes.messages[0].title, "Show");
    EXPECT_EQ(boxes.messages[0].buttons, vbOKOnly);
    EXPECT_EQ(dlg.FileName(), tooLong);
}

TEST(CFileDialog, TrimNullsCutsAtTheFirstNull) {
    EXPECT_EQ(CFileDialog::TrimNulls(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(CFileDialog::TrimNulls(QString::fromUtf16(u"ab\0c", 4)), QStringLiteral("ab"));
    EXPECT_EQ(CFileDialog::TrimNulls(QString::fromUtf16(u"\0abc", 4)), QString());
    EXPECT_EQ(CFileDialog::TrimNulls(QString()), QString());
}

struct FilterCase {
    const char* filter;
    QStringList filters;
};

inline void PrintTo(const FilterCase& c, std::ostream* os) { *os << "filter " << c.filters.size(); }

class BarFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(BarFilters, BecomeNameFilters) {
    EXPECT_EQ(platform::ui::NameFiltersFromBarFilter(QString::fromLatin1(GetParam().filter)), GetParam().filters);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, BarFilters,
    ::testing::Values(FilterCase{"", {}},
                      FilterCase{"Databases|*.sqlite", {"Databases (*.sqlite)"}},
                      FilterCase{"Databases (*.sqlite)|*.sqlite|All files|*.*", {"Databases (*.sqlite)", "All files (*.*)"}},
                      FilterCase{"Databases (*.mdb;*.mda)|*.mdb;*.mda", {"Databases (*.mdb *.mda)"}},
                      FilterCase{"Text|*.txt|", {"Text (*.txt)"}}));

// ---- CWinHelp ---------------------------------------------------------------

TEST(CWinHelp, EachMethodSendsItsCommand) {
    std::vector<HelpCall> calls;
    const platform::ui::HelpHandler old =
        platform::ui::SetHelpHandler([&](const QString& f, unsigned c, const QVariant& d) {
            calls.push_back({f, c, d});
            return true;
        });
    CWinHelp h;
    h.SetHelpFile(QStringLiteral("/opt/varnello/help"));
    EXPECT_EQ(h.HelpFile(), QStringLiteral("/opt/varnello/help"));
    h.CloseFile();
    h.HelpOnHelp();
    h.OpenContents();
    h.OpenFinder();
    h.OpenContext(220);
    h.RunMacro(QStringLiteral("Search()"));
    h.SearchDialog();
    h.SearchFor(QStringLiteral("Crosstab"));
    platform::ui::SetHelpHandler(old);

    const QString file = QStringLiteral("/opt/varnello/help");
    const std::vector<HelpCall> expected{
        {file, 0x002, QString()},  {QString(), 0x004, 0},        {file, 0x003, 0},
        {file, 0x00B, 0},          {file, 0x001, 220},           {file, 0x102, QStringLiteral("Search()")},
        {file, 0x105, QString()}, {file, 0x105, QStringLiteral("Crosstab")},
    };
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(calls[i].file, expected[i].file) << i;
        EXPECT_EQ(calls[i].command, expected[i].command) << i;
        EXPECT_EQ(calls[i].data.toString(), expected[i].data.toString()) << i;
    }
}

TEST(HelpEngine, AFolderOfPagesOpensTheTopicPageOrTheIndex) {
    vtest::TempDir dir;
    Touch(dir.file("index.html"));
    Touch(dir.file("220.html"));
    const QString folder = Q(dir.path().string());
    using namespace platform::ui;
    const QUrl index = QUrl::fromLocalFile(Q(dir.file("index.html")));
    EXPECT_EQ(HelpUrl(folder, HELP_CONTEXT, 220), QUrl::fromLocalFile(Q(dir.file("220.html"))));
    EXPECT_EQ(HelpUrl(folder, HELP_CONTEXT, 221), index);
    EXPECT_EQ(HelpUrl(folder, HELP_CONTENTS, 0), index);
    EXPECT_EQ(HelpUrl(folder, HELP_PARTIALKEY, QStringLiteral("t-test")), index);
    EXPECT_TRUE(HelpUrl(folder, HELP_QUIT, QString()).isEmpty());
    EXPECT_TRUE(HelpUrl(QString(), HELP_CONTENTS, 0).isEmpty());
}

TEST(HelpEngine, AHelpDocumentOpensAtTheTopicAnchor) {
    vtest::TempDir dir;
    const std::string file = dir.file("varnello-help.html");
    Touch(file);
    using namespace platform::ui;
    QUrl topic = QUrl::fromLocalFile(Q(file));
    topic.setFragment(QStringLiteral("topic220"));
    EXPECT_EQ(HelpUrl(Q(file), HELP_CONTEXT, 220), topic);
    EXPECT_EQ(HelpUrl(Q(file), HELP_FINDER, 0), QUrl::fromLocalFile(Q(file)));

    UrlRecorder opener;
    CWinHelp h;
    h.SetHelpFile(Q(file));
    h.OpenContext(220);
    h.CloseFile(); // nothing to open
    ASSERT_EQ(opener.urls.size(), 1u);
    EXPECT_EQ(opener.urls[0], topic);
}

// ---- CShellExecute ----------------------------------------------------------

TEST(CShellExecute, LaunchURLHandsTheAddressToTheDesktop) {
    UrlRecorder opener;
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchURL(0, QStringLiteral("https://varnello.example/"), CShellExecute::SW_SHOWNORMAL), -1);
    ASSERT_EQ(opener.urls.size(), 1u);
    EXPECT_EQ(opener.urls[0], QUrl(QStringLiteral("https://varnello.example/")));
    EXPECT_FALSE(shell.StillExecuting());
}

TEST(CShellExecute, LaunchURLOfAMissingFileGivesFileNotFound) {
    vtest::TempDir dir;
    UrlRecorder opener;
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchURL(0, Q(dir.file("missing.html")), 1), 2);
    EXPECT_TRUE(opener.urls.empty());
    EXPECT_FALSE(shell.StillExecuting());
}

// A "file:" address was read as a relative path below the working folder:
// an existing page gave 3 (path not found) and nothing was opened.
TEST(CShellExecute, AFileAddressOpensTheFileItNames) {
    vtest::TempDir dir;
    std::filesystem::create_directories(dir.file("Jahres Daten"));
    const QString page = Q(dir.file("Jahres Daten")) + QStringLiteral("/\u00dcbersicht.html");
    Touch(page.toStdString());
    const QString missing = Q(dir.file("missing.html"));
    struct Row {
        QString address;
        long result;
        QString opened; // empty: nothing handed to the desktop
        const char* why;
    } rows[] = {
        {QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded), -1, page, "encoded blank and letter beyond ASCII"},
        {QStringLiteral("FILE://") + page, -1, page, "scheme in capitals, written unencoded"},
        {QUrl::fromLocalFile(missing).toString(), 2, QString(), "a missing file is not found"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        UrlRecorder opener;
        CShellExecute shell;
        EXPECT_EQ(shell.LaunchURL(0, r.address, 1), r.result);
        if (r.opened.isEmpty()) {
            EXPECT_TRUE(opener.urls.empty());
        } else {
            ASSERT_EQ(opener.urls.size(), 1u);
            EXPECT_EQ(opener.urls[0].toLocalFile(), r.opened);
        }
    }
}

TEST(CShellExecute, AnAddressNobodyTakesGivesNoAssociation) {
    UrlRecorder opener(false);
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchURL(0, QStringLiteral("https://varnello.example/"), 1), 31);
}

TEST(CShellExecute, LaunchEmailOpensAMailtoAddress) {
    UrlRecorder opener;
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchEmail(0, QStringLiteral("support@varnello.example"), 1), -1);
    ASSERT_EQ(opener.urls.size(), 1u);
    EXPECT_EQ(opener.urls[0].toString(), QStringLiteral("mailto:support@varnello.example"));
}

TEST(CShellExecute, FoldersAreOpenedAndExplored) {
    vtest::TempDir dir;
    Touch(dir.file("a.txt"));
    UrlRecorder opener;
    CShellExecute shell;
    const QString folder = Q(dir.path().string());
    EXPECT_EQ(shell.LaunchFolder(0, folder, 1), -1);
    EXPECT_EQ(shell.Explore(0, folder, 1), -1);
    EXPECT_EQ(shell.Explore(0, Q(dir.file("missing")), 1), 2);
    EXPECT_EQ(shell.LaunchFolder(0, Q(dir.file("missing")), 1), 2);
    ASSERT_EQ(opener.urls.size(), 2u);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(folder));
    EXPECT_EQ(opener.urls[1], QUrl::fromLocalFile(folder));
}

TEST(CShellExecute, LaunchDocumentOpensTheDocumentInItsFolder) {
    vtest::TempDir dir;
    Touch(dir.file("readme.txt"));
    UrlRecorder opener;
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchDocument(0, QStringLiteral("readme.txt"), Q(dir.path().string()), 1), -1);
    ASSERT_EQ(opener.urls.size(), 1u);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(Q(dir.file("readme.txt"))));
    EXPECT_FALSE(shell.StillExecuting()); // handed to the desktop, no process of ours
    EXPECT_EQ(shell.LaunchDocument(0, QStringLiteral("readme.txt"), Q(dir.file("no-folder")), 1), 3);
}

TEST(CShellExecute, LaunchProgramRunsUntilTheProgramEnds) {
    CShellExecute shell;
    ASSERT_EQ(shell.LaunchProgram(0, QStringLiteral("sleep"), QStringLiteral("0.5"), QString(), 1), -1);
    EXPECT_TRUE(shell.StillExecuting());
    WaitForTheProgram(shell);
    EXPECT_FALSE(shell.StillExecuting());
}

TEST(CShellExecute, LaunchProgramPassesParametersAndFolder) {
    vtest::TempDir dir;
    CShellExecute shell;
    // sh -c 'echo done > out.txt' in the folder.
    ASSERT_EQ(shell.LaunchProgram(0, QStringLiteral("sh"), QStringLiteral("-c \"echo done > out.txt\""),
                                  Q(dir.path().string()), 1),
              -1);
    WaitForTheProgram(shell);
    QFile out(Q(dir.file("out.txt")));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), QByteArray("done\n"));
}

TEST(CShellExecute, AMissingProgramGivesFileNotFound) {
    CShellExecute shell;
    EXPECT_EQ(shell.LaunchProgram(0, QStringLiteral("no-such-program-varnello"), QString(), QString(), 1), 2);
    EXPECT_FALSE(shell.StillExecuting());
}

TEST(CShellExecute, AnotherLaunchForgetsTheProgram) {
    UrlRecorder opener;
    CShellExecute shell;
    ASSERT_EQ(shell.LaunchProgram(0, QStringLiteral("sleep"), QStringLiteral("2"), QString(), 1), -1);
    ASSERT_TRUE(shell.StillExecuting());
    EXPECT_EQ(shell.LaunchURL(0, QStringLiteral("https://varnello.example/"), 1), -1);
    EXPECT_FALSE(shell.StillExecuting());
}

TEST(CShellExecute, PrintingAMissingFileGivesFileNotFound) {
    vtest::TempDir dir;
    CShellExecute shell;
    EXPECT_EQ(shell.PrintDocument(0, Q(dir.file("missing.txt"))), 2);
}

// ---- CHourglass -------------------------------------------------------------

TEST(CHourglass, ShowsTheHourglassWhileTrue) {
    platform::ui::SetScreenMousePointer(platform::ui::vbDefault);
    {
        CHourglass hourglass;
        EXPECT_FALSE(hourglass.Value());
        hourglass.SetValue(true);
        EXPECT_TRUE(hourglass.Value());
        EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbHourglass);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CHourglass, FalseRestoresTheDefaultNotTheOuterPointer) {
    CHourglass outer;
    outer.SetValue(true);
    {
        CHourglass inner;
        inner.SetValue(false);
        EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CHourglass, DestroyingRestoresTheDefaultEvenWhenNeverSet) {
    platform::ui::SetScreenMousePointer(platform::ui::vbArrow);
    { CHourglass hourglass; }
    EXPECT_EQ(platform::ui::ScreenMousePointer(), platform::ui::vbDefault);
}
