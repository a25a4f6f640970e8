#include "analyses/nonparametric/CNonParametric.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <algorithm>
#include <cmath>

using namespace dao;

namespace {

constexpr const char* StageTable = "statTemp1";

// Two-sided normal tail 1 − P(−|z| < Z < |z|).
double twoSided(CZValue& zv, double z) { return Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(z), 0, 0)); }

} // namespace

void CNonParametric::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Paired Fields");
}

double CNonParametric::KendallScore(std::vector<Ranked> rows) {
    std::sort(rows.begin(), rows.end(), [](const Ranked& a, const Ranked& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    std::vector<double> ys;
    ys.reserve(rows.size());
    for (const auto& r : rows) ys.push_back(r.y);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    // Weights of the rows already passed, by the rank of their y (a Fenwick tree).
    std::vector<double> tree(ys.size() + 1, 0.0);
    auto add = [&](std::size_t i, double w) {
        for (; i < tree.size(); i += i & (~i + 1)) tree[i] += w;
    };
    auto below = [&](std::size_t i) { // weight of the y ranks 1 .. i
        double s = 0;
        for (; i > 0; i -= i & (~i + 1)) s += tree[i];
        return s;
    };
    auto index = [&](double y) {
        return static_cast<std::size_t>(std::lower_bound(ys.begin(), ys.end(), y) - ys.begin()) + 1;
    };
    double S = 0, passed = 0;
    std::size_t a = 0;
    while (a < rows.size()) {
        std::size_t b = a;
        while (b < rows.size() && rows[b].x == rows[a].x) ++b;
        // Rows of equal x pair with every earlier row of smaller x; among themselves they are tied.
        for (std::size_t r = a; r < b; ++r) {
            const std::size_t iy = index(rows[r].y);
            const double lower = below(iy - 1), higher = passed - below(iy);
            S += rows[r].w * (lower - higher);
        }
        for (std::size_t r = a; r < b; ++r) {
            add(index(rows[r].y), rows[r].w);
            passed += rows[r].w;
        }
        a = b;
    }
    return S;
}

bool CNonParametric::SignTest(double below, double above, double& Z, double& prob) {
    const double n = below + above;
    if (!(n > 0)) return false;
    const double m = below > above ? below : above;
    Z = Moments::DecimalDifference(Moments::DecimalDifference(m, n / 2), 0.5) / (0.5 * std::sqrt(n));
    CZValue zv;
    prob = twoSided(zv, Z);
    return true;
}

void CNonParametric::Quorb_NonParametric(std::string OutputTable, std::string Table, FieldList& Fields,
                                         std::int16_t G, std::int16_t K, std::int16_t YIndex, bool bWeighted,
                                         bool bMedian, const std::vector<double>& medians, bool bSign, bool bWilcoxon,
                                         bool bSpearman, bool bTau, bool bChi, RunContext& Engine, std::string& message) {
    message.clear();
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_NonParametric");
    bool outputMade = false;
    try {
        m_out = OutputTable;
        m_table = Table;
        m_fields = Fields;
        m_G = G;
        m_K = K;
        m_Y = YIndex;
        m_weighted = bWeighted;
        m_median = bMedian;
        m_medians = medians;
        m_medians.resize(static_cast<std::size_t>(K) + 1, 0.0);
        m_sign = bSign;
        m_wilcoxon = bWilcoxon;
        m_spearman = bSpearman;
        m_tau = bTau;
        m_chi = bChi;
        if (m_Y < 1) message = "Y Field not assigned";
        if (message.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            message = OpenData();
        }
        if (message.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            message = CreateOutput();
            outputMade = message.empty() && !Failed();
        }
        if (message.empty() && !Failed()) {
            m_stage = m_wilcoxon || m_spearman || m_tau;
            if (m_stage && (!Engine.Quorb_UTIL_MakeTempDB() || !Engine.TempDatabase()))
                message = "Temp database could not be created";
        }
        if (message.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            ReadInKeptTransaction([&] { ReadRecords(); });
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_stageRS) m_stageRS->Close();
        m_stageRS.reset();
        if (m_tableExists) Engine.Quorb_DeleteTable(true, StageTable);
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
        if (auto rs = Engine.DataRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (message.empty() && Failed()) message = m_error;
    m_Engine = nullptr;
}

std::string CNonParametric::OpenData() {
    return m_Engine->Quorb_InitDataTable(m_table, m_fields, m_G, m_types, m_sizes);
}

std::string CNonParametric::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out);
        m_countColumn = ("Count_of_" + m_fields[static_cast<std::size_t>(m_Y)]).substr(0, 64);
        std::int16_t ord =
            CreateLeadFields(td, m_G, m_fields, m_types, m_sizes, true, 0, 0, m_weighted, m_countColumn, "Missing");
        std::vector<const char*> cols = {"Mean", "MeanY", "MeanDiff", "Count<Y", "Count=Y", "Count>Y", "Pearson's_R"};
        if (m_median)
            cols.insert(cols.end(), {"SignTestMedian", "SignTestCount_<_Median", "SignTestCount_=_Median",
                                     "SignTestCount_>_Median", "SignProb_<=_Median", "SignProb_>=_Median"});
        if (m_sign) cols.insert(cols.end(), {"SignZ", "SignProb"});
        if (m_wilcoxon)
            cols.insert(cols.end(), {"Wilcoxon_Neg_SumRank", "Wilcoxon_Pos_SumRank", "Wilcoxon_Neg_MeanRank",
                                     "Wilcoxon_Pos_MeanRank", "Wilcoxon_Z", "Wilcoxon_Prob"});
        if (m_spearman || m_tau) cols.insert(cols.end(), {"TiedGroups_X", "TiedGroups_Y"});
        if (m_spearman)
            cols.insert(cols.end(), {"Spearman", "Spearman_t", "Spearman_Prob", "Spearman_(ties)", "Spearman_t_(ties)",
                                     "Spearman_Prob_(ties)"});
        if (m_tau)
            cols.insert(cols.end(),
                        {"Tau_Score", "Tau", "Tau_Z", "Tau_Prob", "Tau_(ties)", "Tau_Z_(ties)", "Tau_Prob_(ties)"});
        if (m_chi)
            cols.insert(cols.end(), {"Chi-DF", "Chi-Square", "Chi-Prob", "Phi-Coefficient", "Coef_of_Contingency"});
        for (const char* c : cols) AddTableField(td, c, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CNonParametric::CreateTemp() {
    RunContext& eng = *m_Engine;
    if (m_stageRS) {
        m_stageRS->Close();
        m_stageRS.reset();
    }
    CreateWorkTable(eng.TempDatabase(), StageTable,
                    {{"Field", dbLong}, {"X", dbDouble}, {"Y", dbDouble}, {"Absolute", dbDouble}, {"Weight", dbDouble}});
    m_tableExists = true;
    m_stageRS = eng.TempDatabase()->OpenRecordset(StageTable, dbOpenTable, dbAppendOnly);
    m_sField = m_stageRS->Fields("Field");
    m_sX = m_stageRS->Fields("X");
    m_sY = m_stageRS->Fields("Y");
    m_sAbs = m_stageRS->Fields("Absolute");
    m_sWeight = m_stageRS->Fields("Weight");
}

void CNonParametric::InitData() {
    m_sums.assign(static_cast<std::size_t>(m_K) + 1, FieldSums());
    m_groupRecords = 0;
    if (m_stage) CreateTemp();
}

void CNonParametric::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t G = static_cast<std::size_t>(m_G), K = static_cast<std::size_t>(m_K);
        std::vector<FieldPtr> keys(G + 1);
        for (std::size_t i = 1; i <= G; ++i) keys[i] = rs->Fields(m_fields[i]);
        m_xCols.assign(K + 1, nullptr);
        for (std::size_t i = 1; i <= K; ++i) m_xCols[i] = rs->Fields(m_fields[G + i]);
        m_yCol = rs->Fields(m_fields[static_cast<std::size_t>(m_Y)]);
        m_wCol = m_weighted ? rs->Fields(m_fields[static_cast<std::size_t>(m_Y) + 1]) : nullptr;
        std::vector<Variant> stored(G + 1, Variant::Null()), key(G + 1, Variant::Null());
        InitData();
        std::int64_t counter = 0;
        while (!rs->EOF_() && !Failed()) {
            for (std::size_t i = 1; i <= G; ++i) key[i] = keys[i]->Value();
            if (eng.Quorb_SameRecords_b(m_G, counter != 0, stored, key)) {
                eng.Quorb_Msg(static_cast<long>(counter), true, "");
                WriteData(stored);
                stored = key;
                InitData();
            }
            CalcData();
            ++counter;
            ++m_groupRecords;
            eng.Quorb_Msg(static_cast<long>(counter), false, "");
            rs->MoveNext();
        }
        if (Failed()) return;
        eng.Quorb_Msg(static_cast<long>(counter), true, "");
        if (counter > 0) WriteData(stored);
    } catch (...) {
        Fail(proc);
    }
}

void CNonParametric::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        RunContext& eng = *m_Engine;
        double w = 1;
        if (m_weighted) {
            Variant v = m_wCol->Value();
            w = v.IsNull() ? 0.0 : v.ToDouble();
            if (NamesEqual(eng.MissingRule(), "Equal") && w == eng.MissingEqualValue()) w = 0;
        }
        if (!(w > 0)) return;
        Variant yv = m_yCol->Value();
        if (yv.IsNull()) return;
        const double y = yv.ToDouble();
        if (!eng.Quorb_DataOk_b(y, false)) return;
        for (std::int16_t i = 1; i <= m_K; ++i) {
            Variant xv = m_xCols[static_cast<std::size_t>(i)]->Value();
            if (xv.IsNull()) continue;
            const double x = xv.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            FieldSums& s = m_sums[static_cast<std::size_t>(i)];
            // Sums about the field's first pair: a large common offset does
            // not cost digits.
            const double v[2] = {x, y};
            s.xy.Add(v, w);
            s.N += 1;
            s.n += w;
            if (x < y) s.below += w;
            else if (x == y) s.equal += w;
            else s.above += w;
            if (m_median) {
                const double m = m_medians[static_cast<std::size_t>(i)];
                if (x < m) s.mBelow += w;
                else if (x == m) s.mEqual += w;
                else s.mAbove += w;
            }
            if (m_stage) {
                m_stageRS->AddNew();
                m_sField->SetValue(static_cast<std::int32_t>(i));
                m_sX->SetValue(x);
                m_sY->SetValue(y);
                m_sAbs->SetValue(std::fabs(Moments::DecimalDifference(x, y)));
                m_sWeight->SetValue(w);
                m_stageRS->Update();
            }
            if (m_chi) {
                if (y == 0) {
                    if (x == 0) s.chiCount += w;
                    else s.chiValid = false;
                } else {
                    const double d = Moments::DecimalDifference(x, y);
                    s.chiCount += w;
                    s.chiSum += w * (d * d / y);
                }
            }
        }
    } catch (...) {
        Fail(proc);
    }
}

