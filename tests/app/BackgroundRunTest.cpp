// A run in the background: the progress window shows the engine's texts while
// a long run goes on, the windows keep painting and take no input, and count
// texts are merged so that a long run does not flood the window thread.
#include "AppTestSupport.h"
#include "SlowRun.h"

#include "app/CScenarioRun.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatMain.h"
#include "app/frmStatus.h"
#include "errors/ui/frmMsgBox.h"
#include "scenario/AppDatabase.h"
#include "engine/Varnello.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QTest>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>


using namespace apptest;

namespace {

TEST(ProgressTexts, OnlyATextWithAnotherCountReplacesTheOneWaiting) {
    struct Row {
        const char* waiting;
        const char* next;
        bool replaces;
        const char* why;
    } rows[] = {
        {"Analyzing record: 5", "Analyzing record: 10", true, "the same text, a newer count"},
        {"Analyzing record: 95", "Analyzing record: 100", true, "the count grows by a digit"},
        {"Group 1 of 3: 10", "Group 2 of 3: 15", true, "two numbers change"},
        {"Analyzing records...", "Analyzing record: 5", false, "another text"},
        {"Retrieving and sorting data...", "Analyzing records...", false, "two phases, both shown"},
        {"Analyzing record: 5", "Analyzing record: 5 of 7", false, "more text after the number"},
        {"Step", "Step", false, "no number: a repeated phase is shown again"},
        {"Field X1: 5", "Field XY: 5", false, "a digit against a letter"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CScenarioRun::SameTextOtherCount(r.waiting, r.next), r.replaces) << r.why;
}

// The application started over scores.db, its scenario list shown.
class BackgroundRun : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = OpenScores(script);
        frame = Start();
        ASSERT_FALSE(frame.isNull());
        list = frame->StatMain();
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        CScenarioRun::SetEngineSetup({});
        AppFixture::TearDown();
    }
    ModalScript script;
    std::string path;
    QPointer<MDIMain> frame;
    frmStatMain* list = nullptr;
};

TEST_F(BackgroundRun, ProgressTextUpdatesWhileARunOfTwoSecondsGoesOn) {
    GiveRunsASlowDescribe(2200);

    // What the window thread sees while the run goes on, every 100 ms.
    QStringList shown;
    int ticks = 0;
    bool closeRefused = true;
    bool closeAsked = false;
    bool runningSeen = false;
    // Closing the frame during the run asks whether to stop it: No.
    QString question;
    script.Then(
        QStringLiteral("stop?"), [](QWidget* w) { return qobject_cast<frmMsgBox*>(w) != nullptr; },
        [&](QWidget* w) {
            auto* box = qobject_cast<frmMsgBox*>(w);
            question = box->Message();
            box->ResponseButton(frmMsgBox::vbNo)->click();
        });
    QStringList delivered;
    QObject::connect(list, &frmStatMain::progressText, [&](const QString& text) { delivered << text; });
    QTimer sampler;
    sampler.setInterval(100);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        frmStatus* status = list->StatusWindow();
        if (!status)
            return;
        ++ticks;
        runningSeen = runningSeen || CScenarioRun::Running();
        if (shown.isEmpty() || shown.back() != status->StatusText())
            shown << status->StatusText();
        // The frame takes no input during the run; a close request asks
        // first, and No leaves it open.
        if (!closeAsked) {
            closeAsked = true;
            QCloseEvent close;
            QApplication::sendEvent(frame, &close);
        }
        closeRefused = closeRefused && frame->isVisible();
    });
    sampler.start();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(list->RunCurrentScenario(0)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    sampler.stop();

    EXPECT_GE(clock.elapsed(), 2200);
    // About 22 samples when the machine is idle. A window thread blocked by
    // the run sees none at all; a heavily loaded machine (tests in parallel)
    // delays the timer, so a few are enough to tell the two apart.
    EXPECT_GE(ticks, 5);
    EXPECT_TRUE(runningSeen);
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(question, QString::fromLatin1(frmStatMain::StopQuestion));
    EXPECT_FALSE(CScenarioRun::Running());
    int counts = 0;
    long last = 0;
    for (const QString& text : shown) {
        if (!text.startsWith(QStringLiteral("Counting record: ")))
            continue;
        const long n = text.mid(17).toLong();
        EXPECT_GT(n, last) << text.toStdString();
        last = n;
        ++counts;
    }
    EXPECT_GE(counts, 3) << shown.join(QLatin1Char('|')).toStdString();
    // The phase texts are never merged away.
    EXPECT_TRUE(delivered.contains(QStringLiteral("Analyzing records...")));
    // Of the many counts (about ten a millisecond) a newer one is handed to
    // the window thread at most every 25 ms (20 leaves room for the timer's
    // slack and for the count a phase text brings along).
    const auto deliveredCounts = std::count_if(delivered.begin(), delivered.end(), [](const QString& text) {
        return text.startsWith(QStringLiteral("Counting record: "));
    });
    EXPECT_LE(deliveredCounts, clock.elapsed() / 20);
    EXPECT_TRUE(frame->isVisible());
    Pump();
    EXPECT_EQ(list->StatusWindow(), nullptr);
}

