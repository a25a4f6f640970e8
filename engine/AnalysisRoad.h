#pragma once
// The road every analysis runs on. An analysis derives from AnalysisRoad and
// supplies its steps and its statistics; the road holds what they share:
//
//   - the entry: the analysis's name on the engine's error handler, its
//     steps in order (each only while the run's message is empty and no
//     unexpected error has failed it), the closing of every recordset the
//     run opened, and the message it returns;
//   - the source query, remembered so that replacing an output table can
//     open it again, and the output tables put in place of the last run's;
//   - the record pass: inside a transaction whose rows are kept, the records
//     are read in order and every change of the group fields ends one group
//     and begins the next (InitData, CalcData for each record, WriteData);
//   - the record's weight and the reading of its values, by one rule.
//
// An unexpected run-time error inside a step is handed to the engine's
// handler, and its description fails the run; the rows written before it
// are kept until the engine decides about the whole output.
#include "db/Dao.h"
#include "engine/AnalysisSettings.h"
#include "engine/RunContext.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AnalysisRoad {
public:
    virtual ~AnalysisRoad();
    AnalysisRoad(const AnalysisRoad&) = delete;
    AnalysisRoad& operator=(const AnalysisRoad&) = delete;

    // Runs the analysis: the empty text on success, else the reason.
    std::string Run(RunContext& cx);

