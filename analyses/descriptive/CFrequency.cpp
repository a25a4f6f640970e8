#include "analyses/descriptive/CFrequency.h"

#include "analyses/descriptive/CDescribe.h"
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

bool switchAt(const std::string& s, std::size_t i, char on) {
    return i < s.size() && std::toupper(static_cast<unsigned char>(s[i])) == on;
}

} // namespace

void CFrequency::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Frequency");
}

std::int32_t CFrequency::CellOf(double x, double start, double width, std::int16_t interV, bool lowerIncluded) {
    bool isWhole = false;
    double whole = CDescribe::IntervalPosition(x, start, width, isWhole);
    if (whole < 0) return 0;
    // Beyond the last interval (also a quotient past any integer range).
    if (whole >= static_cast<double>(interV) + 1) return interV + 1;
    std::int32_t i = static_cast<std::int32_t>(whole);
    if (!lowerIncluded && isWhole) i -= 1;
    std::int32_t cell = i + 1;
    return cell > interV + 1 ? interV + 1 : cell;
}

std::string CFrequency::Quorb_Frequency(std::string OutputTable1, std::string Table, FieldList& Fields,
                                        std::int16_t nG, std::int16_t nX, bool bWeight, std::string Options,
                                        std::int16_t InterV, double Start, double Width, VarnelloCore& Engine) {
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_Frequency");
    std::string msg;
    bool queryOpened = false, outputMade = false;
    try {
        m_outTable = OutputTable1;
        m_table = Table;
        m_fields = Fields;
        m_nG = nG;
        m_nX = nX;
        m_bWeight = bWeight;
        m_options = Options;
        m_interV = InterV;
        m_start = Start;
        m_width = Width;

        // Every value is divided by the width and the rows run over the
        // intervals: refused before any table is touched.
        if (m_interV < 1) msg = "The number of frequency intervals must be at least 1.";
        else if (!(m_width > 0) || !std::isfinite(m_width))
            msg = "The frequency interval width must be greater than 0.";
        else if (!std::isfinite(m_start)) msg = "The frequency start value must be a number.";

        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            msg = Engine.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes);
            queryOpened = msg.empty();
        }
        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            msg = CreateOutput();
            outputMade = msg.empty() && !Failed();
        }
        if (msg.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            ReadInKeptTransaction([this] { ReadRecords(); });
        }
    } catch (...) {
        Fail(proc);
    }
    try {
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

std::string CFrequency::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        m_sum = switchAt(m_options, 0, 'S');
        m_lower = switchAt(m_options, 1, 'Y');
        m_user = switchAt(m_options, 2, 'Y');
        m_lowName = std::string("Low") + (m_lower ? "<=" : "<") + "Range";
        m_highName = std::string("Range") + (m_lower ? "<" : "<=") + "High";

        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_outTable);
        try {
            std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, false, "", "");
            AddTableField(td, "Interval", dbInteger, ord, 0);
            AddTableField(td, m_lowName, dbDouble, ord, 0);
            AddTableField(td, m_highName, dbDouble, ord, 0);
            for (const char* name : {"Count", "Cumulative", "Count%", "Cumulative%"}) AddTableField(td, name, dbDouble, ord, 0);
            if (m_sum)
                for (const char* name : {"Sum", "CumulativeSum", "Sum%", "CumulativeSum%"})
                    AddTableField(td, name, dbDouble, ord, 0);
        } catch (const RunTimeError& e) {
            // A group field named like one of the table's own columns.
            return e.Description();
        }
        msg = eng.ReplaceOutputTable(td, true, [&] { return eng.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CFrequency::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t nG = static_cast<std::size_t>(m_nG);
        const std::size_t nX = static_cast<std::size_t>(m_nX);
        m_prev.assign(nG + 1, Variant::Null());
        m_cur.assign(nG + 1, Variant::Null());
        m_groupCols.assign(nG + 1, nullptr);
        m_dataCols.assign(nX + 1, nullptr);
        for (std::size_t i = 1; i <= nG; ++i) m_groupCols[i] = rs->Fields(m_fields[i]);
        for (std::size_t j = 1; j <= nX; ++j) m_dataCols[j] = rs->Fields(m_fields[nG + j]);
        m_weightCol = m_bWeight ? rs->Fields(m_fields[nG + nX + 1]) : nullptr;
        const std::size_t cells = static_cast<std::size_t>(m_interV) + 2;
        m_total.assign(nX + 1, 0.0);
        m_valueSum.assign(nX + 1, 0.0);
        m_cells.assign(nX + 1, std::vector<double>(cells, 0.0));
        m_sums.assign(nX + 1, std::vector<double>(m_sum ? cells : 0, 0.0));

        GroupWalk::Walk(eng, *rs, m_nG, m_groupCols, m_prev, m_cur,
                        {[&] { InitData(); },
                         [&] { CalcData(); },
                         [&] { WriteData(); },
                         [&] { return Failed(); }});
    } catch (...) {
        Fail(proc);
    }
}

