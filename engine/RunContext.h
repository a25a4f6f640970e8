#pragma once
// What a running analysis sees of the engine: the run's databases and
// recordsets, its missing-value rule, and the data services every analysis
// calls back into (its sorted input, field types, the missing-value filter
// and test, weights, group breaks, progress, the temporary work database
// and its output tables). The engine makes one for each run; nothing of it
// outlives the run but what the engine keeps for its next one.
#include "db/Dao.h"
#include "engine/AnalysisSettings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CErr_ZUR;
class IVarnelloEvents;

class RunContext {
public:
    RunContext() = default;
    ~RunContext();
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // --- the run's frame (set by the engine) ----------------------------------------
    struct Frame {
        dao::DatabasePtr source, output;
        std::vector<std::string> scenarioTables; // never replaced by an output table
        IVarnelloEvents* events = nullptr;
        std::shared_ptr<CErr_ZUR> handler;
        bool showStatus = false;
    };
    // Starts a run: every state of the previous one is forgotten.
    void Begin(Frame frame);
    // Ends it: recordsets closed, the work database deleted. Never throws.
    void End() noexcept;
    // Closes the data and output recordsets (before the output is committed).
    void CloseRecordsets() noexcept;

    // --- stopping and waiting ---------------------------------------------------------
    // From any thread: the run under way stops at the next record counted
    // for progress (Quorb_Msg), with run-time error 18.
    void RequestStop() noexcept { m_stopRequested.store(true, std::memory_order_relaxed); }
    bool StopRequested() const noexcept { return m_stopRequested.load(std::memory_order_relaxed); }
    void ClearStopRequest() noexcept { m_stopRequested.store(false); }
    // From any thread: while held, WaitWhileOutputHeld waits (the run's
    // output is kept only after the hold is released).
    void HoldOutput(bool hold) noexcept;
    void WaitWhileOutputHeld();
    // The progress text while a statement waits for another program's lock.
    void ReportLockWait(const std::string& path, std::chrono::milliseconds waited, std::chrono::milliseconds limit);

    // --- databases and recordsets ------------------------------------------------------
    const dao::DatabasePtr& SourceDatabase() const { return m_frame.source; }
    const dao::DatabasePtr& OutputDatabase() const { return m_frame.output; }
    const dao::DatabasePtr& TempDatabase() const { return m_tempDb; }
    const std::string& TempDbPath() const { return m_tempDbPath; }
    // Why the work database could not be made (empty when it could).
    const std::string& TempDbError() const { return m_tempDbError; }
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

    // --- the missing-value rule and text comparison ------------------------------------
    const std::string& MissingRule() const { return m_missingRule; }
    void SetMissingRule(const std::string& v) { m_missingRule = v; }
    double MissingEqualValue() const { return m_missingEqual; }
    void SetMissingEqualValue(double v) { m_missingEqual = v; }
    double MissingLowValue() const { return m_missingLow; }
    void SetMissingLowValue(double v) { m_missingLow = v; }
    double MissingHighValue() const { return m_missingHigh; }
    void SetMissingHighValue(double v) { m_missingHigh = v; }
    bool BinaryCompare() const { return m_binaryCompare; }
    void SetBinaryCompare(bool v) { m_binaryCompare = v; }
    bool ShowStatus() const { return m_frame.showStatus; }
    // The engine's error handler for this run.
    const std::shared_ptr<CErr_ZUR>& ErrHandler() const { return m_frame.handler; }

