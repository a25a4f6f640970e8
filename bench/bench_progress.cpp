// What showing progress costs a run, measured in the same run: a grouped
// "Describe" (every statistic except percentiles and the mode; 1,000,000
// records in 10 groups, two fields)
//
//   plain:    without progress, on the calling thread (the baseline);
//   silent:   with progress, each text to a listener that does nothing
//             (goal: silent / plain <= 1.02);
//   desktop:  as the application runs it: CScenarioRun runs the engine on
//             its worker thread and hands the texts to the window thread,
//             whose event loop prints them into a shown progress window
//             (frmStatus) (goal: desktop / plain <= 1.02);
//   worker:   the desktop's worker thread and event loop without progress,
//             to tell the cost of the texts from that of the thread;
//   calls:    the same four runs with the analysis replaced by its progress
//             calls alone (one a record, as the grouped walk makes them):
//             the difference a listener makes is the cost of the texts
//             without the noise of the analysis, shown as a share of the
//             plain run.
//
// Usage: bench_progress [records [repetitions]]   (default 1000000 records,
// best of 5 runs each). The kinds take turns at going first, so that a slow
// phase of a loaded machine does not fall on one kind only. Without a
// display the windows are drawn offscreen.
#include "bench/BenchSupport.h"

#include "app/CScenarioRun.h"
#include "app/frmStatus.h"
#include "engine/Varnello.h"
#include "engine/VarnelloCore.h"

#include <QApplication>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

void makeData(Database& db, long records) {
    char grp[16];
    Random random;
    WriteDataTable(db, {{"Grp", dbText, 20}, {"X1", dbDouble}, {"X2", dbDouble}}, records,
                   [&](long i, const std::vector<FieldPtr>& f) {
                       std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
                       f[0]->SetValue(grp);
                       // Values with two decimals around a large mean, many of them repeated.
                       f[1]->SetValue(1000000.0 + static_cast<double>(random.Next() % 100000) / 100.0);
                       f[2]->SetValue(static_cast<double>(random.Next() % 5000) / 10.0);
                   });
}

// The grouped "Describe" of bench_describe.
std::int32_t storeDescribe(Database& db) {
    ScenarioColumnValues options = {
        {"Range", true},           {"VarStd", true},           {"VarNRadio", "N-1"},
        {"Sum", true},             {"Mean", true},             {"Skew", true},
        {"Mode", false},           {"Percentile", false},      {"CI", true},
        {"CITypeRadio", "t-Test"}, {"CI95", true},             {"CIUser", std::int16_t(90)},
        {"TTestMean", true},       {"TTestValue", 1000.0},     {"FreqN", true},
        {"FreqP", true},           {"InterV", std::int16_t(10)}, {"FreqGroupRadio", "Default"}};
    return StoreScenario(db, {"P", "Describe", "OutDescribe", "", options, {{"Grp", "G"}, {"X1", "X"}, {"X2", "X"}}});
}

class Silent : public IVarnelloEvents {
public:
    long texts = 0;
    void StatStatus(std::string&) override { ++texts; }
};

// The scenario list's listener: each text the run delivers is printed into
// the progress window.
class Window : public IVarnelloEvents {
public:
    explicit Window(frmStatus& status) : m_status(status) {}
    void StatStatus(std::string& Msg) override { m_status.PrintStatus(QString::fromStdString(Msg)); }

private:
    frmStatus& m_status;
};

// The analysis replaced by the progress calls of a walk over `records` records.
void onlyTheCalls(Varnello& engine, long records) {
    CoreOf(engine).ReplaceAnalysis("Describe", [records](AnalysisSettings&, RunContext& e) {
        for (long r = 1; r <= records; ++r)
            e.Quorb_Msg(r, false, "");
        e.Quorb_Msg(records, true, "");
        return std::string();
    });
}

void failed(std::int32_t id, const std::string& why) {
    std::fprintf(stderr, "scenario %d failed: %s\n", id, why.c_str());
    std::exit(1);
}

// A run on this thread, with progress to `listener` when there is one.
double runHere(const DatabasePtr& db, std::int32_t id, IVarnelloEvents* listener, long onlyCalls = 0) {
    Varnello engine;
    if (onlyCalls > 0) onlyTheCalls(engine, onlyCalls);
    engine.SetScenarioDatabase(db);
    engine.SetEvents(listener);
    Varnello::RunScenarioArgs args;
    args.ShowProgress = listener != nullptr;
    const auto t0 = Clock::now();
    const bool ok = engine.RunScenario(id, args);
    const double t = Seconds(t0, Clock::now());
    if (!ok) failed(id, engine.ErrorInfo());
    return t;
}

struct Shown {
    long texts = 0;
    long repaints = 0;
};