void CFrequency::InitData() {
    ProcGuard proc(gEngineErr, "InitData");
    try {
        for (std::size_t j = 1; j < m_cells.size(); ++j) {
            m_total[j] = 0;
            m_valueSum[j] = 0;
            std::fill(m_cells[j].begin(), m_cells[j].end(), 0.0);
            std::fill(m_sums[j].begin(), m_sums[j].end(), 0.0);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CFrequency::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        VarnelloCore& eng = *m_Engine;
        const double w = m_weightCol ? eng.WeightOf(m_weightCol->Value()) : 1.0;
        if (!(w > 0)) return;
        for (std::size_t j = 1; j <= static_cast<std::size_t>(m_nX); ++j) {
            Variant v = m_dataCols[j]->Value();
            if (v.IsNull()) continue;
            const double x = v.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            m_total[j] += w;
            m_valueSum[j] += w * x;
            const std::size_t cell = static_cast<std::size_t>(CellOf(x, m_start, m_width, m_interV, m_lower));
            m_cells[j][cell] += w;
            if (m_sum) m_sums[j][cell] += w * x;
        }
    } catch (...) {
        Fail(proc);
    }
}

void CFrequency::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr out = eng.OutputRecordset();
        const int first = m_user ? 0 : 1;
        const int last = m_user ? m_interV + 1 : m_interV;
        FieldPtr fInterval = out->Fields("Interval"), fLow = out->Fields(m_lowName), fHigh = out->Fields(m_highName);
        FieldPtr fCount = out->Fields("Count"), fCum = out->Fields("Cumulative"), fPct = out->Fields("Count%"),
                 fCumPct = out->Fields("Cumulative%");
        FieldPtr fSum, fCumSum, fSumPct, fCumSumPct;
        if (m_sum) {
            fSum = out->Fields("Sum");
            fCumSum = out->Fields("CumulativeSum");
            fSumPct = out->Fields("Sum%");
            fCumSumPct = out->Fields("CumulativeSum%");
        }
        for (std::int16_t j = 1; j <= m_nX; ++j) {
            const std::size_t J = static_cast<std::size_t>(j);
            const double W = m_total[J];
            if (!(W > 0)) continue; // a field without valid weight in the group gets no rows
            const double S = m_valueSum[J];
            double R = 0, Q = 0;
            for (int c = first; c <= last; ++c) {
                const std::size_t C = static_cast<std::size_t>(c);
                R += m_cells[J][C];
                out->AddNew();
                WriteLeadFields(*out, m_nG, m_fields, m_prev, static_cast<std::int16_t>(m_nG + j), "", "", false, 0, 0,
                                0, 0, Variant::Null(), Variant::Null());
                if (c == 0) {
                    fHigh->SetValue(m_start);
                } else if (c == m_interV + 1) {
                    fLow->SetValue(m_interV * m_width + m_start);
                } else {
                    fLow->SetValue((c - 1) * m_width + m_start);
                    fHigh->SetValue(c * m_width + m_start);
                }
                fInterval->SetValue(static_cast<std::int16_t>(c - first + 1));
                fCount->SetValue(m_cells[J][C]);
                fCum->SetValue(R);
                fPct->SetValue(m_cells[J][C] / W);
                fCumPct->SetValue(R / W);
                if (m_sum) {
                    Q += m_sums[J][C];
                    fSum->SetValue(m_sums[J][C]);
                    fCumSum->SetValue(Q);
                    if (S != 0) {
                        fSumPct->SetValue(m_sums[J][C] / S);
                        fCumSumPct->SetValue(Q / S);
                    }
                }
                out->Update();
            }
        }
    } catch (...) {
        Fail(proc);
    }
}
