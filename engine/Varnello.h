#pragma once
// Varnello: the statistics engine. A client creates one, points it at up to
// three databases (the scenario database with the scenario tables, the source
// database with the data, the output database for the result tables) and runs
// a stored scenario by its number. Progress and completion are reported
// through events, synchronously on the caller's thread.
//
// Threads. Engines may run on several threads at once. What each thread must
// keep to itself: its engine (one run at a time, on one thread), the
// databases the engine reads and writes and every recordset, table or query
// definition opened from them, and the data-access layer's workspaces (each
// thread has its own; Workspaces(0) is the calling thread's). A database
// opened on one thread may be handed to an engine on another as long as no
// other thread uses it until the run has returned. What may be shared: the
// data-access engine object DBEngine() (its workgroup file and default
// log-on), the message-box and error-dialog hooks (set them before the
// threads start), and database files themselves: two engines may read the
// same file, and the file's own locking keeps their writes apart (a writer
// that meets another's lock fails its run and keeps the previous output).
// Each run reports unexpected errors to its own engine's handler (see
// errors/ErrorGlobals.h), and its work database is a file of its own.
//
// The engine shows nothing by itself: its message box goes through the
// platform's message-box hook and its error dialog through
// SetEngineErrorDialog; a client that installs neither sees nothing and is
// never blocked.
//
// What throws. RunScenario, Probability and ProbInverse never throw: a run
// that fails (a database argument that cannot be opened included) returns
// false with the reason in ErrorInfo, and a probability that cannot be
// computed is 0. The database properties do throw, at once:
// - SetScenarioDatabase, SetSourceDatabase and SetOutputDatabase given a path
//   (a std::string, or a dao::Variant holding text) open the file there and
//   then; a file that is missing, locked by another program, not a database
//   or protected by another password raises dao::DaoError with the database
//   engine's number and text ("Couldn't find file '...'.", ...);
// - the same given a dao::Variant holding anything but text raise
//   RunTimeError number vbObjectError + 1000, "Invalid object type: " and the
//   value's type number.
// Opening a database yourself (dao::DBEngine().OpenDatabase(path), to hand
// the engine an open database) raises dao::DaoError in the same cases. A
// client that wants false rather than an exception catches these, or gives
// the path as an argument of RunScenario instead.
//
// This header and the few it includes are all that an installed engine
// shows its clients: the database handle and how to open one
// (dao::DBEngine().OpenDatabase), the Variant a property may be given, and
// the two errors named above.
#include "db/DBEngine.h"
#include "db/DaoError.h"
#include "db/Database.h"
#include "db/Variant.h"
#include "errors/RunTimeError.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

// What the engine's error dialog is filled with.
struct EngineErrorDialogInfo {
    std::string AppName;
    std::string Readmefile;
    long ErrHelpContextID = 0;
    std::string ErrHelpFileName;
    std::string ErrorFile;
    std::string ErrorString;
    std::string ErrorMsgString;
};
// Shows the error dialog modally; returns true when the user chose to exit.
using EngineErrorDialogFn = std::function<bool(const EngineErrorDialogInfo&)>;
EngineErrorDialogFn SetEngineErrorDialog(EngineErrorDialogFn fn);

// Events of the engine; arguments by reference, as the events pass them.
class IVarnelloEvents {
public:
    virtual ~IVarnelloEvents() = default;
    virtual void StatStatus(std::string& /*Msg*/) {}
    virtual void RunScenarioBegin() {}
    virtual void RunScenarioComplete(bool& /*Success*/, std::string& /*Msg*/) {}
};

class VarnelloCore;

// The engine as a client sees it: its properties, RunScenario, Probability,
// ProbInverse and the events. One object runs one scenario at a time; see
// the note on threads above.
class Varnello {
public:
    // A database property takes a path (opened by the engine), a database
    // (or nothing) given by the client, or any other value, which is refused
    // with "Invalid object type: " and the value's type number.
    using DatabaseArg = std::variant<std::string, dao::DatabasePtr, dao::Variant>;

    struct RunScenarioArgs {
        // Each member has its initializer, so that a client names only the
        // arguments it gives (Varnello::RunScenarioArgs{.ScenarioDatabase = db}).
        std::optional<DatabaseArg> ScenarioDatabase{}, SourceDatabase{}, OutputDatabase{};
        std::string ScenarioTbl{}, OptionsTbl{}, FieldTbl{};
        std::string SourceTableName{}, OutputTableName{}, OutputTableName2{};
        bool ShowProgress = false;
        bool ShowErrors = false;
    };

    Varnello();
    ~Varnello();
    Varnello(const Varnello&) = delete;
    Varnello& operator=(const Varnello&) = delete;

    // --- properties ----------------------------------------------------------------
    dao::DatabasePtr ScenarioDatabase() const;
    void SetScenarioDatabase(const DatabaseArg& value);
    dao::DatabasePtr SourceDatabase() const;
    void SetSourceDatabase(const DatabaseArg& value);
    dao::DatabasePtr OutputDatabase() const;
    void SetOutputDatabase(const DatabaseArg& value);
    const std::string& ScenarioTbl() const;
    void SetScenarioTbl(const std::string& v);
    const std::string& OptionsTbl() const;
    void SetOptionsTbl(const std::string& v);
    const std::string& FieldTbl() const;
    void SetFieldTbl(const std::string& v);
    const std::string& SourceTableName() const;
    void SetSourceTableName(const std::string& v);
    const std::string& OutputTableName() const;
    void SetOutputTableName(const std::string& v);
    const std::string& OutputTableName2() const;
    void SetOutputTableName2(const std::string& v);
    const std::string& ErrorInfo() const;
    bool ShowProgress() const;
    void SetShowProgress(bool v);
    bool ShowErrors() const;
    void SetShowErrors(bool v);

    // --- operations ----------------------------------------------------------------
    double ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2);
    double Probability(const std::string& ProbType, double Value, double DF1, double DF2);
    // A run started while another is under way on this engine (from one of
    // its events) is refused: it returns false, touches nothing of the
    // running one, and ErrorInfo says why until the running one ends.
    bool RunScenario(long ScenarioID);
    bool RunScenario(long ScenarioID, const RunScenarioArgs& args);

    // Asks the run under way to stop. Safe to call from any thread while
    // RunScenario runs on another (a progress window's stop button, say): the
    // run stops at the next record it counts and fails with ErrorInfo
    // StoppedMessage, its output tables left as they were before the run. A
    // request made while no run is under way stops the next one (the run a
    // client thread is about to start); every run ends with the request
    // spent, so the run after it goes on.
    void RequestStop() noexcept;
    // From any thread, while the caller asks its user whether to stop: the
    // run goes on, but waits before it keeps its output until the hold is
    // released, so that a stop asked for in the answer still discards it.
    void HoldOutput(bool hold) noexcept;
    static constexpr const char* StoppedMessage = "The analysis was stopped by the user.";

    // --- events --------------------------------------------------------------------
    void SetEvents(IVarnelloEvents* listener);

private:
    // The application, its tools and tests reach the engine behind this
    // object through CoreOf (engine/VarnelloCore.h, not installed).
    friend struct VarnelloCoreAccess;
    std::unique_ptr<VarnelloCore> m_core;
};