// Signed ranks of the absolute differences (pairs with x = y left out); a
// pair takes as many rank positions as the whole part of its weight.
CNonParametric::Wilcoxon CNonParametric::CalcWilcoxon(std::int64_t i) {
    ProcGuard proc(gEngineErr, "CalcWilcoxon");
    Wilcoxon r;
    try {
        RecordsetPtr rs = m_Engine->TempDatabase()->OpenRecordset(
            "SELECT [X], [Y], [Absolute], [Weight] FROM " + std::string(StageTable) + " WHERE (([Field] = " +
                std::to_string(i) + ") AND ([Absolute] > 0) AND ([Weight] >= 1)) ORDER BY [Absolute];",
            dbOpenSnapshot);
        FieldPtr fx = rs->Fields("X"), fy = rs->Fields("Y"), fa = rs->Fields("Absolute"), fw = rs->Fields("Weight");
        struct Item {
            double k;
            bool positive;
        };
        std::vector<Item> run;
        double p = 0; // last rank position used
        double current = 0;
        auto close = [&] {
            double t = 0;
            for (const auto& it : run) t += it.k;
            if (t > 0) {
                const double sum = (2 * (p + 1) + t - 1) * t / 2;
                const double mean = sum / t;
                for (const auto& it : run) {
                    if (it.positive) {
                        r.posCount += it.k;
                        r.posSum += it.k * mean;
                    } else {
                        r.negCount += it.k;
                        r.negSum += it.k * mean;
                    }
                }
                p += t;
            }
            run.clear();
        };
        while (!rs->EOF_()) {
            const double a = fa->Value().ToDouble();
            if (!run.empty() && a != current) close();
            current = a;
            run.push_back({std::floor(fw->Value().ToDouble()),
                           Moments::DecimalDifference(fx->Value().ToDouble(), fy->Value().ToDouble()) > 0});
            rs->MoveNext();
        }
        close();
        rs->Close();
        const double n = r.negCount + r.posCount;
        if (n > 0) {
            const double T = r.posSum <= r.negSum ? r.posSum : r.negSum;
            const double mean = (n + 1) * n / 4, sd = std::sqrt((n + 1) * n * (2 * n + 1) / 24);
            CZValue zv;
            r.Z = Moments::DecimalDifference(T, mean) / sd;
            r.prob = twoSided(zv, r.Z);
            r.tested = true;
        }
    } catch (...) {
        Fail(proc);
    }
    return r;
}

