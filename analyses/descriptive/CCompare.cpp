#include "analyses/descriptive/CCompare.h"

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

void CCompare::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Compare");
}

std::string CCompare::Quorb_Compare(std::string OutTableName, std::string strUserTable, FieldList& strFields,
                                    std::int16_t intGroupFields, std::int16_t intNumFields, bool fWeightField,
                                    std::string strOptions, VarnelloCore& engine) {
    m_Engine = &engine;
    ProcGuard proc(gEngineErr, "Quorb_Compare");
    std::string msg;
    bool queryOpened = false, outputMade = false;
    try {
        m_outTable = OutTableName;
        m_table = strUserTable;
        m_fields = strFields;
        m_nG = intGroupFields;
        m_nX = intNumFields;
        m_bWeight = fWeightField;
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

std::string CCompare::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        m_count = switchOn(m_options, 0);
        m_mean = switchOn(m_options, 1);
        m_corr = switchOn(m_options, 2);
        m_tTest = switchOn(m_options, 3);
        m_chi = switchOn(m_options, 4);
        const std::string& y = m_fields[static_cast<std::size_t>(m_nG + m_nX + 1)];
        m_countColumn = ("Count_of_" + y).substr(0, 64);

        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_outTable);
        try {
            std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, m_bWeight,
                                                m_countColumn, "Missing");
            auto add = [&](std::initializer_list<const char*> names) {
                for (const char* name : names) AddTableField(td, name, dbDouble, ord, 0);
            };
            if (m_count) add({"Count<Y", "Count=Y", "Count>Y"});
            if (m_mean) add({"MeanX", "MeanY", "MeanDiff", "StdDevDiff"});
            if (m_corr) add({"Covariance", "Correlation", "R-Square"});
            if (m_tTest) add({"T-DF", "Paired_t-Value", "Prob_(1-tail)", "Prob_(2-tail)"});
            if (m_chi) add({"Chi-DF", "Chi-Square", "Chi-Prob", "Phi-Coeff", "Coef_of_Contingency"});
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

void CCompare::ReadRecords() {
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
        m_yCol = rs->Fields(m_fields[nG + nX + 1]);
        m_weightCol = m_bWeight ? rs->Fields(m_fields[nG + nX + 2]) : nullptr;
        m_pairs.assign(nX + 1, PairSums{});

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

void CCompare::InitData() {
    ProcGuard proc(gEngineErr, "InitData");
    try {
        for (std::size_t i = 1; i < m_pairs.size(); ++i) m_pairs[i] = PairSums{};
        m_kySet = false;
        m_groupCount = 0;
    } catch (...) {
        Fail(proc);
    }
}

void CCompare::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        VarnelloCore& eng = *m_Engine;
        const double w = m_weightCol ? eng.WeightOf(m_weightCol->Value()) : 1.0;
        if (!(w > 0)) return;
        Variant yv = m_yCol->Value();
        if (yv.IsNull()) return;
        const double y = yv.ToDouble();
        if (!eng.Quorb_DataOk_b(y, false)) return;
        if (!m_kySet) {
            m_ky.Set(y);
            m_kySet = true;
        }
        const double dy = m_ky.Deviation(y);
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_nX); ++i) {
            Variant xv = m_dataCols[i]->Value();
            if (xv.IsNull()) continue;
            const double x = xv.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            PairSums& p = m_pairs[i];
            if (p.cm.Count() == 0) p.kx.Set(x);
            p.cm.Add(p.kx.Deviation(x), dy, w);
            if (x < y) p.below += w;
            else if (x == y) p.equal += w;
            else p.above += w;
            if (m_chi) {
                if (y != 0) {
                    const double d = Moments::DecimalDifference(x, y);
                    p.chiCells += 1;
                    p.chiSum += d * d / y;
                } else if (x == 0) {
                    p.chiCells += 1;
                }
            }
        }
    } catch (...) {
        Fail(proc);
    }
}

void CCompare::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr out = eng.OutputRecordset();
        CZValue z;
        for (std::int16_t i = 1; i <= m_nX; ++i) {
            const PairSums& p = m_pairs[static_cast<std::size_t>(i)];
            const CoMoments& cm = p.cm;
            const double n = cm.SumW();
            out->AddNew();
            WriteLeadFields(*out, m_nG, m_fields, m_prev, static_cast<std::int16_t>(m_nG + i), m_countColumn, "Missing",
                            m_bWeight, n, m_groupCount, cm.Count(), 0, Variant::Null(), Variant::Null());
            if (n > 0) {
                const double meanDiff = cm.MeanDifference(p.kx, m_ky);
                if (m_count) {
                    out->Fields("Count<Y")->SetValue(p.below);
                    out->Fields("Count=Y")->SetValue(p.equal);
                    out->Fields("Count>Y")->SetValue(p.above);
                }
                if (m_mean) {
                    out->Fields("MeanX")->SetValue(p.kx.Value() + cm.MeanDx());
                    out->Fields("MeanY")->SetValue(m_ky.Value() + cm.MeanDy());
                    out->Fields("MeanDiff")->SetValue(meanDiff);
                }
                if (n > 1) {
                    // Variance of the difference: Cdd/(n − 1), which is
                    // D/((n − 1)·n) for D = n·Σwd² − (Σwd)².
                    // (worked out on the scaled sums, so that data near
                    // 1e-300 keep their deviation and t).
                    const bool varies = cm.DiffVaries();
                    if (m_mean && varies) out->Fields("StdDevDiff")->SetValue(cm.DiffRoot(n - 1));
                    if (m_corr) {
                        out->Fields("Covariance")->SetValue(cm.Cxy() / (n - 1));
                        if (auto r = cm.Correlation()) {
                            out->Fields("Correlation")->SetValue(*r);
                            out->Fields("R-Square")->SetValue(*r * *r);
                        }
                    }
                    if (m_tTest) {
                        out->Fields("T-DF")->SetValue(n - 1);
                        if (varies) {
                            const double t = meanDiff / cm.DiffRoot(n - 1, n);
                            const double prob = z.Quorb_CalcProb("T", t, n - 1, 0);
                            out->Fields("Paired_t-Value")->SetValue(t);
                            out->Fields("Prob_(1-Tail)")->SetValue(prob / 2);
                            out->Fields("Prob_(2-Tail)")->SetValue(prob);
                        }
                    }
                    if (m_chi) {
                        out->Fields("Chi-DF")->SetValue(p.chiCells - 1);
                        out->Fields("Chi-Square")->SetValue(p.chiSum);
                        if (p.chiSum > 0) {
                            out->Fields("Chi-Prob")->SetValue(z.Quorb_CalcProb("C", p.chiSum, p.chiCells - 1, 0));
                            out->Fields("Phi-Coeff")->SetValue(std::sqrt(p.chiSum / p.chiCells));
                            out->Fields("Coef_of_Contingency")->SetValue(std::sqrt(p.chiSum / (p.chiCells + p.chiSum)));
                        }
                    }
                }
            }
            out->Update();
        }
    } catch (...) {
        Fail(proc);
    }
}
