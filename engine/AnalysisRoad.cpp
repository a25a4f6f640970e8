#include "engine/AnalysisRoad.h"

#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"

#include <cmath>
#include <limits>

using namespace dao;

AnalysisRoad::AnalysisRoad(const AnalysisSettings& settings, const char* entryName, std::string what)
    : m_base(settings), m_entryName(entryName), m_what(std::move(what)) {}

AnalysisRoad::~AnalysisRoad() = default;

std::string AnalysisRoad::Run(RunContext& cx) {
    m_cx = &cx;
    m_error.clear();
    ProcGuard proc(gEngineErr, m_entryName);
    std::string msg;
    try {
        msg = Steps();
    } catch (...) {
        Fail(proc);
    }
    // What the analysis opened, then its output and data recordsets.
    try {
        CloseOwn();
    } catch (...) {
        Fail(proc);
    }
    try {
        for (const RecordsetPtr& rs : {cx.OutputRecordset2(), cx.OutputRecordset(), cx.DataRecordset()})
            if (rs) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (msg.empty() && Failed()) msg = m_error;
    m_cx = nullptr;
    return msg;
}

void AnalysisRoad::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in " + m_what);
}

void AnalysisRoad::Progress(const std::string& step) { m_cx->Quorb_Msg(0, true, step); }

std::string AnalysisRoad::OpenSource(const FieldList& fields, std::int16_t nSort, bool sortFirstData) {
    return OpenSourceBy([this, &fields, nSort, sortFirstData] {
        return m_cx->Quorb_InitDataTable(m_base.Table, fields, nSort, m_types, m_sizes, sortFirstData);
    });
}

std::string AnalysisRoad::OpenSource(std::int16_t nSort, bool sortFirstData) {
    return OpenSource(m_base.fields, nSort, sortFirstData);
}

std::string AnalysisRoad::OpenSourceBy(std::function<std::string()> open) {
    m_reopen = std::move(open);
    return m_reopen();
}

TableDefPtr AnalysisRoad::NewTable(const std::string& name) const { return m_cx->OutputDatabase()->CreateTableDef(name); }

std::string AnalysisRoad::PlaceOutput(const TableDefPtr& td, bool open) {
    return m_cx->ReplaceOutputTable(td, open, m_reopen, m_base.Table);
}

std::string AnalysisRoad::PlaceSecondOutput(const TableDefPtr& td) {
    std::string msg = PlaceOutput(td, false);
    if (msg.empty()) m_cx->SetOutputRecordset2(m_cx->OutputDatabase()->OpenRecordset(td->Name(), dbOpenDynaset));
    return msg;
}

std::string AnalysisRoad::MakeWorkDatabase() {
    if (!m_cx->Quorb_UTIL_MakeTempDB() || !m_cx->TempDatabase()) return "Temp database could not be created";
    return {};
}

void AnalysisRoad::Kept(const std::function<void()>& pass) { ReadInKeptTransaction(pass); }

std::string AnalysisRoad::OpenAndCreate(std::int16_t nSort, bool sortFirstData,
                                        const std::function<std::string()>& create) {
    Progress("Retrieving and sorting data");
    std::string msg = OpenSource(nSort, sortFirstData);
    if (!Going(msg)) return msg;
    Progress("Creating output table");
    return create();
}

void AnalysisRoad::AnalyzeGroups(std::int16_t nG, bool countAfterLast) {
    Progress("Analyzing records");
    Kept([this, nG, countAfterLast] { ReadGroups(nG, countAfterLast); });
}

void AnalysisRoad::ReadFields(const FieldList& fields, std::size_t weightPosition) {
    m_readFields = &fields;
    m_weightPosition = weightPosition;
}

void AnalysisRoad::BindColumns() {
    Recordset& rs = *m_cx->InputRecordset();
    const FieldList& fields = m_readFields ? *m_readFields : m_base.fields;
    const std::size_t weight = m_readFields ? m_weightPosition : m_base.bW ? m_base.WeightPosition() : 0;
    m_cols.assign(fields.size(), nullptr);
    for (std::size_t i = 1; i < fields.size(); ++i)
        if (!fields[i].empty()) m_cols[i] = rs.Fields(fields[i]);
    m_weightCol = weight > 0 && weight < m_cols.size() ? m_cols[weight] : nullptr;
}