CNonParametric::Rank CNonParametric::CalcSpearmanTauKS(std::int64_t i) {
    ProcGuard proc(gEngineErr, "CalcSpearmanTauKS");
    Rank r;
    try {
        // The field's pairs in the order of x, read once; the mid-ranks of x
        // and of y are the engine's ranking of the values held in memory.
        RecordsetPtr rs = m_Engine->TempDatabase()->OpenRecordset(
            "SELECT [X], [Y], [Weight] FROM " + std::string(StageTable) + " WHERE (([Field] = " + std::to_string(i) +
                ") AND ([Weight] >= 1)) ORDER BY [X];",
            dbOpenSnapshot);
        std::vector<double> xs, ys, ws;
        {
            FieldPtr fx = rs->Fields("X"), fy = rs->Fields("Y"), fw = rs->Fields("Weight");
            while (!rs->EOF_()) {
                xs.push_back(fx->Value().ToDouble());
                ys.push_back(fy->Value().ToDouble());
                ws.push_back(fw->Value().ToDouble());
                rs->MoveNext();
            }
        }
        rs->Close();
        const std::size_t m = xs.size();
        double tx[6], ty[6];
        std::vector<double> xRank, yRankSorted;
        RankWithTies(xs, ws, true, xRank, tx[0], tx[1], tx[2], tx[3], tx[4], tx[5]);
        std::vector<std::size_t> byY(m);
        for (std::size_t j = 0; j < m; ++j) byY[j] = j;
        std::stable_sort(byY.begin(), byY.end(), [&](std::size_t a, std::size_t b) { return ys[a] < ys[b]; });
        std::vector<double> ySorted(m), wSorted(m), yRank(m);
        for (std::size_t j = 0; j < m; ++j) {
            ySorted[j] = ys[byY[j]];
            wSorted[j] = ws[byY[j]];
        }
        RankWithTies(ySorted, wSorted, true, yRankSorted, ty[0], ty[1], ty[2], ty[3], ty[4], ty[5]);
        for (std::size_t j = 0; j < m; ++j) yRank[byY[j]] = yRankSorted[j];
        r.tiesX = tx[2];
        r.tiesY = ty[2];
        std::vector<Ranked> rows;
        double n = 0, D = 0;
        for (std::size_t j = 0; j < m; ++j) {
            const double k = std::floor(ws[j]);
            const double d = Moments::DecimalDifference(xRank[j], yRank[j]);
            n += k;
            D += k * d * d;
            if (m_tau) rows.push_back({xRank[j], yRank[j], k});
        }
        r.n = n;
        // A field whose values are all one (a single tie run over every rank
        // position) has no rank variance: rho, t and their probabilities are
        // undefined for it, with or without the ties' correction.
        const double n3 = Moments::DecimalDifference(n * n * n, n);
        const double Sx = Moments::DecimalDifference(n3, tx[1]) / 12, Sy = Moments::DecimalDifference(n3, ty[1]) / 12;
        r.rhoDefined = Sx > 0 && Sy > 0;
        if (m_spearman && n > 1 && r.rhoDefined) {
            r.rho = Moments::DecimalDifference(1.0, 6 * D / ((n * n - 1) * n));
            if (std::fabs(r.rho) >= 1) r.tInfinite = true;
            else if (n > 2) r.t = r.rho * std::sqrt((n - 2) / (1 - r.rho * r.rho));
            r.rhoTies = r.rho;
            r.tTies = r.t;
            r.tTiesInfinite = r.tInfinite;
            if (tx[0] + ty[0] > 0) {
                r.rhoTies = Moments::DecimalDifference(Sx + Sy, D) / (2 * std::sqrt(Sx * Sy));
                r.tTiesInfinite = std::fabs(r.rhoTies) >= 1;
                r.tTies = 0;
                if (!r.tTiesInfinite && n > 2) r.tTies = r.rhoTies * std::sqrt((n - 2) / (1 - r.rhoTies * r.rhoTies));
            }
        }
        if (m_tau && n > 1) {
            r.S = KendallScore(std::move(rows));
            const double q = n * n - n;
            const double A = tx[4], B = ty[4], C = tx[3], E = ty[3], F = tx[5], H = ty[5];
            r.tau = 2 * r.S / q;
            r.tauOk = true;
            // With n = 2 the terms over n − 2 have no value: Z stays empty.
            if (n > 2) {
                const double v = A * B / (9 * q * (n - 2)) + (2 * n + 5) * q / 18;
                if (v > 0) {
                    r.Z = r.S / std::sqrt(v);
                    r.ZOk = true;
                }
                const double vt = ((2 * n + 5) * q - F - H) / 18 + A * B / (9 * q * (n - 2)) + C * E / (2 * q);
                if (vt > 0) {
                    r.ZTies = r.S / std::sqrt(vt);
                    r.ZTiesOk = true;
                }
            }
            const double qx = Moments::DecimalDifference(q, C), qy = Moments::DecimalDifference(q, E);
            if (qx > 0 && qy > 0) {
                r.tauTies = 2 * r.S / (std::sqrt(qy) * std::sqrt(qx));
                r.tauTiesOk = true;
            }
        }
        r.done = true;
    } catch (...) {
        Fail(proc);
    }
    return r;
}

