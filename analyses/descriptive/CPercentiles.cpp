#include "analyses/descriptive/CPercentiles.h"

#include "analyses/descriptive/CDescribe.h"
#include "analyses/descriptive/SortStage.h"
#include "engine/GroupWalk.h"
#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"

#include <cctype>
#include <cmath>
#include <limits>

using namespace dao;

namespace {

std::int16_t divisorOf(const std::string& type) {
    switch (type.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])))) {
    case 'M': return 2;
    case 'Q': return 4;
    case '5': return 5;
    case 'D': return 10;
    case 'P': return 100;
    default: return 0;
    }
}

} // namespace

CPercentiles::CPercentiles() = default;
CPercentiles::~CPercentiles() = default;

void CPercentiles::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Percentiles");
}

std::string CPercentiles::Quorb_Percentile(std::string OutputTable1, std::string Table, FieldList& Fields,
                                           std::int16_t nG, std::int16_t nX, bool bWeight, std::string PercentileType,
                                           VarnelloCore& Engine) {
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_Percentile");
    std::string msg;
    bool queryOpened = false, outputMade = false;
    try {
        m_outTable = OutputTable1;
        m_table = Table;
        m_fields = Fields;
        m_nG = nG;
        m_nX = nX;
        m_bWeight = bWeight;
        m_type = PercentileType;

        std::string upper = ToUpperAscii(m_type);
        if (upper.empty() || std::string("MQ5DP").find(upper) == std::string::npos)
            msg = "Unknown percentile type: " + m_type;
        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            msg = Engine.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes, false);
            queryOpened = msg.empty();
        }
        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            msg = CreateOutput();
            outputMade = msg.empty() && !Failed();
        }
        if (msg.empty() && !Failed()) {
            if (!Engine.Quorb_UTIL_MakeTempDB()) msg = "Temp database could not be created";
        }
        if (msg.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            m_stage = std::make_unique<SortStage>(Engine, m_nX);
            // One transaction covers the output rows and the staged values of
            // a group that outgrows memory.
            ReadInKeptTransaction([this] { ReadRecords(); });
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_stage) m_stage->Close();
        m_stage.reset();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
        if (queryOpened)
            if (auto rs = Engine.DataRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (msg.empty() && Failed()) msg = m_error;
    m_Engine = nullptr;
    return msg;
}

std::string CPercentiles::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_outTable);
        std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, false, "", "");
        AddTableField(td, "Percentile", dbDouble, ord, 0);
        AddTableField(td, "Value", dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [&] { return eng.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes, false); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CPercentiles::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        m_d = divisorOf(m_type);
        const std::size_t nG = static_cast<std::size_t>(m_nG);
        const std::size_t nX = static_cast<std::size_t>(m_nX);
        m_prev.assign(nG + 1, Variant::Null());
        m_cur.assign(nG + 1, Variant::Null());
        m_groupCols.assign(nG + 1, nullptr);
        m_dataCols.assign(nX + 1, nullptr);
        for (std::size_t i = 1; i <= nG; ++i) m_groupCols[i] = rs->Fields(m_fields[i]);
        for (std::size_t j = 1; j <= nX; ++j) m_dataCols[j] = rs->Fields(m_fields[nG + j]);

        GroupWalk::Walk(eng, *rs, m_nG, m_groupCols, m_prev, m_cur,
                        {[&] { InitData(); },
                         [&] { CalcData(); },
                         [&] { WriteData(); },
                         [&] { return Failed(); }}, GroupWalk::LastMessage::AfterEnd);
    } catch (...) {
        Fail(proc);
    }
}

void CPercentiles::InitData() {
    ProcGuard proc(gEngineErr, "InitData");
    try {
        m_count.assign(static_cast<std::size_t>(m_nX) + 1, 0);
        m_weight.assign(static_cast<std::size_t>(m_nX) + 1, 0.0);
        // The stage forgets the finished group (emptying or dropping the sort
        // table when the group used it).
        m_stage->BeginGroup();
    } catch (...) {
        Fail(proc);
    }
}

void CPercentiles::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        VarnelloCore& eng = *m_Engine;
        double w = m_bWeight ? eng.Quorb_WeightCalc(m_bWeight, m_fields, static_cast<std::int16_t>(m_nG + m_nX + 1)) : 1.0;
        if (!(w > 0)) return;
        for (std::size_t j = 1; j <= static_cast<std::size_t>(m_nX); ++j) {
            double x = 0;
            try {
                if (!m_dataCols[j]->ValueAsDouble(x)) continue;
            } catch (const std::exception&) {
                // A text in a number field: say which value, field and record.
                x = eng.DataValue(m_dataCols[j]->Value(), m_fields[static_cast<std::size_t>(m_nG) + j]);
            }
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            ++m_count[j];
            m_weight[j] += w;
            m_stage->Add(static_cast<std::int16_t>(j), x, w);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CPercentiles::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr out = eng.OutputRecordset();
        const std::int16_t d = m_d;
        const double step = std::round(100.0 / d);
        std::vector<double> r(static_cast<std::size_t>(d) + 1, 0.0);
        std::unique_ptr<CDescribe> describe;
        for (std::int16_t j = 1; j <= m_nX; ++j) {
            const std::size_t J = static_cast<std::size_t>(j);
            if (!(m_weight[J] > 0)) continue; // a field without valid weight in the group gets no rows
            if (!describe) describe = std::make_unique<CDescribe>();
            describe->Quorb_CalcPcntiles(*m_stage, j, m_bWeight, d, m_weight[J], r, eng);
            if (!describe->LastError().empty()) {
                if (m_error.empty()) m_error = describe->LastError();
                return;
            }
            auto fPct = out->Fields("Percentile");
            auto fValue = out->Fields("Value");
            for (std::int16_t k = 0; k <= d; ++k) {
                out->AddNew();
                WriteLeadFields(*out, m_nG, m_fields, m_prev, static_cast<std::int16_t>(m_nG + j), "", "", false, 0,
                                0, 0, 0, Variant::Null(), Variant::Null());
                fPct->SetValue(step * k);
                fValue->SetValue(r[static_cast<std::size_t>(k)]);
                out->Update();
            }
        }
    } catch (...) {
        Fail(proc);
    }
}
