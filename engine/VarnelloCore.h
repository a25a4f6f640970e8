#pragma once
// The engine behind the client's Varnello object: the run itself, its
// per-run state, the runners that marshal a scenario's options for the
// analyses, and the data services every analysis calls back into. Clients
// use engine/Varnello.h; the analyses and the engine's own tests use this.
#include "engine/AnalysisArgs.h"
#include "engine/OutputTransaction.h"
#include "engine/Varnello.h"

#include <atomic>

class CMelvarsScenario;

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
    void RequestStop() noexcept { m_stopRequested.store(true, std::memory_order_relaxed); }

    // ===== Internal members: the runners, the data services and the analyses ====

    // Per-run state.
    dao::DatabasePtr TempDatabase() const { return m_tempDb; }
    void SetTempDatabase(dao::DatabasePtr db) { m_tempDb = std::move(db); }
    dao::RecordsetPtr DataRecordset() const { return m_dataRs; }
    // The run's input for a record pass. Reading it before a data service
    // has opened it is a fault of the caller: it raises run-time error 91
    // instead of handing out a null recordset.
    dao::RecordsetPtr InputRecordset() const;
    void SetDataRecordset(dao::RecordsetPtr rs) { m_dataRs = std::move(rs); }
    dao::RecordsetPtr OutputRecordset() const { return m_outputRs; }
    void SetOutputRecordset(dao::RecordsetPtr rs) { m_outputRs = std::move(rs); }
    dao::RecordsetPtr OutputRecordset2() const { return m_outputRs2; }
    void SetOutputRecordset2(dao::RecordsetPtr rs) { m_outputRs2 = std::move(rs); }
    bool BinaryCompare() const { return m_binaryCompare; }
    void SetBinaryCompare(bool v) { m_binaryCompare = v; }
    bool ShowStatus() const { return m_showStatus; }
    void SetShowStatus(bool v) { m_showStatus = v; }
    const std::string& MissingRule() const { return m_missingRule; }
    void SetMissingRule(const std::string& v) { m_missingRule = v; }
    double MissingEqualValue() const { return m_missingEqual; }
    void SetMissingEqualValue(double v) { m_missingEqual = v; }
    double MissingLowValue() const { return m_missingLow; }
    void SetMissingLowValue(double v) { m_missingLow = v; }
    double MissingHighValue() const { return m_missingHigh; }
    void SetMissingHighValue(double v) { m_missingHigh = v; }
    const std::string& TempDbPath() const { return m_tempDbPath; }
    const std::shared_ptr<CMelvarsScenario>& Scenario() const { return m_scenario; }
    std::shared_ptr<CErr_ZUR> ErrHandler() const { return m_errHandler; }

    // The analysis entries the runners call; tests may replace them.
    AnalysisEntries& Entries() { return m_entries; }

    // --- data services -------------------------------------------------------------
    // Opens the data recordset on fields 1 .. n, ordered by the first nSort
    // fields and, when sortFirstData, by the field after them too (all n when
    // nSort is n). An analysis that orders each group's values itself passes
    // false: SQLite then sorts by the group fields only, and not at all
    // without one.
    std::string Quorb_InitDataTable(const std::string& table, const FieldList& fields, std::int16_t nSort,
                                    std::vector<long>& types, std::vector<long>& sizes, bool sortFirstData = true);
    std::string OpenDataRecordset(const std::string& sql);
    void Quorb_InitFieldTypes(dao::Recordset& rs, std::int16_t n, const FieldList& fields, std::vector<long>& types,
                              std::vector<long>& sizes);
    std::string Quorb_DataWhere(const std::string& fieldExpression) const;
    bool Quorb_DataOk_b(double value, bool bEqualOnly) const;
    double Quorb_WeightCalc(bool bWeight, const FieldList& fields, std::int16_t weightIndex);
    // The weight rule on a value already read: 0 for Null, for the "Equal"
    // missing value and for a value not above 0; the value otherwise.
    double WeightOf(const dao::Variant& value) const;
    bool Quorb_SameRecords_b(std::int16_t n, bool bCompare, std::vector<dao::Variant>& previous,
                             const std::vector<dao::Variant>& current) const;
    bool Quorb_SameValue(const dao::Variant& value1, const dao::Variant& value2, bool bTextCompare) const;
    void Quorb_Msg(long record, bool bForce, const std::string& message);
    bool Quorb_UTIL_MakeTempDB();
    std::string Quorb_CreateTable(const dao::TableDefPtr& td, bool bOpen);
    void Quorb_DeleteTable(bool bTemp, const std::string& table);
    void Quorb_EmptyTable(bool bTemp, const std::string& table, long rows, const dao::DatabasePtr& db);
    void EmptyTable2(bool bTemp, const std::string& table, const dao::DatabasePtr& db);
    bool Util_FieldExists(const std::string& table, const std::string& field, const dao::DatabasePtr& db);

    // Puts the new output table `td` in place of any table of its name in the
    // output database and, with `open`, opens it as the output recordset; the
    // result is the database's error text, empty on success. Every analysis
    // replaces its output tables through this one service.
    //
    // The table of an earlier run is replaced: when its columns are exactly the
    // new definition's (names, types and text sizes, in order) and it has no
    // index, it is emptied in place; otherwise it is dropped and `td` appended.
    // The database cannot drop a table while a query on the same file is being
    // read, so before a drop the data recordset is closed and `reopen` is
    // called afterwards to open it again (its message fails the step).
    //
    // The table the analysis reads (`sourceTable` in the source database) is
    // never replaced: that would destroy the data; the answer is a message.
    // Neither are the scenario tables, the database's own catalogue (MSys*),
    // a table that a saved query given as source reads, nor the same table
    // reached through another path to the file; a run that names one table
    // for both of its outputs is refused at the second.
    //
    // Inside a run every change to the output database is part of one
    // transaction that the engine commits when the analysis has succeeded:
    // the previous output stays whole after a failure, a full disk or a
    // killed process.
    std::string ReplaceOutputTable(const dao::TableDefPtr& td, bool open, const std::function<std::string()>& reopen,
                                   const std::string& sourceTable);
    // A value of the current input record as a number; a value that is none
    // raises run-time error 13 naming the value, the field and the record.
    double DataValue(const dao::Variant& value, const std::string& field);
    // For an analysis that sums in SQL, where a text would count as 0: the
    // message naming the first value of these fields of the source that is
    // no number (its field and its record), or empty when all are numbers.
    std::string CheckNumbers(const std::string& table, const std::vector<std::string>& fields);
    // The text with which an unexpected run-time error fails a run: the error's
    // description as the handler captured it, or `fallback` when it has none.
    static std::string UnexpectedErrorMessage(const CErr_ZUR* handler, const std::string& fallback);
    // 0 for a table, 1 for a query, -99 for neither.
    static std::int16_t Quorb_UTIL_TableOrQuery(const dao::DatabasePtr& db, const std::string& name);

    // --- runners and their helpers (public for the tests of their marshalling) -------
    static std::string BoolToYN(bool value) { return value ? "Y" : "N"; }
    std::string DescFreqInit_ZUR(bool bRoundWidth, std::int16_t intervals, bool lowerIncluded, const std::string& table,
                                 const FieldList& fields, std::int16_t nG, std::int16_t nX, double& start, double& width);
    // Every field of the list exists in the source, and the X, Y and weight
    // fields hold numbers; otherwise the message naming the field and its role.
    std::string CheckFieldRoles(const std::string& table, const std::string& calcType, const FieldList& fields,
                                std::int16_t nG, std::int16_t nC, std::int16_t nX, bool bY, bool bW);
    std::string SetGlobals(CMelvarsScenario& scenario, const std::string& CalcType, FieldList& fields, std::int16_t& nG,
                           std::int16_t& nC, std::int16_t& nX, bool& bY, bool& bW);

