// The options dialog, the about box, the splash window, and the help pages
// that F1, the Help buttons and the error dialog open.
#include "AppTestSupport.h"

#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/frmAbout.h"
#include "app/frmGenerateCode.h"
#include "app/frmOptions.h"
#include "app/frmSplash.h"
#include "app/frmStatMain.h"
#include "app/modHelp.h"
#include "errors/ui/frmErrorHandler.h"
#include "platform/App.h"
#include "support/HookRecorder.h"
#include "platform/ui/DesktopServices.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace apptest;

namespace {

// The addresses handed to the desktop, recorded instead of opened.
// With accept false, as on a computer where nothing shows web pages.
struct Urls {
    explicit Urls(bool accept = true) {
        old = platform::ui::SetUrlOpener([this, accept](const QUrl& url) {
            urls.push_back(url);
            return accept;
        });
    }
    ~Urls() { platform::ui::SetUrlOpener(old); }
    std::vector<QUrl> urls;
    platform::ui::UrlOpener old;
};

template <class T>
bool Is(QWidget* w) {
    return qobject_cast<T*>(w) != nullptr;
}

class SmallWindows : public AppFixture {
protected:
    MDIMain* StartWithoutDatabase() {
        script.CancelOpenDatabase();
        return Start();
    }
    // Started over help.db, which holds one Describe scenario.
    MDIMain* StartWithAScenario() {
        const std::string path = File("help.db");
        CreateScoresDatabase(path, true, {DescribeScores("out1")});
        script.OpenDatabase(path);
        return Start();
    }
    ModalScript script;
};

TEST_F(SmallWindows, OptionsDialogKeepsThePrefixOnlyWhenOkChangesIt) {
    struct Case {
        const char* stored; // nullptr: absent
        const char* shown;
        const char* typed;  // nullptr: left as shown
        bool ok;
        const char* after;  // "~missing": still absent
        const char* reason;
    };
    const Case cases[] = {
        {nullptr, "VRNL_", nullptr, true, "~missing", "OK without a change writes nothing"},
        {nullptr, "VRNL_", "vrnl_", true, "vrnl_", "a change of letter case is a change"},
        {"ABC_", "ABC_", "", true, "", "an empty prefix is kept as typed"},
        {"ABC_", "ABC_", "XYZ_", false, "ABC_", "Cancel keeps the stored value"},
    };
    MDIMain* frame = StartWithoutDatabase();
    ASSERT_NE(frame, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        if (c.stored)
            gSettings->WriteEntry("OutputTablePrefix", c.stored);
        QString shown;
        ModalScript answer;
        answer.Then(QStringLiteral("options"), Is<frmOptions>, [&](QWidget* w) {
            auto* d = qobject_cast<frmOptions*>(w);
            shown = d->txtDefaultPrefix()->text();
            if (c.typed)
                d->txtDefaultPrefix()->setText(QString::fromLatin1(c.typed));
            d->findChild<QPushButton*>(c.ok ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel"))->click();
        });
        frame->mnuToolsItems_Click(10);
        EXPECT_TRUE(answer.Done());
        EXPECT_EQ(shown, QString::fromLatin1(c.shown));
        EXPECT_EQ(RegistryValue("Settings", "OutputTablePrefix"), c.after);
    }
}

// The designer proposes the prefix and a type's words as output names, in
// boxes of 50 characters (64 for a second table). A prefix typed longer than
// leaves room for every type's words was cut off the proposed names without
// a word: 40 characters and "Two Sample t-Test" (17) left 33 + 17 of them.
// The longest words are "Two Sample t-Test" and "N Fields Friedman" (17 of
// 50) and their second tables' names with " Details" (25 of 64): the box
// takes 50 - 17 = 33 characters, and every name proposed with them is whole.
TEST_F(SmallWindows, APrefixLongerThanTheProposedNamesHoldIsNotCutSilentlyOffTheNames) {
    MDIMain* frame = StartWithoutDatabase();
    ASSERT_NE(frame, nullptr);
    const QString typed = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCD"); // 40
    ASSERT_EQ(typed.size(), 40);
    QString shown;
    ModalScript answer;
    answer.Then(QStringLiteral("options"), Is<frmOptions>, [&](QWidget* w) {
        auto* d = qobject_cast<frmOptions*>(w);
        d->txtDefaultPrefix()->selectAll();
        QTest::keyClicks(d->txtDefaultPrefix(), typed);
        shown = d->txtDefaultPrefix()->text();
        d->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    frame->mnuToolsItems_Click(10);
    EXPECT_TRUE(answer.Done());
    EXPECT_EQ(shown, typed.left(33));
    EXPECT_EQ(RegistryValue("Settings", "OutputTablePrefix"), typed.left(33).toStdString());
}

TEST_F(SmallWindows, AboutBoxShowsTheRecordedVersionOrTheProgramsOwnButNeverNothing) {
    MDIMain* frame = StartWithoutDatabase();
    ASSERT_NE(frame, nullptr);
    struct Row {
        const char* recorded; // "" for none
        const char* shown;
    } rows[] = {
        {"", "Product Version: 5.0"}, // none recorded: the version the generated code names
        {"5.0.17", "Product Version: 5.0.17"},
    };
    for (const Row& r : rows) {
        const char* version = r.recorded;
        SCOPED_TRACE(version);
        if (*version)
            gSettingsVersion->WriteEntry("Version", version);
        QString caption, title, shown;
        ModalScript answer;
        answer.Then(QStringLiteral("about"), Is<frmAbout>, [&](QWidget* w) {
            auto* d = qobject_cast<frmAbout*>(w);
            caption = d->windowTitle();
            title = d->lblTitle()->text();
            shown = d->lblVersion()->text();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        frame->mnuHelpItems_Click(100);
        EXPECT_TRUE(answer.Done());
        EXPECT_EQ(caption, QStringLiteral("About Varnello"));
        EXPECT_EQ(title, QStringLiteral("Varnello"));
        EXPECT_EQ(shown, QString::fromLatin1(r.shown));
    }
}

TEST(Splash, SizesFollowTheScreenResolutionAndItClosesItself) {
    // Twips: 96 dots per inch is 15 twips per pixel, 120 is 12.
    EXPECT_EQ(frmSplash::GeometryFor(96), (frmSplash::Geometry{3840, 7280, 2350, 2100}));
    EXPECT_EQ(frmSplash::GeometryFor(120), (frmSplash::Geometry{3072, 5832, 1900, 1700}));
    EXPECT_EQ(frmSplash::GeometryFor(72), (frmSplash::Geometry{3072, 5832, 1900, 1700}));

    platform::ScreenInfo screen;
    screen.width = 1024;
    screen.height = 768;
    screen.workWidth = 1024;
    screen.workHeight = 768;
    screen.logPixelsX = 120;
    vtest::ScreenOverride override(screen);
    QPointer<frmSplash> splash = new frmSplash;
    splash->show();
    splash->Form_Load();
    // 5832 x 3072 twips at 15 twips per pixel.
    EXPECT_EQ(splash->size(), QSize(389, 205));
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash->tmrUnload()->isActive());
    EXPECT_EQ(splash->tmrUnload()->interval(), 1500);
    const QRect before = splash->geometry();
    splash->FormOnTop(false);
    EXPECT_FALSE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(splash->geometry(), before);
    // When the timer fires it closes itself for good.
    splash->tmrUnload()->setInterval(1);
    splash->tmrUnload()->start();
    Pump(50);
    EXPECT_TRUE(splash.isNull());
}

// ---- help ---------------------------------------------------------------------------------

QUrl Page(const QString& name) {
    return QUrl::fromLocalFile(QDir(HelpLocation()).filePath(name));
}

TEST_F(SmallWindows, EveryTopicTheWindowsNameHasItsPage) {
    // The topics the windows carry: error dialog, table page, options pages,
    // scenario tables question, scenario list, and the windows built here.
    for (int topic : {1, 28, 80, 87, 101, 104, 138, 169, 174, 182, 191, 197, 205, 220, 262, 300,
                      frmGenerateCode::HelpContextID, 320, frmOptions::HelpContextID, frmAbout::HelpContextID})
        EXPECT_TRUE(QFileInfo::exists(QDir(HelpLocation()).filePath(QString::number(topic) + QStringLiteral(".html"))))
            << topic;
    EXPECT_TRUE(QFileInfo::exists(QDir(HelpLocation()).filePath(QStringLiteral("index.html"))));
    EXPECT_TRUE(QFileInfo::exists(ReadmeLocation()));
}

TEST_F(SmallWindows, F1OpensTheTopicOfTheListAndOfADialog) {
    MDIMain* frame = StartWithAScenario();
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame->StatMain(), nullptr);
    Urls urls;
    QApplication::setActiveWindow(frame);
    QTest::keyClick(frame->StatMain()->lvwScenarios(), Qt::Key_F1);
    ModalScript answer;
    answer.Then(QStringLiteral("options"), Is<frmOptions>, [](QWidget* w) {
        QTest::keyClick(qobject_cast<frmOptions*>(w)->txtDefaultPrefix(), Qt::Key_F1);
        qobject_cast<QDialog*>(w)->reject();
    });
    frame->mnuToolsItems_Click(10);
    EXPECT_TRUE(answer.Done());
    ASSERT_EQ(urls.urls.size(), 2u);
    EXPECT_EQ(urls.urls[0].toString(), Page(QStringLiteral("300.html")).toString());
    EXPECT_EQ(urls.urls[1].toString(), Page(QStringLiteral("330.html")).toString());
}

TEST_F(SmallWindows, HelpMenuAndTheErrorDialogOpenTheContentsTheErrorPageAndTheReadme) {
    MDIMain* frame = StartWithoutDatabase();
    ASSERT_NE(frame, nullptr);
    Urls urls;
    frame->mnuHelpItems_Click(10);
    ModalScript answer;
    answer.Then(QStringLiteral("error"), Is<frmErrorHandler>, [](QWidget* w) {
        w->findChild<QPushButton*>(QStringLiteral("cmdHelp"))->click();
        w->findChild<QPushButton*>(QStringLiteral("cmdReadme"))->click();
        qobject_cast<frmErrorHandler*>(w)->ActionButton(0)->click();
    });
    frame->mnuHelpItems_Click(999);
    EXPECT_TRUE(answer.Done());
    EXPECT_EQ(urls.urls, (std::vector<QUrl>{Page(QStringLiteral("index.html")), Page(QStringLiteral("1.html")),
                                            QUrl::fromLocalFile(ReadmeLocation())}));
}

TEST_F(SmallWindows, AMissingHelpPageIsSaidSoAndNothingIsOpened) {
    MDIMain* frame = StartWithoutDatabase();
    ASSERT_NE(frame, nullptr);
    // A help folder that has the contents but not the about box's page.
    const QString folder = QString::fromStdString(File("thin-help"));
    QDir().mkpath(folder);
    QFile index(folder + QStringLiteral("/index.html"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.close();
    const std::string saved = platform::App::HelpFile();
    platform::App::SetHelpFile(folder.toStdString());
    Urls urls;
    vtest::HookRecorder boxes;
    ModalScript answer;
    answer.Then(QStringLiteral("about"), Is<frmAbout>, [](QWidget* w) {
        w->findChild<QPushButton*>(QStringLiteral("cmdHelp"))->click();
        qobject_cast<QDialog*>(w)->reject();
    });
    frame->mnuHelpItems_Click(100);
    platform::App::SetHelpFile(saved);
    EXPECT_TRUE(answer.Done());
    EXPECT_TRUE(urls.urls.empty());
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].prompt,
              "The help page for topic 340 cannot be found:\n" + folder.toStdString() + "/340.html");
}

TEST_F(SmallWindows, WithoutABrowserF1AndHelpSaySoNamingThePagesFile) {
    MDIMain* frame = StartWithAScenario();
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame->StatMain(), nullptr);
    // Nothing on this computer shows a web page.
    Urls urls(false);
    vtest::HookRecorder boxes;
    QApplication::setActiveWindow(frame);
    struct Row {
        std::function<void()> ask;
        const char* page;
        const char* why;
    } rows[] = {
        {[&] { QTest::keyClick(frame->StatMain()->lvwScenarios(), Qt::Key_F1); }, "300.html", "F1 in the list"},
        {[&] { frame->StatMain()->cmdAction_Click(5); }, "300.html", "the list's Help button"},
        {[&] { frame->mnuHelpItems_Click(10); }, "index.html", "Help, Contents and Index"},
        {[&] { frame->tlbMain_ButtonClick(QStringLiteral("btnHelp")); }, "300.html", "the toolbar's Help"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const std::size_t before = boxes.messages.size();
        r.ask();
        Pump();
        ASSERT_EQ(boxes.messages.size(), before + 1) << "the failure went unsaid";
        const vtest::ShownMessage& m = boxes.messages.back();
        EXPECT_NE(m.prompt.find(QDir::toNativeSeparators(Page(QString::fromLatin1(r.page)).toLocalFile()).toStdString()),
                  std::string::npos)
            << m.prompt;
        EXPECT_EQ(m.title, "Varnello");
        EXPECT_EQ(m.buttons & vbIconMask, vbExclamation);
    }
    EXPECT_EQ(urls.urls.size(), 4u);
}

} // namespace
