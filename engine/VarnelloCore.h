#pragma once
// The engine behind the client's Varnello object: its properties, the run
// (loading and checking the scenario, picking its analysis from the
// catalogue of types, keeping or undoing the output) and the run's context,
// through which the analysis reads and writes. Clients use engine/Varnello.h.
#include "engine/AnalysisSettings.h"
#include "engine/OutputTransaction.h"
#include "engine/RunContext.h"
#include "engine/Varnello.h"
#include "errors/CErr_ZUR.h"

#include <atomic>
#include <functional>
#include <map>

class CMelvarsScenario;
struct AnalysisType;

class VarnelloCore {
public:
    using DatabaseArg = Varnello::DatabaseArg;
    using RunScenarioArgs = Varnello::RunScenarioArgs;

    VarnelloCore();
    ~VarnelloCore();
    VarnelloCore(const VarnelloCore&) = delete;
    VarnelloCore& operator=(const VarnelloCore&) = delete;

    // --- public properties -------------------------------------------------------
    dao::DatabasePtr ScenarioDatabase() const { return m_scenarioDb; }
    void SetScenarioDatabase(const DatabaseArg& value);
    dao::DatabasePtr SourceDatabase() const { return m_sourceDb; }
    void SetSourceDatabase(const DatabaseArg& value);
    dao::DatabasePtr OutputDatabase() const { return m_outputDb; }
    void SetOutputDatabase(const DatabaseArg& value);
    const std::string& ScenarioTbl() const { return m_scenarioTbl; }
    void SetScenarioTbl(const std::string& v) { m_scenarioTbl = v; }
    const std::string& OptionsTbl() const { return m_optionsTbl; }
    void SetOptionsTbl(const std::string& v) { m_optionsTbl = v; }
    const std::string& FieldTbl() const { return m_fieldTbl; }
    void SetFieldTbl(const std::string& v) { m_fieldTbl = v; }
    const std::string& SourceTableName() const { return m_sourceTableName; }
    void SetSourceTableName(const std::string& v) { m_sourceTableName = v; }
    const std::string& OutputTableName() const { return m_outputTableName; }
    void SetOutputTableName(const std::string& v) { m_outputTableName = v; }
    const std::string& OutputTableName2() const { return m_outputTableName2; }
    void SetOutputTableName2(const std::string& v) { m_outputTableName2 = v; }
    const std::string& ErrorInfo() const { return m_errorInfo; }
    bool ShowProgress() const { return m_showProgress; }
    void SetShowProgress(bool v) { m_showProgress = v; }
    bool ShowErrors() const { return m_showErrors; }
    void SetShowErrors(bool v) { m_showErrors = v; }

    // --- public operations -------------------------------------------------------
    double ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2);
    double Probability(const std::string& ProbType, double Value, double DF1, double DF2);
    bool RunScenario(long ScenarioID);
    bool RunScenario(long ScenarioID, const RunScenarioArgs& args);
    // What a run started while another is under way on the same engine is
    // refused with (in ErrorInfo; the call returns false).
    static const char* const kNestedRunMessage;

    // --- events ------------------------------------------------------------------
    void SetEvents(IVarnelloEvents* listener) { m_events = listener; }

    // From any thread: the run under way stops at the next record counted
    // for progress (Quorb_Msg) and fails with Varnello::StoppedMessage.
    void RequestStop() noexcept { m_run.RequestStop(); }
    void HoldOutput(bool hold) noexcept { m_run.HoldOutput(hold); }

    // ===== Internal members: the run, its analyses and their context ==========

    // The run's context: what its analysis reads, writes and reports through.
    RunContext& Run() { return m_run; }
    const std::shared_ptr<CMelvarsScenario>& Scenario() const { return m_scenario; }
    std::shared_ptr<CErr_ZUR> ErrHandler() const { return m_errHandler; }

    // The analysis each type runs, by its name in the catalogue; tests and
    // tools may put another in its place for this engine.
    using AnalysisFn = std::function<std::string(AnalysisSettings&, RunContext&)>;
    void ReplaceAnalysis(const std::string& type, AnalysisFn analysis);
    AnalysisFn Analysis(const std::string& type) const;

    // 0 for a table, 1 for a query, -99 for neither.
    static std::int16_t Quorb_UTIL_TableOrQuery(const dao::DatabasePtr& db, const std::string& name);
    // Every field of the list exists in the source, and the X, Y and weight
    // fields hold numbers; otherwise the message naming the field and its role.
    std::string CheckFieldRoles(const std::string& table, const AnalysisType& type, const AnalysisSettings& fields);
    // The field list and role counts of a scenario for an analysis type, and
    // the checks of the counts every type of its kind needs.
    std::string SetGlobals(CMelvarsScenario& scenario, const AnalysisType& type, AnalysisSettings& settings);

private:
    void setDatabase(int slot, const DatabaseArg& value);
    dao::DatabasePtr openPath(const std::string& path);
    std::string RunOneScenario();
    bool LoadScenario(long number, std::string& msg);
    std::shared_ptr<CMelvarsScenario> NewScenario(const std::string& description, const std::string& type,
                                                   const std::string& calcType, const std::string& table,
                                                   const std::string& out1, const std::string& out2,
                                                   const std::string& missingType, const dao::Variant& missingEqual,
                                                   const dao::Variant& missingHigh, const dao::Variant& missingLow,
                                                   const std::string& version);
    void ShowError(const std::string& msg);
    void SaveDatabases(bool save);
    void cleanUp() noexcept;
    void finishOutput(std::string& msg);
    void closeOwnedDatabases() noexcept;
    std::string unexpectedErrorText() const;
    std::string runAnalysis(const AnalysisType& type, const CMelvarsScenario& s, const AnalysisSettings& base);

    // Databases: references shared with the client; the engine closes only
    // what it opened itself.
    dao::DatabasePtr m_scenarioDb, m_sourceDb, m_outputDb;
    // Every database this engine opened from a path, with the file it opened
    // there (a file put in its place later is another database).
    struct OpenedFile {
        dao::DatabasePtr db;
        std::uint64_t device = 0, inode = 0;
    };
    std::vector<OpenedFile> m_opened;
    dao::DatabasePtr m_saved[3];
    RunContext m_run;                        // the run's state and the services of its analysis
    OutputTransaction m_outputTx;            // the run's changes to the output database
    SourceReadTransaction m_sourceTx;        // the run's view of a source in another file
    int m_runTxLevel = -1;                   // the workspace's transaction level when the analysis began
    std::atomic<bool> m_running{false};      // a run is under way on this engine

    std::string m_scenarioTbl, m_optionsTbl, m_fieldTbl;
    std::string m_sourceTableName, m_outputTableName, m_outputTableName2;
    std::string m_errorInfo;
    bool m_showProgress = false;
    bool m_showErrors = false;

    std::shared_ptr<CMelvarsScenario> m_scenario;

    std::shared_ptr<CErr_ZUR> m_errHandler;
    CErr_ZUR::Subscription m_beforeSub, m_afterSub;
    IVarnelloEvents* m_events = nullptr;
    std::map<std::string, AnalysisFn> m_analyses; // replaced analyses, by type name
};

// The engine behind a client's Varnello object, for the application, its
// tools and tests that reach inside (to replace an analysis, say).
struct VarnelloCoreAccess {
    static VarnelloCore& Of(Varnello& engine) noexcept { return *engine.m_core; }
};
inline VarnelloCore& CoreOf(Varnello& engine) noexcept { return VarnelloCoreAccess::Of(engine); }
