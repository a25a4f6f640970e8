#include "analyses/descriptive/CCorrMatrix.h"

#include "engine/CZValue.h"
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

bool switchOn(const std::string& s, std::size_t i) {
    return i < s.size() && std::toupper(static_cast<unsigned char>(s[i])) == 'Y';
}

} // namespace

std::string CCorrMatrix::Label(int k, const std::string& tail) {
    switch (k) {
    case 1: return "Count";
    case 2: return "Missing";
    case 3: return "MeanDiff";
    case 4: return "StdDevDiff";
    case 5: return "Covariance";
    case 6: return "Correlation";
    case 7: return "R-Square";
    case 8: return "t-Value";
    default: return "Prob (" + tail + "-tail)";
    }
}

void CCorrMatrix::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Matrix");
}

std::string CCorrMatrix::Quorb_Matrix(std::string OutTableName, std::string strUserTable, FieldList& strFields,
                                      std::int16_t intGroupFields, std::int16_t intNumFields, bool intWeightField_b,
                                      std::string strTTestTail, std::string strOptions, VarnelloCore& engine) {
    m_Engine = &engine;
    ProcGuard proc(gEngineErr, "Quorb_Matrix");
    std::string msg;
    bool queryOpened = false, outputMade = false;
    try {
        m_outTable = OutTableName;
        m_table = strUserTable;
        m_fields = strFields;
        m_nG = intGroupFields;
        m_nX = intNumFields;
        m_bWeight = intWeightField_b;
        m_tail = strTTestTail;
        m_options = strOptions;

        engine.Quorb_Msg(0, true, "Retrieving and sorting data");
        msg = engine.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes);
        queryOpened = msg.empty();
        if (msg.empty()) {
            engine.Quorb_Msg(0, true, "Creating output table");
            msg = CreateOutput();
            outputMade = msg.empty() && !Failed();
        }
        if (msg.empty() && !Failed()) {
            engine.Quorb_Msg(0, true, "Analyzing records");
            ReadInKeptTransaction([this] { ReadRecords(); });
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (outputMade)
            if (auto rs = engine.OutputRecordset()) rs->Close();
        if (queryOpened)
            if (auto rs = engine.DataRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (msg.empty() && Failed()) msg = m_error;
    m_Engine = nullptr;
    return msg;
}

std::string CCorrMatrix::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_outTable);
        m_columns.assign(static_cast<std::size_t>(m_nX) + 1, std::string());
        try {
            std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, false, "", "");
            AddTableField(td, "CalcType", dbText, ord, 13);
            // A column name holds at most 64 characters; two fields whose
            // names agree in their first 64 (or a field named like a group
            // field, "DataField" or "CalcType") cannot both have a column.
            for (std::int16_t i = 1; i <= m_nX; ++i) {
                std::string name = m_fields[static_cast<std::size_t>(m_nG + i)].substr(0, 64);
                m_columns[static_cast<std::size_t>(i)] = name;
                AddTableField(td, name, dbDouble, ord, 0);
            }
        } catch (const RunTimeError& e) {
            return e.Description();
        }
        msg = eng.ReplaceOutputTable(td, true, [&] { return eng.Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CCorrMatrix::ReadRecords() {
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
        m_pairs.assign(nX * (nX + 1) / 2, CoMoments{});
        m_origin.assign(nX + 1, Moments::Origin{});
        m_originSet.assign(nX + 1, 0);
        m_present.assign(nX + 1, 0);
        m_dev.assign(nX + 1, 0.0);

        GroupWalk::Steps steps;
        steps.begin = [&] { InitData(); };
        steps.record = [&] {
            CalcData();
            ++m_groupCount;
        };
        steps.end = [&] { WriteData(); };
        steps.failed = [&] { return Failed(); };
        GroupWalk::Walk(eng, *rs, m_nG, m_groupCols, m_prev, m_cur, steps);
    } catch (...) {
        Fail(proc);
    }
}

void CCorrMatrix::InitData() {
    ProcGuard proc(gEngineErr, "InitData");
    try {
        for (auto& p : m_pairs) p.Clear();
        std::fill(m_originSet.begin(), m_originSet.end(), 0);
        m_groupCount = 0;
    } catch (...) {
        Fail(proc);
    }
}

void CCorrMatrix::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        VarnelloCore& eng = *m_Engine;
        const double w = m_weightCol ? eng.WeightOf(m_weightCol->Value()) : 1.0;
        if (!(w > 0)) return;
        const std::size_t nX = static_cast<std::size_t>(m_nX);
        for (std::size_t a = 1; a <= nX; ++a) {
            m_present[a] = 0;
            Variant v = m_dataCols[a]->Value();
            if (v.IsNull()) continue;
            const double x = v.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            if (!m_originSet[a]) {
                m_origin[a].Set(x);
                m_originSet[a] = 1;
            }
            m_present[a] = 1;
            m_dev[a] = m_origin[a].Deviation(x);
        }
        for (std::size_t a = 1; a <= nX; ++a) {
            if (!m_present[a]) continue;
            CoMoments* row = &m_pairs[a * (a - 1) / 2];
            for (std::size_t b = 1; b <= a; ++b)
                if (m_present[b]) row[b - 1].Add(m_dev[a], m_dev[b], w);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CCorrMatrix::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr out = eng.OutputRecordset();
        const std::size_t nX = static_cast<std::size_t>(m_nX);
        std::vector<FieldPtr> cols(nX + 1);
        for (std::size_t j = 1; j <= nX; ++j) cols[j] = out->Fields(m_columns[j]);
        FieldPtr calcType = out->Fields("CalcType");
        const bool oneTail = NamesEqual(m_tail, "1");
        CZValue z;
        for (int k = 1; k <= 9; ++k) {
            if (!switchOn(m_options, static_cast<std::size_t>(k - 1))) continue;
            const std::string label = Label(k, m_tail);
            for (std::size_t i = 1; i <= nX; ++i) {
                out->AddNew();
                WriteLeadFields(*out, m_nG, m_fields, m_prev, static_cast<std::int16_t>(m_nG + static_cast<std::int16_t>(i)),
                                "", "", false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
                calcType->SetValue(label);
                for (std::size_t j = 1; j <= nX; ++j) {
                    // The pair is kept once, as (a, b) with a >= b; the row
                    // field is the pair's first when i >= j.
                    const std::size_t a = i >= j ? i : j, b = i >= j ? j : i;
                    const CoMoments& p = pair(a, b);
                    const double sign = i >= j ? 1.0 : -1.0; // row minus column
                    const double W = p.SumW();
                    const std::int32_t n = p.Count();
                    if (k == 1) {
                        cols[j]->SetValue(W);
                        continue;
                    }
                    if (k == 2) {
                        cols[j]->SetValue(static_cast<double>(m_groupCount - n));
                        continue;
                    }
                    if (n <= 1) continue;
                    const double meanDiff = i == j ? 0.0 : p.MeanDifference(m_origin[a], m_origin[b]);
                    if (k == 3) {
                        cols[j]->SetValue(sign * meanDiff);
                    } else if (k == 6 || k == 7) {
                        if (auto r = p.Correlation()) cols[j]->SetValue(k == 6 ? *r : *r * *r);
                    } else if (W > 1) {
                        // Cdd/(W − 1) is Dd/((W − 1)·W) for Dd = W·Σw(d − d̄)²;
                        // its roots come from the scaled sums (data near 1e-300).
                        if (k == 5) {
                            cols[j]->SetValue(p.Cxy() / (W - 1));
                        } else if (p.DiffVaries()) {
                            const double t = meanDiff / p.DiffRoot(W - 1, W);
                            if (k == 4) cols[j]->SetValue(p.DiffRoot(W - 1));
                            else if (k == 8) cols[j]->SetValue(sign * t);
                            else {
                                const double prob = z.Quorb_CalcProb("T", t, W - 1, 0);
                                cols[j]->SetValue(oneTail ? prob / 2 : prob);
                            }
                        }
                    }
                }
                out->Update();
            }
        }
    } catch (...) {
        Fail(proc);
    }
}