double AnalysisRoad::Weight() const { return m_weightCol ? m_cx->WeightOf(m_weightCol->Value()) : 1.0; }

bool AnalysisRoad::Value(std::size_t position, double& x) const {
    const FieldPtr& col = m_cols[position];
    try {
        return col->ValueAsDouble(x);
    } catch (const std::exception&) {
        // A text in a number field: say which value, field and record.
        const FieldList& fields = m_readFields ? *m_readFields : m_base.fields;
        x = m_cx->DataValue(col->Value(), fields[position]);
        return true;
    }
}

bool AnalysisRoad::Number(std::size_t position, double& x) const {
    if (!Value(position, x) || !m_cx->Quorb_DataOk_b(x, false)) return false;
    // No field type of ours holds an infinity, another program's REAL
    // column can: no statistic is taken over it.
    if (!std::isfinite(x)) NotFinite(position, x);
    return true;
}

void AnalysisRoad::NotFinite(std::size_t position, double x) const {
    const FieldList& fields = m_readFields ? *m_readFields : m_base.fields;
    m_cx->NotFinite(x, fields[position]);
}

std::int64_t AnalysisRoad::WholeCount(double count, bool down) {
    const double whole = down ? std::floor(count) : std::nearbyint(count);
    constexpr double limit = 9007199254740992.0; // 2^53
    if (!(std::fabs(whole) <= limit)) throw RunTimeError(rterr::Overflow);
    return static_cast<std::int64_t>(whole);
}

void AnalysisRoad::RecordProgress(std::string prefix, bool perRecord) {
    m_progressPrefix = std::move(prefix);
    m_progressPerRecord = perRecord;
}

void AnalysisRoad::ReadGroups(std::int16_t nG, bool countAfterLast) {
    Guard("ReadRecords", [&] {
        RunContext& cx = *m_cx;
        BindColumns();
        RecordsetPtr rs = cx.InputRecordset();
        const std::size_t n = static_cast<std::size_t>(nG);
        m_prev.assign(n + 1, Variant::Null());
        m_cur.assign(n + 1, Variant::Null());
        m_runRecords = 0;
        m_groupRecords = 0;
        auto begin = [&] {
            InitData();
            m_groupRecords = 0;
        };
        begin();
        const bool named = !m_progressPrefix.empty();
        // The named progress text of a record (built only when it is shown).
        auto showNamed = [&](bool force) {
            if (force || (cx.ShowStatus() && m_runRecords % 5 == 0))
                cx.Quorb_Msg(m_runRecords, force, m_progressPrefix + std::to_string(m_runRecords));
        };
        while (!Failed()) {
            if (rs->EOF_()) {
                if (!named) {
                    if (!countAfterLast) cx.Quorb_Msg(m_runRecords, true, "");
                } else if (m_progressPerRecord) {
                    showNamed(true);
                }
                WriteData();
                if (countAfterLast && !named) cx.Quorb_Msg(m_runRecords, true, "");
                break;
            }
            for (std::size_t i = 1; i <= n; ++i) m_cur[i] = m_cols[i]->Value();
            if (cx.Quorb_SameRecords_b(nG, m_runRecords != 0, m_prev, m_cur)) {
                if (!named) cx.Quorb_Msg(m_runRecords, true, "");
                WriteData();
                if (Failed()) break;
                for (std::size_t i = 1; i <= n; ++i) m_prev[i] = m_cur[i];
                begin();
                if (Failed()) break;
            }
            CalcData();
            if (m_runRecords == std::numeric_limits<std::int32_t>::max()) throw RunTimeError(rterr::Overflow);
            ++m_runRecords;
            ++m_groupRecords;
            if (!named) cx.Quorb_Msg(m_runRecords, false, "");
            else if (m_progressPerRecord) showNamed(false);
            rs->MoveNext();
        }
    });
}
