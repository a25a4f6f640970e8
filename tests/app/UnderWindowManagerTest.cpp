// The frame as a window manager frames it, on a real X server: its position
// and size survive restarts unchanged and come back on the screen; pictures
// of a long run's progress window, a result grid and cascaded windows.
// Run by CTest as app_window_manager_tests (Xvfb and openbox, started by
// run-under-window-manager.sh); skipped on other platforms.
// VARNELLO_SCREENSHOT_DIR keeps the pictures as PNG files.
#include "AppTestSupport.h"
#include "SlowRun.h"

#include "app/CScenarioRun.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/frmStatus.h"
#include "app/modApplication.h"
#include "engine/Varnello.h"
#include "util/CProgramSettings.h"
#include "util/CWinPos.h"
#include "util/modStatCommon.h"
#include "util/ui/QWidgetFormGeometry.h"
#include "errors/ui/frmMsgBox.h"
#include "scenario/AppDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QApplication>
#include <QCloseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>


using namespace apptest;

namespace {

bool HaveWindowManager() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           !qEnvironmentVariableIsEmpty("VARNELLO_WINDOW_MANAGER");
}

// Waits until the window manager has put its frame round the window.
bool WaitFramed(QWidget* w) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        Pump(20);
        if (w->isVisible() && w->frameGeometry() != w->geometry())
            break;
    }
    Pump(300); // and has placed it
    return w->frameGeometry() != w->geometry();
}

void KeepPicture(const QString& name) {
    const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(dir).filePath(name));
}

class UnderWindowManager : public AppFixture {
protected:
    void SetUp() override {
        if (!HaveWindowManager())
            GTEST_SKIP() << "needs an X server with a window manager; CTest runs these as app_window_manager_tests";
        AppFixture::SetUp();
    }
    void TearDown() override {
        CScenarioRun::SetEngineSetup({});
        if (HaveWindowManager())
            AppFixture::TearDown();
    }
    // The frame's stored position, and where it goes back to from maximized
    // (nothing stored when empty).
    void SaveFramePosition(const std::string& text, const std::string& normal = {}) {
        CProgramSettings positions;
        positions.SetRegBase("ZUR");
        positions.SetMainBranch("SOFTWARE");
        positions.SetProgram(GetRegistryProgramKey());
        positions.SetSection("Form Position");
        positions.WriteEntry("MDIMain", text);
        positions.WriteEntry(std::string("MDIMain") + CWinPos::NormalSuffix, normal);
    }
    // The scores file opened at start, the frame saved in the middle of the
    // screen.
    std::string OpenScoresInTheMiddle(ModalScript& script) {
        SaveFramePosition("1500 1500 13500 10500 0");
        return OpenScores(script);
    }
};

TEST_F(UnderWindowManager, FiveExitRestartCyclesLeaveTheFrameWhereItWas) {
    QList<QRect> frames;
    QStringList saved;
    for (int cycle = 0; cycle <= 5; ++cycle) {
        ModalScript script;
        script.CancelOpenDatabase();
        MDIMain* frame = Start();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(WaitFramed(frame)) << "cycle " << cycle;
        if (cycle == 0) {
            // The user puts the frame somewhere of his own.
            frame->setGeometry(140, 110, 720, 520);
            Pump(300);
        }
        frames << frame->frameGeometry();
        ExitApplication(frame);
        Pump(100);
        saved << QString::fromStdString(RegistryValue("Form Position", "MDIMain"));
    }
    for (int cycle = 1; cycle <= 5; ++cycle) {
        EXPECT_EQ(frames[cycle], frames[0]) << "cycle " << cycle;
        EXPECT_EQ(saved[cycle], saved[0]) << "cycle " << cycle;
    }
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(frames.back()));
}