// A run as the application does it: the progress window shown, the run on
// the worker thread, the event loop of this (the window) thread meanwhile.
double runDesktop(const DatabasePtr& db, std::int32_t id, bool progress, Shown& shown, long onlyCalls = 0) {
    if (onlyCalls > 0) CScenarioRun::SetEngineSetup([onlyCalls](Varnello& engine) { onlyTheCalls(engine, onlyCalls); });
    else CScenarioRun::SetEngineSetup({});
    QPointer<frmStatus> status = new frmStatus();
    status->show();
    status->repaint();
    Window listener(*status);
    Varnello::RunScenarioArgs args;
    args.ShowProgress = progress;
    CScenarioRun run(db, id, args, &listener);
    const auto t0 = Clock::now();
    const CScenarioRun::Outcome outcome = run.Exec();
    const double t = Seconds(t0, Clock::now());
    if (!outcome.ran || outcome.raised) failed(id, outcome.raised ? outcome.reason : outcome.errorInfo);
    shown.texts = std::max(shown.texts, static_cast<long>(status->MessageCount()));
    shown.repaints = std::max(shown.repaints, static_cast<long>(status->RepaintCount()));
    status->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    Args args;
    args.Repetitions = 5;
    if (argc > 1) args.Records = std::atol(argv[1]);
    if (argc > 2) args.Repetitions = std::max(1, std::atoi(argv[2]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    ScratchDir dir("progress");
    std::int32_t id;
    {
        DatabasePtr db = CreateScenarioDatabase(dir.File("bench.db"));
        makeData(*db, args.Records);
        id = storeDescribe(*db);
        db->Close();
    }
    DatabasePtr db = DBEngine().OpenDatabase(dir.File("bench.db"));

    enum Kind { Plain, SilentListener, Desktop, Worker, Kinds };
    const char* names[Kinds] = {"plain", "silent", "desktop", "worker"};
    long silentTexts = 0;
    Shown shown, unused;
    // The best time of each kind over the repetitions; with `onlyCalls` the
    // analysis is replaced by that many progress calls.
    auto measure = [&](const char* title, long onlyCalls) {
        std::array<double, Kinds> best;
        best.fill(1e300);
        for (int rep = 0; rep < args.Repetitions; ++rep) {
            std::array<double, Kinds> t{};
            for (int k = 0; k < Kinds; ++k) {
                const int kind = (rep + k) % Kinds;
                switch (kind) {
                case Plain:
                    t[Plain] = runHere(db, id, nullptr, onlyCalls);
                    break;
                case SilentListener: {
                    Silent listener;
                    t[SilentListener] = runHere(db, id, &listener, onlyCalls);
                    if (onlyCalls == 0) silentTexts = listener.texts;
                    break;
                }
                case Desktop:
                    t[Desktop] = runDesktop(db, id, true, onlyCalls == 0 ? shown : unused, onlyCalls);
                    break;
                case Worker:
                    t[Worker] = runDesktop(db, id, false, unused, onlyCalls);
                    break;
                }
            }
            std::printf("%s %d:", title, rep + 1);
            for (int k = 0; k < Kinds; ++k) {
                std::printf("  %s %.4f s", names[k], t[k]);
                best[k] = std::min(best[k], t[k]);
            }
            std::printf("\n");
        }
        return best;
    };
    const std::array<double, Kinds> best = measure("run", 0);
    const std::array<double, Kinds> calls = measure("calls", args.Records);

    const double base = best[Plain];
    auto line = [&](const char* what, Kind k) {
        std::printf("  %-38s %7.3f s  ratio %.3f", what, best[k], best[k] / base);
    };
    std::printf("describe, grouped, %ld records, best of %d:\n", args.Records, args.Repetitions);
    std::printf("  %-38s %7.3f s\n", "without progress", base);
    line("progress to a silent listener", SilentListener);
    std::printf("  (goal <= 1.02; %ld texts)\n", silentTexts);
    line("the desktop's progress window", Desktop);
    std::printf("  (goal <= 1.02; %ld texts shown, %ld repaints)\n", shown.texts, shown.repaints);
    line("the desktop's worker without progress", Worker);
    std::printf("\n  the desktop's progress window against its worker without progress: ratio %.3f\n",
                best[Desktop] / best[Worker]);
    std::printf("the progress calls alone (%ld), best of %d: without progress %.4f s, the desktop's worker without "
                "progress %.4f s\n",
                args.Records, args.Repetitions, calls[Plain], calls[Worker]);
    std::printf("  to a silent listener          +%.4f s  %.2f%% of the run without progress\n",
                calls[SilentListener] - calls[Plain], 100.0 * (calls[SilentListener] - calls[Plain]) / base);
    std::printf("  to the desktop's window       +%.4f s  %.2f%% of the run without progress\n",
                calls[Desktop] - calls[Worker], 100.0 * (calls[Desktop] - calls[Worker]) / base);
    db->Close();
    return 0;
}
