#include "analyses/descriptive/CCompare.h"

#include "engine/CZValue.h"
#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"
#include "scenario/CMelvarsScenario.h"

#include <cctype>
#include <cmath>
#include <limits>

using namespace dao;

namespace {

bool switchOn(const std::string& s, std::size_t i) {
    return i < s.size() && std::toupper(static_cast<unsigned char>(s[i])) == 'Y';
}

} // namespace

CCompare::CCompare(const Settings& settings) : AnalysisRoad(settings, "Quorb_Compare", "Compare"), m_s(settings) {}

std::string CCompare::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                   AnalysisType::Settings& out) {
    if (!base.bY) return "Y Field not assigned";
    Settings& a = NewSettings<Settings>(base, out);
    a.Switches = std::string(BoolToYN(s.CountXY())) + BoolToYN(s.MeanXY()) + BoolToYN(s.CorrXY()) + BoolToYN(s.TTest()) + "N";
    return {};
}

std::string CCompare::Steps() {
    std::string msg = OpenAndCreate(m_s.nG, true, [this] { return CreateOutput(); });
    if (Going(msg)) {
        m_pairs.assign(static_cast<std::size_t>(m_s.nX) + 1, PairSums{});
        AnalyzeGroups(m_s.nG);
    }
    return msg;
}

std::string CCompare::CreateOutput() {
    return Guard("CreateOutput", [&]() -> std::string {
        const std::string& options = m_s.Switches;
        m_count = switchOn(options, 0);
        m_mean = switchOn(options, 1);
        m_corr = switchOn(options, 2);
        m_tTest = switchOn(options, 3);
        m_chi = switchOn(options, 4);
        const std::string& y = m_s.fields[m_s.YPosition()];
        m_countColumn = LeftChars("Count_of_" + y, 64);

        TableDefPtr td = NewTable(m_s.OutputTable1);
        try {
            std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, m_s.bW,
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
        return PlaceOutput(td, true);
    });
}

void CCompare::InitData() {
    Guard("InitData", [&] {
        for (std::size_t i = 1; i < m_pairs.size(); ++i) {
            PairSums& p = m_pairs[i];
            p.xy.Clear();
            p.below = p.equal = p.above = 0;
            p.chiSum = p.chiCells = 0;
        }
        m_kySet = false;
    });
}

void CCompare::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        double y = 0;
        if (!Number(m_s.YPosition(), y)) return;
        if (!m_kySet) {
            m_ky.Set(y);
            m_kySet = true;
        }
        const double dy = m_ky.Deviation(y);
        const std::size_t first = m_s.XPosition();
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
            double x = 0;
            if (!Number(first + i - 1, x)) continue;
            PairSums& p = m_pairs[i];
            if (p.xy.Count() == 0) p.kx.Set(x);
            const double dev[2] = {p.kx.Deviation(x), dy};
            // Halves for deviations beyond a double (-1.5e308 from 1.7e308).
            const double half[2] = {p.kx.HalfDeviation(x), m_ky.HalfDeviation(y)};
            p.xy.AddDeviations(dev, w, half);
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
    });
}

void CCompare::WriteData() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        CZValue z;
        for (std::int16_t i = 1; i <= m_s.nX; ++i) {
            const PairSums& p = m_pairs[static_cast<std::size_t>(i)];
            const CrossProducts::Pair cm = p.xy.PairOf(0, 1);
            const double n = cm.SumW();
            out->AddNew();
            // "DataField" names the X field whose values the row holds: it
            // follows the group fields and any compare fields the scenario has.
            const auto xField = static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(i) - 1);
            m_outColumns.Write(out, m_s.nG, m_s.fields, GroupValues(), xField, m_countColumn,
                            "Missing", m_s.bW, n, GroupRecords(), cm.Count(), 0, Variant::Null(), Variant::Null());
            // A statistic beyond a double's range (the mean difference of
            // fields near 1.7e308 and -1.7e308, the chi-square of values
            // near 1e308) is left Null, and the rest of the row is written.
            auto put = [&](const std::string& name, double value) {
                if (std::isfinite(value)) m_outColumns.Column(out, name)->SetValue(value);
            };
            if (n > 0) {
                const double meanDiff = cm.MeanDifference(Moments::DecimalDifference(p.kx.Value(), m_ky.Value()));
                if (m_count) {
                    m_outColumns.Column(out, "Count<Y")->SetValue(p.below);
                    m_outColumns.Column(out, "Count=Y")->SetValue(p.equal);
                    m_outColumns.Column(out, "Count>Y")->SetValue(p.above);
                }
                if (m_mean) {
                    put("MeanX", cm.MeanX(p.kx.Value()));
                    put("MeanY", cm.MeanY(m_ky.Value()));
                    put("MeanDiff", meanDiff);
                }
                if (n > 1) {
                    // Variance of the difference: Cdd/(n − 1), which is
                    // D/((n − 1)·n) for D = n·Σwd² − (Σwd)².
                    // (worked out on the scaled sums, so that data near
                    // 1e-300 keep their deviation and t).
                    const bool varies = cm.DiffVaries();
                    if (m_mean && varies) put("StdDevDiff", cm.DiffRoot(n - 1));
                    if (m_corr) {
                        // Beyond a double's range (values near 1e154) it is left Null.
                        const double covariance = cm.Cxy(n - 1);
                        if (std::isfinite(covariance)) m_outColumns.Column(out, "Covariance")->SetValue(covariance);
                        if (auto r = cm.Correlation()) {
                            m_outColumns.Column(out, "Correlation")->SetValue(*r);
                            m_outColumns.Column(out, "R-Square")->SetValue(*r * *r);
                        }
                    }
                    if (m_tTest) {
                        m_outColumns.Column(out, "T-DF")->SetValue(n - 1);
                        const double se = varies ? cm.DiffRoot(n - 1, n) : 0.0;
                        if (varies && std::isfinite(se) && std::isfinite(meanDiff)) {
                            const double t = meanDiff / se;
                            const double prob = z.Quorb_CalcProb("T", t, n - 1, 0);
                            m_outColumns.Column(out, "Paired_t-Value")->SetValue(t);
                            m_outColumns.Column(out, "Prob_(1-Tail)")->SetValue(prob / 2);
                            m_outColumns.Column(out, "Prob_(2-Tail)")->SetValue(prob);
                        }
                    }
                    if (m_chi) {
                        m_outColumns.Column(out, "Chi-DF")->SetValue(p.chiCells - 1);
                        put("Chi-Square", p.chiSum);
                        if (p.chiSum > 0 && std::isfinite(p.chiSum)) {
                            m_outColumns.Column(out, "Chi-Prob")->SetValue(z.Quorb_CalcProb("C", p.chiSum, p.chiCells - 1, 0));
                            m_outColumns.Column(out, "Phi-Coeff")->SetValue(std::sqrt(p.chiSum / p.chiCells));
                            m_outColumns.Column(out, "Coef_of_Contingency")->SetValue(std::sqrt(p.chiSum / (p.chiCells + p.chiSum)));
                        }
                    }
                }
            }
            out->Update();
        }
    });
}