// The Describe sums of outDescribe, class A then B.
std::vector<std::string> Sums(const std::string& path) {
    return FirstColumn(path, "SELECT Sum FROM outDescribe ORDER BY Class");
}

TEST_F(BackgroundRun, ALongRunIsStoppedFromItsProgressWindowAndTheOutputOfTheRunBeforeStays) {
    ASSERT_TRUE(list->RunCurrentScenario(0)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(Sums(path), (std::vector<std::string>{"22", "60"}));
    // One more B: a run that went to its end would write B's sum as 100.
    gdbCurrent->Execute("INSERT INTO Scores (Class, Score) VALUES ('B', 40)", dao::dbFailOnError);

    using Ask = std::function<void(frmStatus*)>;
    struct Row {
        Ask ask;
        int answer; // to "Stop the analysis?"
        int runMs;  // how long the run counts records
        int answerAfterMs; // how long the question stays open
        bool ran;
        std::vector<std::string> sums;
        const char* reason;
    } rows[] = {
        {[](frmStatus* s) {
             QCloseEvent close;
             QApplication::sendEvent(s, &close);
         },
         frmMsgBox::vbYes, 20000, 0, false, {"22", "60"}, "the close box, Yes: stopped, the previous output stays"},
        {[](frmStatus* s) { QTest::keyClick(s, Qt::Key_Escape); }, frmMsgBox::vbYes, 20000, 0, false, {"22", "60"},
         "Esc, Yes"},
        {[](frmStatus* s) { QTest::keyClick(s, Qt::Key_Escape); }, frmMsgBox::vbYes, 1000, 2000, false, {"22", "60"},
         "Esc, the run reaches its end while the question is open, then Yes: still stopped"},
        {[](frmStatus* s) { QTest::keyClick(s, Qt::Key_Escape); }, frmMsgBox::vbNo, 1000, 2000, true, {"22", "100"},
         "Esc, the run reaches its end while the question is open, then No: its output is kept"},
        {[](frmStatus* s) { QTest::keyClick(s, Qt::Key_Escape); }, frmMsgBox::vbNo, 1500, 0, true, {"22", "100"},
         "Esc, No: the run goes on to its end"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.reason);
        GiveRunsASlowDescribe(r.runMs);
        const qsizetype before = script.Seen().size();
        QString question, title, focused;
        script.Message(frmMsgBox::vbYes) // overwrite outDescribe
            .Then(QStringLiteral("stop?"), [](QWidget* w) { return qobject_cast<frmMsgBox*>(w) != nullptr; },
                  [&](QWidget* w) {
                      auto* box = qobject_cast<frmMsgBox*>(w);
                      question = box->Message();
                      title = box->windowTitle();
                      focused = box->focusWidget() ? box->focusWidget()->objectName() : QString();
                      QPointer<QPushButton> button = box->ResponseButton(r.answer);
                      QTimer::singleShot(r.answerAfterMs, [button] {
                          if (button)
                              button->click();
                      });
                  });
        QTimer::singleShot(400, [&] {
            if (frmStatus* status = list->StatusWindow())
                r.ask(status);
        });
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(list->RunCurrentScenario(0), r.ran);
        if (!r.ran) {
            EXPECT_LT(clock.elapsed(), 10000) << "stopped at the next record, not at the end";
        }
        Pump();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(question, QString::fromLatin1(frmStatMain::StopQuestion));
        EXPECT_EQ(title, QStringLiteral("Varnello"));
        EXPECT_EQ(focused, QStringLiteral("cmdResponse7")) << "No is the default: Esc and Enter must not stop";
        // The overwrite question and the stop question: a stopped run needs no
        // further word.
        EXPECT_EQ(script.Seen().size() - before, 2u) << script.Messages().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(Sums(path), r.sums);
        EXPECT_EQ(list->StatusWindow(), nullptr);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_FALSE(CScenarioRun::Running());
    }
}

TEST_F(BackgroundRun, EnterPressedTwiceBeforeTheListSawTheFirstRunsTheScenarioOnceNotASecondTimeInsideTheFirst) {
    GiveRunsASlowDescribe(800);
    auto* lvw = list->findChild<QTreeWidget*>(QStringLiteral("lvwScenarios"));
    ASSERT_NE(lvw, nullptr);
    lvw->setCurrentItem(lvw->topLevelItem(0));
    // Every key reaches the list before the first one's run begins, as when
    // the window thread was busy for a moment: the later ones are too late
    // for a second run, the Delete question or the popup menu.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Menu})
        QTest::keyClick(lvw, key);
    QWidget* popup = nullptr;
    // Hidden, not closed: the run holds back a request to close it.
    OnPopup(400, [&](QWidget* shown) {
        popup = shown;
        if (shown)
            shown->hide();
    });
    QElapsedTimer wait;
    wait.start();
    do
        Pump(50);
    while ((CScenarioRun::Running() || list->StatusWindow()) && wait.elapsed() < 10000);
    Pump(200);
    EXPECT_TRUE(script.Messages().isEmpty()) << script.MessagesText();
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
    // Each class once, with its own sum (two runs at once wrote each twice).
    EXPECT_EQ(Sums(path), (std::vector<std::string>{"22", "60"}));
    EXPECT_EQ(ShownGrids(frame).size(), 1);
    EXPECT_EQ(popup, nullptr);
    EXPECT_EQ(list->StatusWindow(), nullptr);
    EXPECT_FALSE(CScenarioRun::Running());
}

TEST_F(BackgroundRun, ClosingTheFrameDuringALongRunAsksStopsTheRunAndThenCloses) {
    ASSERT_TRUE(list->RunCurrentScenario(0));
    gdbCurrent->Execute("INSERT INTO Scores (Class, Score) VALUES ('B', 40)", dao::dbFailOnError);
    GiveRunsASlowDescribe(20000);
    script.Message(frmMsgBox::vbYes).Message(frmMsgBox::vbYes); // overwrite; stop
    QTimer::singleShot(400, [&] {
        QCloseEvent close;
        QApplication::sendEvent(frame, &close);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(list->RunCurrentScenario(0));
    EXPECT_LT(clock.elapsed(), 10000);
    QElapsedTimer wait;
    wait.start();
    while (frame && wait.elapsed() < 5000)
        Pump(20);
    EXPECT_TRUE(frame.isNull()) << "the frame stays open after the stopped run";
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().size(), 2) << script.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(script.Messages().back(), QString::fromLatin1(frmStatMain::StopQuestion));
    EXPECT_EQ(Sums(path), (std::vector<std::string>{"22", "60"}));
}

TEST_F(BackgroundRun, TheFramesKeysDuringARunOpenNoDialogThatWouldCloseTheDatabaseUnderIt) {
    // Ctrl+O opened the open-database dialog while the engine read the
    // database, and opening another one there closed it under the run
    // ("Object invalid or no longer set.").
    GiveRunsASlowDescribe(1500);
    const std::size_t before = script.Seen().size();
    QTimer::singleShot(400, [&] {
        frame->activateWindow();
        QApplication::setActiveWindow(frame);
        QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    });
    EXPECT_TRUE(list->RunCurrentScenario(0)) << script.MessagesText();
    Pump(200);
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
    EXPECT_EQ(script.Seen().size(), before) << script.MessagesText();
    ASSERT_NE(gdbCurrent, nullptr);
    EXPECT_EQ(gdbCurrent->Name(), path);
    EXPECT_EQ(Sums(path), (std::vector<std::string>{"22", "60"}));
}

} // namespace