void CNonParametric::WriteData(const std::vector<Variant>& groupValues) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        RunContext& eng = *m_Engine;
        if (m_stageRS) {
            m_stageRS->Close();
            m_stageRS.reset();
        }
        CZValue zv;
        RecordsetPtr out = eng.OutputRecordset();
        for (std::int16_t i = 1; i <= m_K && !Failed(); ++i) {
            const FieldSums& s = m_sums[static_cast<std::size_t>(i)];
            const double n = s.n;
            const CrossProducts::Pair xy = s.xy.PairOf(0, 1);
            const std::string& name = m_fields[static_cast<std::size_t>(m_G + i)];
            Wilcoxon wx;
            Rank rk;
            if (m_stage) {
                DBEngine().Workspaces(0)->CommitTrans();
                DBEngine().Workspaces(0)->BeginTrans();
                if (m_wilcoxon) {
                    eng.Quorb_Msg(0, true, "Calculating Wilcoxon for [" + name + "]");
                    wx = CalcWilcoxon(i);
                }
                if (n > 1 && (m_spearman || m_tau)) {
                    eng.Quorb_Msg(0, true, "Calculating Spearman for [" + name + "]");
                    rk = CalcSpearmanTauKS(i);
                }
                DBEngine().Workspaces(0)->CommitTrans();
                DBEngine().Workspaces(0)->BeginTrans();
            }
            out->AddNew();
            WriteLeadFields(*out, m_G, m_fields, groupValues, static_cast<std::int16_t>(m_G + i), m_countColumn,
                            "Missing", m_weighted, n, static_cast<long>(m_groupRecords), static_cast<long>(s.N), 0,
                            Variant::Null(), Variant::Null());
            // Counts summed exactly and brought to whole numbers once.
            const double below = std::nearbyint(s.below), equal = std::nearbyint(s.equal),
                         above = std::nearbyint(s.above);
            if (n > 0) {
                const double kx = s.xy.Origin(0), ky = s.xy.Origin(1);
                out->Fields("Mean")->SetValue(xy.MeanX(kx));
                out->Fields("MeanY")->SetValue(xy.MeanY(ky));
                out->Fields("MeanDiff")->SetValue(xy.MeanDifference(Moments::DecimalDifference(kx, ky)));
                out->Fields("Count<Y")->SetValue(below);
                out->Fields("Count=Y")->SetValue(equal);
                out->Fields("Count>Y")->SetValue(above);
                if (auto r = xy.Correlation()) out->Fields("Pearson's_R")->SetValue(*r);
            }
            if (m_median) {
                out->Fields("SignTestMedian")->SetValue(m_medians[static_cast<std::size_t>(i)]);
                out->Fields("SignTestCount_<_Median")->SetValue(std::nearbyint(s.mBelow));
                out->Fields("SignTestCount_=_Median")->SetValue(std::nearbyint(s.mEqual));
                out->Fields("SignTestCount_>_Median")->SetValue(std::nearbyint(s.mAbove));
            }
            if (m_sign) {
                // Without a pair that differs there is no sign test: the columns stay empty.
                double Z = 0, prob = 0;
                if (SignTest(below, above, Z, prob)) {
                    out->Fields("SignZ")->SetValue(Z);
                    out->Fields("SignProb")->SetValue(prob);
                }
            }
            if (m_wilcoxon) {
                out->Fields("Wilcoxon_Neg_SumRank")->SetValue(wx.negSum);
                out->Fields("Wilcoxon_Pos_SumRank")->SetValue(wx.posSum);
                if (wx.negCount > 0) out->Fields("Wilcoxon_Neg_MeanRank")->SetValue(wx.negSum / wx.negCount);
                if (wx.posCount > 0) out->Fields("Wilcoxon_Pos_MeanRank")->SetValue(wx.posSum / wx.posCount);
                if (wx.tested) {
                    out->Fields("Wilcoxon_Z")->SetValue(wx.Z);
                    out->Fields("Wilcoxon_Prob")->SetValue(wx.prob);
                }
            }
            // Whole weights that leave fewer than two rank positions give no rank statistics.
            if (n > 1 && (m_spearman || m_tau) && rk.done && rk.n > 1) {
                out->Fields("TiedGroups_X")->SetValue(rk.tiesX);
                out->Fields("TiedGroups_Y")->SetValue(rk.tiesY);
                const double df = n - 2;
                if (m_spearman && rk.rhoDefined) {
                    out->Fields("Spearman")->SetValue(rk.rho);
                    out->Fields("Spearman_(ties)")->SetValue(rk.rhoTies);
                    // A perfect rank agreement has probability 0; without degrees of freedom there is none.
                    if (df > 0) {
                        if (rk.tInfinite) {
                            out->Fields("Spearman_Prob")->SetValue(0.0);
                        } else {
                            out->Fields("Spearman_t")->SetValue(rk.t);
                            out->Fields("Spearman_Prob")->SetValue(zv.Quorb_CalcProb("T", rk.t, df, 0));
                        }
                        if (rk.tTiesInfinite) {
                            out->Fields("Spearman_Prob_(ties)")->SetValue(0.0);
                        } else {
                            out->Fields("Spearman_t_(ties)")->SetValue(rk.tTies);
                            out->Fields("Spearman_Prob_(ties)")->SetValue(zv.Quorb_CalcProb("T", rk.tTies, df, 0));
                        }
                    }
                }
                if (m_tau) {
                    out->Fields("Tau_Score")->SetValue(rk.S);
                    if (rk.tauOk) out->Fields("Tau")->SetValue(rk.tau);
                    if (rk.ZOk) {
                        out->Fields("Tau_Z")->SetValue(rk.Z);
                        out->Fields("Tau_Prob")->SetValue(twoSided(zv, rk.Z));
                    }
                    if (rk.tauTiesOk) out->Fields("Tau_(ties)")->SetValue(rk.tauTies);
                    if (rk.ZTiesOk) {
                        out->Fields("Tau_Z_(ties)")->SetValue(rk.ZTies);
                        out->Fields("Tau_Prob_(ties)")->SetValue(twoSided(zv, rk.ZTies));
                    }
                }
            }
            if (m_chi && n > 0 && s.chiValid) {
                out->Fields("Chi-DF")->SetValue(s.chiCount - 1);
                out->Fields("Chi-Square")->SetValue(s.chiSum);
                if (s.chiSum > 0) {
                    out->Fields("Chi-Prob")->SetValue(zv.Quorb_CalcProb("C", s.chiSum, s.chiCount - 1, 0));
                    out->Fields("Phi-Coefficient")->SetValue(std::sqrt(s.chiSum / s.chiCount));
                    out->Fields("Coef_of_Contingency")->SetValue(std::sqrt(s.chiSum / (s.chiCount + s.chiSum)));
                }
            }
            out->Update();
        }
    } catch (...) {
        Fail(proc);
    }
}
