#include "app/CScenarioRun.h"

#include "errors/RunTimeError.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "util/ui/CRecordsetTableModel.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace {

std::atomic<bool> gRunning{false};

// A newer count of records goes to the window thread at most this often.
constexpr std::chrono::milliseconds kCountInterval{25};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

CScenarioRun::EngineSetup& EngineSetupRef() {
    static CScenarioRun::EngineSetup setup;
    return setup;
}

bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// Runs f on the window thread and hands back its result; the calling thread
// waits meanwhile.
template <class R, class F>
R OnTheWindowThread(F&& f) {
    if (OnWindowThread())
        return f();
    R result{};
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

// The engine's own notice of a failed run: "Scenario Failed", two line
// breaks and the reason, in a critical box under the engine's title.
bool IsEngineFailureMessage(const std::string& prompt, int buttons, const std::string& title) {
    return title == CScenarioRun::EngineFailureTitle && (buttons & vbIconMask) == vbCritical &&
           prompt.rfind(CScenarioRun::EngineFailureHeading, 0) == 0;
}

// While a run lasts, the hooks through which the engine reaches the screen
// take their calls over to the window thread; afterwards the hooks are as
// they were.
class WindowThreadHooks {
public:
    explicit WindowThreadHooks(bool showEngineFailure) {
        m_box = SetMessageBoxHandler({});
        if (m_box) {
            SetMessageBoxHandler([box = m_box, showEngineFailure](const std::string& prompt, int buttons,
                                                                  const std::string& title) {
                if (!showEngineFailure && IsEngineFailureMessage(prompt, buttons, title))
                    return vbOK;
                return OnTheWindowThread<int>([&] { return box(prompt, buttons, title); });
            });
        }
        m_beep = SetBeepHandler({});
        if (m_beep) {
            SetBeepHandler([beep = m_beep] {
                (void)OnTheWindowThread<int>([&] {
                    beep();
                    return 0;
                });
            });
        }
        m_dialog = SetEngineErrorDialog({});
        if (m_dialog) {
            SetEngineErrorDialog([dialog = m_dialog](const EngineErrorDialogInfo& info) {
                return OnTheWindowThread<bool>([&] { return dialog(info); });
            });
        }
        m_screen = platform::SetScreenInfoProvider({});
        if (m_screen) {
            platform::SetScreenInfoProvider([screen = m_screen] {
                return OnTheWindowThread<platform::ScreenInfo>([&] { return screen(); });
            });
        }
    }
    ~WindowThreadHooks() {
        SetMessageBoxHandler(std::move(m_box));
        SetBeepHandler(std::move(m_beep));
        SetEngineErrorDialog(std::move(m_dialog));
        platform::SetScreenInfoProvider(std::move(m_screen));
    }
    WindowThreadHooks(const WindowThreadHooks&) = delete;
    WindowThreadHooks& operator=(const WindowThreadHooks&) = delete;

private:
    MessageBoxHandler m_box;
    BeepHandler m_beep;
    EngineErrorDialogFn m_dialog;
    platform::ScreenInfoProvider m_screen;
};

// The user's input that the run holds back.
bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

// The engine's events, raised on the worker thread.
class CScenarioRun::Events : public IVarnelloEvents {
public:
    explicit Events(CScenarioRun& run) : m_run(run) {}
    // The count of records comes with every fifth record: a newer count
    // only waits as the latest until the window thread is ready for the next
    // one (kCountInterval after it took the last texts): the window could not
    // show more, and such a call costs the engine's thread a comparison and a
    // copy. Any other text goes at once, after the count it follows.
    void StatStatus(std::string& Msg) override {
        if (!m_run.m_countDue.load(std::memory_order_relaxed) && !m_posted.empty() &&
            SameTextOtherCount(m_posted, Msg)) {
            m_waiting.assign(Msg);
            return;
        }
        if (!m_waiting.empty() && !SameTextOtherCount(m_waiting, Msg))
            m_run.Post(m_waiting);
        m_waiting.clear();
        m_run.Post(Msg);
        m_posted.assign(Msg);
    }
    // Posts the count that still waits (at the end of the run).
    void Flush() {
        if (!m_waiting.empty())
            m_run.Post(m_waiting);
        m_waiting.clear();
    }

private:
    CScenarioRun& m_run;
    std::string m_posted, m_waiting;
};

CScenarioRun::CScenarioRun(dao::DatabasePtr scenarioDatabase, long scenarioId, Varnello::RunScenarioArgs args,
                           IVarnelloEvents* listener, QObject* parent)
    : QObject(parent), m_db(std::move(scenarioDatabase)), m_scenarioId(scenarioId), m_args(std::move(args)),
      m_listener(listener) {
    m_countTimer.setSingleShot(true);
    m_countTimer.setTimerType(Qt::PreciseTimer);
    m_countTimer.setInterval(kCountInterval);
    connect(&m_countTimer, &QTimer::timeout, this, [this] { m_countDue = true; });
}

CScenarioRun::~CScenarioRun() = default;

bool CScenarioRun::Running() {
    return gRunning.load();
}

CScenarioRun::EngineSetup CScenarioRun::SetEngineSetup(EngineSetup setup) {
    EngineSetup old = std::move(EngineSetupRef());
    EngineSetupRef() = std::move(setup);
    return old;
}

bool CScenarioRun::SameTextOtherCount(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    bool digits = false;
    while (i < a.size() && j < b.size()) {
        const bool da = IsDigit(a[i]);
        const bool db = IsDigit(b[j]);
        if (da && db) {
            // One number against the other, whatever their lengths.
            while (i < a.size() && IsDigit(a[i]))
                ++i;
            while (j < b.size() && IsDigit(b[j]))
                ++j;
            digits = true;
            continue;
        }
        if (da || db || a[i] != b[j])
            return false;
        ++i;
        ++j;
    }
    return digits && i == a.size() && j == b.size();
}

void CScenarioRun::Post(const std::string& text) {
    bool post = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending.empty() && SameTextOtherCount(m_pending.back(), text))
            m_pending.back() = text;
        else
            m_pending.push_back(text);
        if (!m_posted) {
            m_posted = true;
            post = true;
        }
        m_countDue = false;
    }
    if (post)
        QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
}