private:
    void setDatabase(int slot, const DatabaseArg& value);
    dao::DatabasePtr openPath(const std::string& path);
    void raiseStatStatus(std::string& msg);
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
    std::string outputNameRefusal(const std::string& name, const std::string& sourceTable) const;
    void closeOwnedDatabases() noexcept;
    std::string unexpectedErrorText() const;
    // Fails with run-time error 13 naming the value, the field and, when
    // `read` is on a record, its number in the order the analysis reads.
    [[noreturn]] void notANumber(const dao::Variant& value, const std::string& field, dao::Recordset* read);

    std::string RunGroup_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC, std::int16_t nX, bool bW);
    std::string RunDescribe_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunFrequency_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunPercentile_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunCompare_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bY, bool bW);
    std::string RunMatrix_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunRegression_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunCrosstab_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW);
    std::string RunChiSquare_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC, bool bW);
    std::string RunSignFit_s_ZUR(const std::string& kind, CMelvarsScenario& s, FieldList& f, std::int16_t nG,
                                 std::int16_t nX, bool bW);
    std::string RunNPPaired_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bY, bool bW);
    std::string RunNPTwoSample_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC,
                                     std::int16_t nX, bool bW);
    std::string RunNPNSample_s_ZUR(const std::string& table, const std::string& out1, const std::string& out2,
                                   FieldList& f, std::int16_t nG, std::int16_t nC, std::int16_t nX, bool bW);

    // Databases: references shared with the client; the engine closes only
    // what it opened itself.
    dao::DatabasePtr m_scenarioDb, m_sourceDb, m_outputDb;
    std::vector<dao::DatabasePtr> m_opened; // every database this engine opened from a path
    dao::DatabasePtr m_saved[3];
    dao::DatabasePtr m_tempDb;
    std::string m_tempDbPath;
    dao::RecordsetPtr m_dataRs, m_outputRs, m_outputRs2;
    OutputTransaction m_outputTx;            // the run's changes to the output database
    std::vector<std::string> m_runOutputs;   // output tables replaced by this run
    int m_runTxLevel = -1;                   // the workspace's transaction level when the analysis began
    std::string m_tempDbError;               // why the work database could not be made
    std::atomic<bool> m_running{false};      // a run is under way on this engine

    std::string m_scenarioTbl, m_optionsTbl, m_fieldTbl;
    std::string m_sourceTableName, m_outputTableName, m_outputTableName2;
    std::string m_errorInfo;
    bool m_showProgress = false;
    bool m_showErrors = false;

    bool m_binaryCompare = false;
    bool m_showStatus = false;
    std::string m_statusText; // the progress text handed to the listener, refilled each time
    std::string m_missingRule;
    double m_missingEqual = 0, m_missingLow = 0, m_missingHigh = 0;
    std::shared_ptr<CMelvarsScenario> m_scenario;

    std::shared_ptr<CErr_ZUR> m_errHandler;
    CErr_ZUR::Subscription m_beforeSub, m_afterSub;
    IVarnelloEvents* m_events = nullptr;
    AnalysisEntries m_entries;
    std::atomic<bool> m_stopRequested{false}; // set by RequestStop, cleared when a run ends
};