protected:
    // `entryName` is pushed on the engine's handler for the run; `what` names
    // the analysis in "Unexpected error in " + what.
    AnalysisRoad(const AnalysisSettings& settings, const char* entryName, std::string what);

    // --- what an analysis supplies ----------------------------------------------------------
    // Its steps in its order, made of the blocks below; the result is the
    // run's message (an unexpected error's text is added by the road).
    virtual std::string Steps() = 0;
    // The group hooks of the record pass (ReadGroups): a group begins (also
    // before the first record), the current record joins it, it is complete.
    virtual void InitData() {}
    virtual void CalcData() {}
    virtual void WriteData() {}
    // Releases what the analysis opened itself (its second recordsets, its
    // staged values), once at the end of the run, whatever happened.
    virtual void CloseOwn() {}

    // --- blocks of the steps ------------------------------------------------------------------
    RunContext& Cx() const { return *m_cx; }
    // An unexpected error has failed the run.
    bool Failed() const { return !m_error.empty(); }
    // The run goes on: no message and no failure.
    bool Going(const std::string& msg) const { return msg.empty() && !Failed(); }
    // Hands the error being handled to the engine's handler and fails the
    // run with its description (call inside a catch block).
    void Fail(ProcGuard& proc);
    // Runs `body` under the procedure name `name`; an unexpected error fails
    // the run and the result is the default value of the body's type.
    template <class Body>
    auto Guard(const char* name, Body&& body) -> decltype(body());
    // The progress text of a step ("..." is added).
    void Progress(const std::string& step);

    // Opens the source on `fields` sorted by the first `nSort` of them (and
    // the next, with sortFirstData), and remembers how: an output table that
    // must be dropped opens it again the same way. Fills the field types
    // and sizes.
    std::string OpenSource(const FieldList& fields, std::int16_t nSort, bool sortFirstData = true);
    // The same with the scenario's fields.
    std::string OpenSource(std::int16_t nSort, bool sortFirstData = true);
    // Another way to open the source, used again when an output table must
    // be dropped. A way that leaves no recordset open fails the record pass
    // (error 91), never reads a null one.
    std::string OpenSourceBy(std::function<std::string()> open);
    // A new output table definition, and its placing in the output database
    // (opened as the output recordset with `open`).
    dao::TableDefPtr NewTable(const std::string& name) const;
    std::string PlaceOutput(const dao::TableDefPtr& td, bool open);
    // A second output table put in place of the last run's and opened as the
    // run's second output recordset.
    std::string PlaceSecondOutput(const dao::TableDefPtr& td);
    // The run's work database; "Temp database could not be created" when it cannot be made.
    std::string MakeWorkDatabase();
    // Runs a pass over records inside a transaction of the workspace whose
    // rows are kept, even when the pass fails.
    void Kept(const std::function<void()>& pass);
    // The opening most analyses share: "Retrieving and sorting data" and the
    // source sorted by the first nSort fields (and the next with
    // sortFirstData), then "Creating output table" and `create`.
    std::string OpenAndCreate(std::int16_t nSort, bool sortFirstData, const std::function<std::string()>& create);
    // "Analyzing records", then the record pass over the groups of the first
    // nG fields (ReadGroups) in a pass whose written rows are kept.
    void AnalyzeGroups(std::int16_t nG, bool countAfterLast = false);

    // The fields the record pass reads, and the position of the weight
    // field among them (0: none); the scenario's fields unless set.
    void ReadFields(const FieldList& fields, std::size_t weightPosition);
    // Binds the columns of those fields in the data recordset as it is now.
    void BindColumns();
    // The record pass over the data recordset: the groups are the first `nG`
    // of the fields read. Progress counts every record; the forced count at
    // the end of the data comes before the last group is written, or after
    // it with `countAfterLast`.
    void ReadGroups(std::int16_t nG, bool countAfterLast = false);
    // The pass's progress text names the field being read: every fifth
    // record shows `prefix` and the record's number, a group break forces
    // nothing, and the end forces the last number before the last group is
    // written. Without `perRecord` the pass shows nothing and the analysis
    // reports its own progress. Set before ReadGroups; empty: the plain
    // count, forced at every group break.
    void RecordProgress(std::string prefix, bool perRecord = true);

    // --- the current record (during the pass) ----------------------------------------------
    // The column of the current record at a position of the bound fields.
    const dao::FieldPtr& Column(std::size_t position) const { return m_cols[position]; }
    // The record's weight: the weight field's value when it is not Null, not
    // the "Equal" missing value and above 0, else 0; 1 without a weight field.
    double Weight() const;
    // The value at `position` as a number: false for Null; a value that is no
    // number fails the run naming the value, the field and the record.
    bool Value(std::size_t position, double& x) const;
    // The same, and false for a value the missing-value rule drops; an
    // infinity it keeps fails the run naming it.
    bool Number(std::size_t position, double& x) const;
    // Fails the run naming the infinite value x read at `position`, its field and its record.
    [[noreturn]] void NotFinite(std::size_t position, double x) const;
    // A count of weights as a whole number: rounded half to even, or cut
    // down with `down`. A count beyond the whole numbers a double holds
    // exactly (2^53; weights of 1e19, say) raises run-time error 6,
    // Overflow, instead of turning into another number.
    static std::int64_t WholeCount(double count, bool down = false);
    // The group values of the group being read (complete in WriteData).
    const std::vector<dao::Variant>& GroupValues() const { return m_prev; }
    // Records read in the group, and in the pass.
    std::int32_t GroupRecords() const { return m_groupRecords; }
    long RunRecords() const { return m_runRecords; }

    // The field types and sizes of the source query (1 .. n).
    std::vector<long> m_types, m_sizes;

private:
    const AnalysisSettings& m_base;
    const char* m_entryName;
    std::string m_what;
    RunContext* m_cx = nullptr;
    std::string m_error;
    std::function<std::string()> m_reopen;

    const FieldList* m_readFields = nullptr;
    std::size_t m_weightPosition = 0;
    std::vector<dao::FieldPtr> m_cols;
    dao::FieldPtr m_weightCol;
    std::vector<dao::Variant> m_prev, m_cur;
    std::int32_t m_groupRecords = 0;
    long m_runRecords = 0;
    std::string m_progressPrefix;
    bool m_progressPerRecord = true;
};

// Runs analysis class `A` with its settings: the catalogue's run function.
template <class A>
std::string RunAnalysis(AnalysisSettings& settings, RunContext& cx) {
    A analysis(static_cast<const typename A::Settings&>(settings));
    return analysis.Run(cx);
}

template <class Body>
auto AnalysisRoad::Guard(const char* name, Body&& body) -> decltype(body()) {
    ProcGuard proc(gEngineErr, name);
    try {
        return body();
    } catch (...) {
        Fail(proc);
    }
    return decltype(body())();
}