    // --- data services -------------------------------------------------------------------
    // Opens the data recordset on fields 1 .. n, ordered by the first nSort
    // fields and, when sortFirstData, by the field after them too (all n when
    // nSort is n); records of equal keys keep the order of the source. An
    // analysis that orders each group's values itself passes false: SQLite
    // then sorts by the group fields only, and not at all without one.
    std::string Quorb_InitDataTable(const std::string& table, const FieldList& fields, std::int16_t nSort,
                                    std::vector<long>& types, std::vector<long>& sizes, bool sortFirstData = true);
    std::string OpenDataRecordset(const std::string& sql);
    // A number field of the source's table as an ORDER BY term: a column
    // without a declared type is sorted by its value as a number, as it is
    // read (the texts "9" and "100" of another program's table in that order),
    // a Yes/No field by the -1 or 0 it is read as.
    std::string SortTerm(const std::string& table, const std::string& field) const;
    // `term` (the field as the SQL names it) as a number in a comparison of
    // SQL: a column without a declared type that is read as numbers may hold
    // them as texts, which SQL would compare as texts ("3" above 5); a Yes/No
    // field is the -1 or 0 it is read as, whatever another program stored.
    std::string NumberTerm(const std::string& table, const std::string& field, const std::string& term) const;
    // A group field of the source's table as a GROUP BY or ORDER BY term: a
    // Yes/No column by its value as it is read (True for any number but 0,
    // False for 0 and Null), so that the records of one value come
    // together; a date column by the day number of its date, whether stored
    // as a number or as a date text; a text column holding bytes by the
    // texts they spell; any other field as it is stored.
    std::string GroupTerm(const std::string& table, const std::string& field) const;
    // Whether a field of the source's table is read as numbers: false for a
    // field of texts (or bytes), whose values SQL would compare with a bound
    // as texts. A field that cannot be looked at counts as numbers.
    bool HoldsNumbers(const std::string& table, const std::string& field) const;
    // The layer's type of the source's field; 0 when it cannot be found. A
    // column a view computes without a declared type is a Text field when it
    // holds a text that is no number, whatever its first value.
    long SourceFieldType(const std::string& table, const std::string& field) const;
    // The first text that is no number in a column the view `table`
    // computes without a declared type; none for any other field, or when
    // the column holds none. Looked at once a run.
    std::optional<dao::Database::NonNumber> ComputedText(const std::string& table, const std::string& field) const;
    // `term` as SQL holds it against a missing-value bound or the weight
    // rule: the number as a double, as every value is read record by record,
    // so that a whole number of 17 digits is the missing value written with
    // the same digits (SQL compares a whole number with a double exactly).
    // A field of texts keeps its term.
    std::string RuleTerm(const std::string& table, const std::string& field, const std::string& term) const;
    // A number term as RuleTerm holds it: as a double.
    static std::string AsDouble(const std::string& numberTerm);
    // The types and sizes of fields 1..n as `rs` (read from `table`) reads them.
    void Quorb_InitFieldTypes(const std::string& table, dao::Recordset& rs, std::int16_t n, const FieldList& fields,
                              std::vector<long>& types, std::vector<long>& sizes);
    // The type and size a run gives a source field read through `f`: the
    // field's own, but Text for a computed column that holds texts, and
    // Double or BigInt for a computed column whose first value does not
    // type the numbers it holds; a Text field as long as the longest text
    // it holds (a Memo beyond 255 characters).
    void RunFieldType(const std::string& table, dao::Field& f, long& type, long& size) const;
    // True when `field` of `table` is a column of a table this layer made:
    // it holds only values of its type and size, and what another program's
    // column may hold beyond them is not looked for. Looked at once a run.
    bool KeepsDeclaredType(const std::string& table, const std::string& field) const;
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
    // The message that refuses `name` as an output table of a run reading
    // `sourceTable`, or empty.
    std::string OutputNameRefusal(const std::string& name, const std::string& sourceTable) const;
    // A value of the current input record as a number; a value that is none
    // raises run-time error 13 naming the value, the field and the record.
    double DataValue(const dao::Variant& value, const std::string& field);
    // Raises run-time error 6 naming an infinite value of the current input
    // record, its field and the record, for a statistic it would overflow.
    [[noreturn]] void NotFinite(double value, const std::string& field);
    // For an analysis that sums in SQL, where a text would count as 0: the
    // message naming the first value of these fields of the source that is
    // no number (its field and its record), or empty when all are numbers.
    std::string CheckNumbers(const std::string& table, const std::vector<std::string>& fields);
    // The message naming a value of the source that is no number, with its
    // field and its record in the table.
    static std::string NotANumberText(const dao::Database::NonNumber& bad, const std::string& field,
                                      const std::string& table);
    // The message with which a run on a query that asks for parameters fails.
    static constexpr const char* ParametersExpectedText =
        "The selected query expects parameters and cannot be used by Pelloran.";
    // The text with which an unexpected run-time error fails a run: the error's
    // description as the handler captured it, or `fallback` when it has none.
    static std::string UnexpectedErrorMessage(const CErr_ZUR* handler, const std::string& fallback);

private:
    void raiseStatStatus(std::string& msg);
    // NumberTerm for a field of that type.
    std::string numberTerm(long type, const std::string& table, const std::string& field, const std::string& term) const;
    // Fails with run-time error 13 naming the value, the field and, when
    // `read` is on a record, its number in the order the analysis reads.
    [[noreturn]] void notANumber(const dao::Variant& value, const std::string& field, dao::Recordset* read);
    // " (record n in the order the analysis reads the data)" when `read` is on a record.
    static std::string recordText(dao::Recordset* read);

    Frame m_frame;
    dao::DatabasePtr m_tempDb;
    std::string m_tempDbPath;
    std::string m_tempDbError;
    dao::RecordsetPtr m_dataRs, m_outputRs, m_outputRs2;
    std::vector<std::string> m_runOutputs; // output tables replaced by this run
    // Computed columns looked at by ComputedText (table and field, in lower
    // case), and the fields of those found to hold texts, read as texts.
    mutable std::map<std::string, std::optional<dao::Database::NonNumber>> m_computedLooked;
    mutable std::set<std::string> m_computedTexts;
    // The kinds of numbers fields hold, looked at by RunFieldType.
    mutable std::map<std::string, dao::Database::StoredNumbers> m_numbersHeld;
    // The longest text of each Text field, looked at by RunFieldType.
    mutable std::map<std::string, long> m_longestTexts;
    // Whether a text field holds bytes, looked at by GroupTerm.
    mutable std::map<std::string, bool> m_bytesLooked;
    // Whether a table this layer made stands behind a field, looked at by KeepsDeclaredType.
    mutable std::map<std::string, bool> m_typeKept;

    bool m_binaryCompare = false;
    std::string m_statusText; // the progress text handed to the listener, refilled each time
    std::string m_missingRule;
    double m_missingEqual = 0, m_missingLow = 0, m_missingHigh = 0;
    std::atomic<bool> m_stopRequested{false}; // set by RequestStop, cleared when a run ends
    std::mutex m_holdMutex;
    std::condition_variable m_holdReleased;
    bool m_outputHeld = false; // guarded by m_holdMutex
};