TEST_F(UnderWindowManager, AFrameSavedOffTheScreenComesBackOnIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        const char* saved;  // Left Top Width Height State, twips
        const char* normal; // where a frame saved maximized goes back to
        const char* why;
    } rows[] = {
        {"-3000 -1500 9525 6825 0", "", "above and left of the screen"},
        {"60000 45000 9525 6825 0", "", "past the right and bottom edges"},
        {"0 0 9525 6825 0", "", "at the corner: the title bar stays on the screen"},
        {"1500 1500 30000 30000 0", "", "larger than the screen"},
        {"18000 14000 9525 6825 0", "", "near the bottom right corner: narrowed below the least size the frame takes"},
        {"-1 -1 -1 -1 2", "18000 14000 9525 6825", "maximized, going back near the bottom right corner"},
    };
    for (const Row& r : rows) {
        SaveFramePosition(r.saved, r.normal);
        ModalScript script;
        script.CancelOpenDatabase();
        MDIMain* frame = Start();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(WaitFramed(frame)) << r.why;
        for (const bool restored : {false, true}) {
            if (restored && !frame->isMaximized())
                break;
            if (restored) {
                frame->showNormal();
                Pump(800);
            }
            const QRect f = frame->frameGeometry();
            EXPECT_TRUE(screen.contains(f)) << r.why << (restored ? ", restored" : "") << ": " << f.x() << ","
                                            << f.y() << " " << f.width() << "x" << f.height() << " on "
                                            << screen.width() << "x" << screen.height();
        }
        ExitApplication(frame);
        Pump(100);
    }
}

TEST_F(UnderWindowManager, PicturesOfALongRunAResultGridAndCascadedWindows) {
    ModalScript script;
    const std::string path = OpenScoresInTheMiddle(script);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitFramed(frame));
    frmStatMain* list = frame->StatMain();
    ASSERT_NE(list, nullptr);
    // A run that counts records for two seconds; a picture half way.
    GiveRunsASlowDescribe(2000);
    QString during;
    QTimer::singleShot(1200, [&] {
        if (frmStatus* status = list->StatusWindow())
            during = status->StatusText();
        KeepPicture(QStringLiteral("long-run-progress.png"));
    });
    ASSERT_TRUE(list->RunCurrentScenario(0)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(during.startsWith(QStringLiteral("Counting record: "))) << during.toStdString();
    Pump(300);
    KeepPicture(QStringLiteral("result-grid.png"));
    ASSERT_NE(frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table")), nullptr);
    frame->mnuWindowItems_Click(20);
    Pump(300);
    KeepPicture(QStringLiteral("cascaded-windows.png"));
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        EXPECT_TRUE(frame->MdiArea()->viewport()->rect().contains(sub->geometry())) << sub->windowTitle().toStdString();
}

// Closes the active window as a user does, through the window manager
// (Alt+F4 sent with xdotool where it is installed; else the close request
// the window manager would send).
void CloseThroughTheWindowManager(QWidget* window) {
    window->activateWindow();
    Pump(200);
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (!xdotool.isEmpty() && QApplication::activeWindow() == window) {
        QProcess::startDetached(xdotool, {QStringLiteral("key"), QStringLiteral("alt+F4")});
        return;
    }
    QCloseEvent close;
    QApplication::sendEvent(window, &close);
}

// A message form met by the script: pictured, then answered.
ModalScript::Act PictureAndAnswer(const QString& picture, int response, QString* text = nullptr) {
    return [picture, response, text](QWidget* w) {
        Pump(300);
        KeepPicture(picture);
        auto* box = qobject_cast<frmMsgBox*>(w);
        if (text)
            *text = box->Message();
        box->ResponseButton(response)->click();
    };
}

bool IsMessage(QWidget* w) {
    return qobject_cast<frmMsgBox*>(w) != nullptr;
}

TEST_F(UnderWindowManager, ALongRunStoppedThroughItsProgressWindowsCloseBoxKeepsThePreviousOutput) {
    ModalScript script;
    const std::string path = OpenScoresInTheMiddle(script);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitFramed(frame));
    frmStatMain* list = frame->StatMain();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->RunCurrentScenario(0));
    Pump(300);
    gdbCurrent->Execute("INSERT INTO Scores (Class, Score) VALUES ('B', 40)", dao::dbFailOnError);

    // Long enough that the window manager frames the progress window well
    // before the run could end by itself, even on a heavily loaded machine.
    GiveRunsASlowDescribe(60000);
    QString question;
    QPoint questionMiddle, progressMiddle;
    bool closeBox = false;
    script.Then(QStringLiteral("overwrite"), IsMessage, PictureAndAnswer(QStringLiteral("message-overwrite.png"), 6))
        .Then(QStringLiteral("stop?"), IsMessage, [&](QWidget* w) {
            questionMiddle = w->frameGeometry().center();
            PictureAndAnswer(QStringLiteral("message-stop-question.png"), 6, &question)(w);
        });
    // A key press the window manager took before it had given the progress
    // window the focus closes nothing: as a user would, press it again while
    // the window is still there and no question is asked.
    QTimer pressAgain;
    pressAgain.setInterval(3000);
    QObject::connect(&pressAgain, &QTimer::timeout, [&] {
        frmStatus* shown = list->StatusWindow();
        if (!question.isEmpty() || !shown || !shown->isVisible()) {
            pressAgain.stop();
            return;
        }
        if (QApplication::activeModalWidget() == nullptr || QApplication::activeModalWidget() == shown)
            CloseThroughTheWindowManager(shown);
    });
    // Once the window manager has framed the progress window (the overwrite
    // question before it may take a while on a loaded machine), and a moment
    // later, as a user would, its close box.
    QTimer framed;
    framed.setInterval(100);
    QObject::connect(&framed, &QTimer::timeout, [&] {
        frmStatus* status = list->StatusWindow();
        if (!status || !status->isVisible() || status->frameGeometry() == status->geometry())
            return;
        framed.stop();
        QTimer::singleShot(500, [&] {
            frmStatus* shown = list->StatusWindow();
            if (!shown)
                return;
            closeBox = shown->windowFlags().testFlag(Qt::WindowCloseButtonHint);
            progressMiddle = shown->frameGeometry().center();
            KeepPicture(QStringLiteral("long-run-progress.png"));
            CloseThroughTheWindowManager(shown);
            pressAgain.start();
        });
    });
    framed.start();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(list->RunCurrentScenario(0));
    EXPECT_LT(clock.elapsed(), 10000);
    Pump(300);
    KeepPicture(QStringLiteral("long-run-stopped.png"));
    EXPECT_TRUE(script.Done()) << script.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(closeBox);
    EXPECT_EQ(question, QString::fromLatin1(frmStatMain::StopQuestion));
    // The question stands on the progress window it is about.
    EXPECT_LE((questionMiddle - progressMiddle).manhattanLength(), 60);
    EXPECT_EQ(FirstColumn(path, "SELECT Sum FROM outDescribe ORDER BY Class"), (std::vector<std::string>{"22", "60"}));
    CScenarioRun::SetEngineSetup({});

    // The other messages of the list, pictured: a failed run, the delete question.
    gdbCurrent->TableDefs().Delete("Scores");
    script.Then(QStringLiteral("failed"), IsMessage, PictureAndAnswer(QStringLiteral("message-failed-run.png"), 1));
    list->cmdAction_Click(4);
    script.Then(QStringLiteral("delete?"), IsMessage, PictureAndAnswer(QStringLiteral("message-delete.png"), 7));
    list->cmdAction_Click(3);
    EXPECT_TRUE(script.Done());
}

