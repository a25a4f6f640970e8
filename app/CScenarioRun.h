#pragma once
// One scenario run in the background: a fresh engine runs the scenario on a
// worker thread while the window thread goes on painting the windows, so a
// long run keeps its progress window and the frame alive.
//
//     CScenarioRun run(gdbCurrent, 12, args, this);   // this: IVarnelloEvents
//     const CScenarioRun::Outcome outcome = run.Exec();
//
// Exec returns when the run has ended. Meanwhile:
// - the engine's progress texts reach the listener on the window thread, in
//   order; a text that only updates a count (the same text with other
//   numbers) replaces one still waiting to be shown, so a run that counts
//   millions of records costs the window thread no more than it can show;
// - the engine's messages and error dialog (and the beep and the screen
//   facts of an error report) are shown by the window thread, the worker
//   waiting for the answer;
// - the user's input to the application's windows is held back (mouse,
//   keys, closing), except in a dialog the run itself shows; closing a
//   window (its close box, or Esc in the progress window named with
//   SetProgressWindow) is handed to closeRequested instead, whose receiver
//   may ask the user and RequestStop;
// - nothing on the window thread may use the database given here or the
//   data layer's engine: Running() is true, and the result grids read no
//   rows until the run has ended.
#ifndef Q_MOC_RUN
#include "engine/Varnello.h"
#endif

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class CScenarioRun : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool ran = false;       // RunScenario's result
        bool raised = false;    // an error escaped RunScenario
        std::string reason;     // its description
        std::string errorInfo;  // the engine's ErrorInfo after the run
    };

    CScenarioRun(dao::DatabasePtr scenarioDatabase, long scenarioId, Varnello::RunScenarioArgs args,
                 IVarnelloEvents* listener, QObject* parent = nullptr);
    ~CScenarioRun() override;

    Outcome Exec();

    // Asks the engine to stop at the next record it counts (from the window
    // thread, while Exec runs); the run then fails with
    // Varnello::StoppedMessage and its output tables stay as they were.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested.load(); }
    // While the user is asked whether to stop, the run keeps no output: it
    // waits for the answer before it does (from the window thread).
    void HoldOutput(bool hold);

    // With ShowErrors the engine announces a failed run in a message of its
    // own ("Scenario Failed", the reason) before RunScenario returns. A
    // caller that shows the reason itself passes false: the engine's notice
    // is then not shown (its error dialog for unexpected errors still is).
    void SetShowEngineFailureMessage(bool show) { m_showEngineFailure = show; }
    static constexpr const char* EngineFailureTitle = "Pelloran";
    static constexpr const char* EngineFailureHeading = "Scenario Failed";

    // The progress window of the run: Esc in it asks to close it.
    void SetProgressWindow(QWidget* window) { m_progressWindow = window; }

    // True while a run is under way.
    static bool Running();

    // Called with each new engine on the worker thread before it runs (tests
    // give the engine a slow analysis); returns the previous one.
    using EngineSetup = std::function<void(Varnello&)>;
    static EngineSetup SetEngineSetup(EngineSetup setup);

    // Two progress texts that differ only in their digits.
    static bool SameTextOtherCount(const std::string& a, const std::string& b);

signals:
    // The user asked to close a window while the run lasts: its close box,
    // or Esc in the progress window. The request itself was held back; it
    // arrives here from the window thread's event loop.
    void closeRequested(QWidget* window);

private:
    class Events;
    void Post(const std::string& text);
    void Deliver();
    bool eventFilter(QObject* watched, QEvent* event) override;

    dao::DatabasePtr m_db;
    long m_scenarioId;
    Varnello::RunScenarioArgs m_args;
    IVarnelloEvents* m_listener;

    std::mutex m_mutex;
    std::deque<std::string> m_pending; // guarded by m_mutex
    bool m_posted = false;             // guarded by m_mutex
    // A newer count of records may be posted: set kCountInterval after the
    // window thread took the last texts, cleared with each text posted.
    std::atomic<bool> m_countDue{true};
    QTimer m_countTimer;

    std::mutex m_engineMutex;
    Varnello* m_engine = nullptr; // the worker's engine while it runs; guarded by m_engineMutex
    std::atomic<bool> m_stopRequested{false};
    bool m_holdOutput = false; // guarded by m_engineMutex
    QPointer<QWidget> m_progressWindow;
    bool m_showEngineFailure = true;
};
