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
#include "engine/Varnello.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
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

class BackgroundRun : public AppFixture {
protected:
    void TearDown() override {
        CScenarioRun::SetEngineSetup({});
        AppFixture::TearDown();
    }
};

TEST_F(BackgroundRun, ProgressTextUpdatesWhileARunOfTwoSecondsGoesOn) {
    const std::string path = File("scores.db");
    CreateScoresDatabase(path, true, {DescribeScores("outDescribe")});
    ModalScript script;
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frmStatMain* list = frame->StatMain();
    ASSERT_NE(list, nullptr);
    GiveRunsASlowDescribe(2200);

    // What the window thread sees while the run goes on, every 100 ms.
    QStringList shown;
    int ticks = 0;
    bool closeRefused = true;
    bool runningSeen = false;
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
        // The frame takes no input during the run: a close request is refused.
        QCloseEvent close;
        QApplication::sendEvent(frame, &close);
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

} // namespace