TEST_F(UnderWindowManager, FrameAndListMaximizedAtExitComeBackMaximizedAndRestoreToTheirOwnSizes) {
    ModalScript script;
    const std::string path = OpenScoresInTheMiddle(script);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitFramed(frame));
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(frame->StatMain()->parentWidget());
    sub->setGeometry(20, 10, 640, 400);
    Pump(300);
    const QRect frameNormal = frame->geometry();
    const QRect listNormal = sub->geometry();
    frame->showMaximized();
    sub->showMaximized();
    Pump(800);
    ExitApplication(frame);
    Pump(300);

    script.OpenDatabase(path);
    frame = Start();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitFramed(frame));
    sub = qobject_cast<QMdiSubWindow*>(frame->StatMain()->parentWidget());
    Pump(500);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_TRUE(sub->isMaximized());
    // What the next exit saves, while it is still maximized.
    EXPECT_EQ(QWidgetFormGeometry::NormalGeometryOf(sub), listNormal);
    sub->showNormal();
    frame->showNormal();
    Pump(800);
    KeepPicture(QStringLiteral("list-after-restore.png"));
    EXPECT_EQ(sub->geometry(), listNormal);
    EXPECT_EQ(frame->geometry().size(), frameNormal.size());
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(frame->StatMain()->rect().contains(frame->StatMain()->cmdAction(i)->geometry())) << i;
}

} // namespace