void CScenarioRun::Deliver() {
    m_countTimer.start();
    std::deque<std::string> texts;
    {
        std::lock_guard lock(m_mutex);
        texts.swap(m_pending);
        m_posted = false;
    }
    for (std::string& text : texts)
        if (m_listener)
            m_listener->StatStatus(text);
}

void CScenarioRun::RequestStop() {
    std::lock_guard lock(m_engineMutex);
    m_stopRequested = true;
    if (m_engine)
        m_engine->RequestStop();
}

void CScenarioRun::HoldOutput(bool hold) {
    std::lock_guard lock(m_engineMutex);
    m_holdOutput = hold;
    if (m_engine)
        m_engine->HoldOutput(hold);
}

bool CScenarioRun::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type()) || !watched->isWidgetType())
        return false;
    // A dialog of the run (a message, the error dialog) takes its input.
    const QWidget* modal = QApplication::activeModalWidget();
    auto* widget = static_cast<QWidget*>(watched);
    if (modal && (widget == modal || modal->isAncestorOf(widget)))
        return false;
    // Closing a window, or Esc in the progress window: the receiver of
    // closeRequested decides, once this event has been dealt with.
    QPointer<QWidget> asked;
    if (event->type() == QEvent::Close && widget->isWindow()) {
        asked = widget;
    } else if (event->type() == QEvent::KeyPress && m_progressWindow &&
               (widget == m_progressWindow || m_progressWindow->isAncestorOf(widget))) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier)
            asked = m_progressWindow;
    }
    if (asked)
        QMetaObject::invokeMethod(
            this, [this, asked] {
                if (asked)
                    emit closeRequested(asked);
            },
            Qt::QueuedConnection);
    // A key held back is no shortcut either: taken as the widget's own, it
    // never reaches the frame's menu keys (Ctrl+O would open the database
    // dialog, which closes the database the run reads).
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    else
        event->ignore();
    return true;
}

CScenarioRun::Outcome CScenarioRun::Exec() {
    Outcome outcome;
    WindowThreadHooks hooks(m_showEngineFailure);
    gRunning = true;
    // The grids read no rows while the engine uses the database.
    const CRecordsetTableModel::ReadsHeld gridsWait;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);

    QEventLoop loop;
    std::atomic<bool> finished{false};
    const EngineSetup setup = EngineSetupRef();
    std::thread worker([&] {
        Events events(*this);
        try {
            Varnello engine;
            if (setup)
                setup(engine);
            engine.SetEvents(&events);
            engine.SetScenarioDatabase(m_db);
            {
                // A stop asked for before the engine existed stops it at once.
                std::lock_guard lock(m_engineMutex);
                m_engine = &engine;
                if (m_stopRequested)
                    engine.RequestStop();
                if (m_holdOutput)
                    engine.HoldOutput(true);
            }
            try {
                outcome.ran = engine.RunScenario(m_scenarioId, m_args);
            } catch (...) {
                outcome.raised = true;
                outcome.reason = ErrFromCurrentException().Description;
            }
            {
                std::lock_guard lock(m_engineMutex);
                m_engine = nullptr;
            }
            outcome.errorInfo = engine.ErrorInfo();
            engine.SetEvents(nullptr);
            events.Flush();
        } catch (...) {
            outcome.raised = true;
            outcome.reason = ErrFromCurrentException().Description;
        }
        finished = true;
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    if (!finished)
        loop.exec();
    worker.join();
    // Texts still waiting are shown before the run reports its end.
    Deliver();

    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    gRunning = false;
    return outcome;
}
