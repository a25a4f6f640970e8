#include "analyses/descriptive/CCorrMatrix.h"

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

CCorrMatrix::CCorrMatrix(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_Matrix", "Matrix"), m_s(settings), m_options(settings.Switches),
      m_tail(settings.ProbTail) {}

std::string CCorrMatrix::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                      AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.ProbTail = s.MProbTail().substr(0, 1);
    a.Switches = std::string(BoolToYN(s.MCnt())) + BoolToYN(s.MMis()) + BoolToYN(s.MMean()) + BoolToYN(s.MDev()) + BoolToYN(s.MCov()) +
                  BoolToYN(s.MCor()) + BoolToYN(s.MR2()) + BoolToYN(s.MT()) + BoolToYN(s.MProb());
    return {};
}

std::string CCorrMatrix::Steps() {
    std::string msg = OpenAndCreate(m_s.nG, true, [this] { return CreateOutput(); });
    if (Going(msg)) {
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        m_sums.Reset(static_cast<int>(nX));
        m_origin.assign(nX + 1, Moments::Origin{});
        m_originSet.assign(nX + 1, 0);
        m_present.assign(nX, 0);
        m_dev.assign(nX, 0.0);
        m_half.assign(nX, 0.0);
        AnalyzeGroups(m_s.nG);
    }
    return msg;
}

std::string CCorrMatrix::CreateOutput() {
    return Guard("CreateOutput", [&]() -> std::string {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        m_columns.assign(static_cast<std::size_t>(m_s.nX) + 1, std::string());
        try {
            std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, false, "", "");
            AddTableField(td, "CalcType", dbText, ord, 13);
            // A column name holds at most 64 characters; two fields whose
            // names agree in their first 64 (or a field named like a group
            // field, "DataField" or "CalcType") cannot both have a column.
            for (std::int16_t i = 1; i <= m_s.nX; ++i) {
                // Named after the X field read into it (after the group
                // fields and any compare fields the scenario has).
                std::string name = LeftChars(m_s.fields[m_s.XPosition() + static_cast<std::size_t>(i) - 1], 64);
                m_columns[static_cast<std::size_t>(i)] = name;
                AddTableField(td, name, dbDouble, ord, 0);
            }
        } catch (const RunTimeError& e) {
            return e.Description();
        }
        return PlaceOutput(td, true);
    });
}

void CCorrMatrix::InitData() {
    Guard("InitData", [&] {
        m_sums.Clear();
        std::fill(m_originSet.begin(), m_originSet.end(), 0);
    });
}

void CCorrMatrix::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        const std::size_t first = m_s.XPosition();
        for (std::size_t a = 1; a <= nX; ++a) {
            m_present[a - 1] = 0;
            double x = 0;
            if (!Number(first + a - 1, x)) continue;
            if (!m_originSet[a]) {
                m_origin[a].Set(x);
                m_originSet[a] = 1;
            }
            m_present[a - 1] = 1;
            m_dev[a - 1] = m_origin[a].Deviation(x);
            // For a deviation beyond a double (-1.5e308 from 1.7e308).
            m_half[a - 1] = m_origin[a].HalfDeviation(x);
        }
        m_sums.AddDeviations(m_dev.data(), m_present.data(), w, m_half.data());
    });
}

void CCorrMatrix::WriteData() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        std::vector<FieldPtr> cols(nX + 1);
        for (std::size_t j = 1; j <= nX; ++j) cols[j] = out->Fields(m_columns[j]);
        FieldPtr calcType = out->Fields("CalcType");
        const bool oneTail = NamesEqual(m_tail, "1");
        // Each pair once, as (a, b) with a >= b, in the lower triangle.
        m_pairView.clear();
        for (std::size_t a = 1; a <= nX; ++a)
            for (std::size_t b = 1; b <= a; ++b)
                m_pairView.push_back(m_sums.PairOf(static_cast<int>(a) - 1, static_cast<int>(b) - 1));
        CZValue z;
        for (int k = 1; k <= 9; ++k) {
            if (!switchOn(m_options, static_cast<std::size_t>(k - 1))) continue;
            const std::string label = Label(k, m_tail);
            for (std::size_t i = 1; i <= nX; ++i) {
                out->AddNew();
                m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(),
                                static_cast<std::int16_t>(m_s.XPosition() + i - 1), "", "", false, 0, 0, 0,
                                0, Variant::Null(), Variant::Null());
                calcType->SetValue(label);
                for (std::size_t j = 1; j <= nX; ++j) {
                    // The row field is the pair's first when i >= j.
                    const std::size_t a = i >= j ? i : j, b = i >= j ? j : i;
                    const CrossProducts::Pair& p = m_pairView[a * (a - 1) / 2 + b - 1];
                    const double sign = i >= j ? 1.0 : -1.0; // row minus column
                    const double W = p.SumW();
                    const std::int64_t n = p.Count();
                    if (k == 1) {
                        cols[j]->SetValue(W);
                        continue;
                    }
                    if (k == 2) {
                        cols[j]->SetValue(static_cast<double>(GroupRecords() - n));
                        continue;
                    }
                    if (n <= 1) continue;
                    const double meanDiff =
                        i == j ? 0.0 : p.MeanDifference(Moments::DecimalDifference(m_origin[a].Value(), m_origin[b].Value()));
                    // A mean difference or deviation beyond a double's range
                    // (fields near 1.7e308 and -1.7e308) is left Null.
                    if (k == 3) {
                        if (std::isfinite(meanDiff)) cols[j]->SetValue(sign * meanDiff);
                    } else if (k == 6 || k == 7) {
                        if (auto r = p.Correlation()) cols[j]->SetValue(k == 6 ? *r : *r * *r);
                    } else if (W > 1) {
                        // Cdd/(W − 1) is Dd/((W − 1)·W) for Dd = W·Σw(d − d̄)²;
                        // its roots come from the scaled sums (data near 1e-300).
                        if (k == 5) {
                            // Beyond a double's range (values near 1e154) it is left Null.
                            const double covariance = p.Cxy(W - 1);
                            if (std::isfinite(covariance)) cols[j]->SetValue(covariance);
                        } else if (p.DiffVaries()) {
                            const double se = p.DiffRoot(W - 1, W);
                            const double t = meanDiff / se;
                            if (k == 4) {
                                const double deviation = p.DiffRoot(W - 1);
                                if (std::isfinite(deviation)) cols[j]->SetValue(deviation);
                            } else if (!std::isfinite(se) || !std::isfinite(t)) {
                                continue;
                            } else if (k == 8) cols[j]->SetValue(sign * t);
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
    });
}
