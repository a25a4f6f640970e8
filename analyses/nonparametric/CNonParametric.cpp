#include "analyses/nonparametric/CNonParametric.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/SortStage.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cmath>

using namespace dao;

namespace {

// Two-sided normal tail 1 − P(−|z| < Z < |z|).
double twoSided(CZValue& zv, double z) { return Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(z), 0, 0)); }

constexpr std::size_t KendallChunk = std::size_t(1) << 14;

SortStage::Shape stageShape(const char* table, std::vector<std::string> columns, int keys) {
    SortStage::Shape s;
    s.table = table;
    s.keys = keys;
    s.memoryLimit = SortStage::RowsIn(SortStage::RankMemory, columns.size());
    s.packed = true;
    s.columns = std::move(columns);
    return s;
}

// A Fenwick tree of weights over positions 1 .. n (tree[0] unused).
void fenwickAdd(std::vector<double>& tree, std::size_t i, double w) {
    for (; i < tree.size(); i += i & (~i + 1)) tree[i] += w;
}
double fenwickSum(const std::vector<double>& tree, std::size_t i) { // positions 1 .. i
    double s = 0;
    for (; i > 0; i -= i & (~i + 1)) s += tree[i];
    return s;
}

} // namespace

// ---- Kendall's score ------------------------------------------------------------------

CNonParametric::KendallCount::KendallCount(std::size_t chunk) : m_chunk(chunk ? chunk : SortStage::HeldRows(KendallChunk)) {}

void CNonParametric::KendallCount::Add(double y, double k) {
    m_y.push_back(y);
    m_k.push_back(k);
    if (m_y.size() == m_chunk) countChunk();
}

// The swaps within the chunk, counted while its pairs are merge-sorted by y:
// a pair that moves ahead of pairs of a larger y (pairs of an equal y keep
// their order) meets the weight of those it passes.
void CNonParametric::KendallCount::countChunk() {
    const std::size_t n = m_y.size();
    if (n == 0) return;
    std::vector<std::pair<double, double>> a(n), b(n); // y, weight
    double total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = {m_y[i], m_k[i]};
        total += m_k[i];
    }
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            double left = 0; // weight of the left run not yet taken
            for (std::size_t i = lo; i < mid; ++i) left += a[i].second;
            std::size_t i = lo, j = mid, out = lo;
            while (i < mid && j < hi) {
                if (a[j].first < a[i].first) {
                    m_swaps += a[j].second * left;
                    b[out++] = a[j++];
                } else {
                    left -= a[i].second;
                    b[out++] = a[i++];
                }
            }
            while (i < mid) b[out++] = a[i++];
            while (j < hi) b[out++] = a[j++];
        }
        a.swap(b);
    }
    m_chunkWeight.push_back(total);
    m_y.clear();
    m_k.clear();
}

void CNonParametric::KendallCount::Finish() {
    countChunk();
    m_remaining.assign(m_chunkWeight.size() + 1, 0.0);
    for (std::size_t j = 0; j < m_chunkWeight.size(); ++j) fenwickAdd(m_remaining, j + 1, m_chunkWeight[j]);
    m_y.shrink_to_fit();
    m_k.shrink_to_fit();
}

// The swaps across chunks: a pair meets the weight still to come of the
// chunks before its own, all of which has a larger y.
void CNonParametric::KendallCount::Again(double place, double k) {
    const auto j = static_cast<std::size_t>((place - 1) / static_cast<double>(m_chunk));
    m_swaps += k * fenwickSum(m_remaining, j);
    fenwickAdd(m_remaining, j + 1, -k);
}

double CNonParametric::KendallCount::Score(double n, double xTies, double yTies, double bothTies) const {
    const double pairs = n * (n - 1) / 2;
    return pairs - xTies / 2 - yTies / 2 + bothTies - 2 * m_swaps;
}

double CNonParametric::KendallScore(std::vector<Ranked> rows, std::size_t chunk) {
    std::sort(rows.begin(), rows.end(), [](const Ranked& a, const Ranked& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    KendallCount count(chunk);
    TieRanks xr(true), yr(true);
    double n = 0, both = 0;
    for (std::size_t a = 0; a < rows.size();) {
        std::size_t b = a;
        double W = 0;
        while (b < rows.size() && rows[b].x == rows[a].x) W += rows[b++].w;
        xr.Run(W);
        for (std::size_t c = a; c < b;) {
            double Wj = 0;
            std::size_t d = c;
            while (d < b && rows[d].y == rows[c].y) Wj += rows[d++].w;
            both += Wj * (Wj - 1) / 2;
            c = d;
        }
        for (; a < b; ++a) count.Add(rows[a].y, rows[a].w);
    }
    count.Finish();
    std::vector<std::size_t> byY(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        byY[i] = i;
        n += rows[i].w;
    }
    std::stable_sort(byY.begin(), byY.end(), [&](std::size_t a, std::size_t b) { return rows[a].y < rows[b].y; });
    for (std::size_t a = 0; a < byY.size();) {
        std::size_t b = a;
        double W = 0;
        while (b < byY.size() && rows[byY[b]].y == rows[byY[a]].y) W += rows[byY[b++]].w;
        yr.Run(W);
        for (; a < b; ++a) count.Again(static_cast<double>(byY[a] + 1), rows[byY[a]].w);
    }
    return count.Score(n, xr.kendall1, yr.kendall1, both);
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

// ---- the analysis ------------------------------------------------------------------------

CNonParametric::CNonParametric(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_NonParametric", "Paired Fields"), m_s(settings) {}

CNonParametric::~CNonParametric() = default;

std::string CNonParametric::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                         AnalysisType::Settings& out) {
    if (!base.bY) return "Y Field not assigned";
    Settings& a = NewSettings<Settings>(base, out);
    a.Medians.assign(static_cast<std::size_t>(a.nX) + 1, 0.0);
    a.Sign = s.NPPair_Sign();
    a.Wilcoxon = s.NPPair_Wilcoxon();
    a.Spearman = s.NPPair_Spearman();
    return {};
}

std::string CNonParametric::Steps() {
    if (!m_s.bY) return "Y Field not assigned";
    Progress("Retrieving and sorting data");
    // The staged pairs are ordered by the stages: the data only by the groups.
    std::string msg = OpenSource(m_s.nG, false);
    if (Going(msg)) {
        Progress("Creating output table");
        msg = CreateOutput();
    }
    m_rank = m_s.Spearman || m_s.Tau;
    const bool staged = m_s.Wilcoxon || m_rank;
    if (Going(msg) && staged) msg = MakeWorkDatabase();
    if (Going(msg)) {
        Progress("Analyzing records");
        if (m_rank) {
            // Kendall's tau wants the pairs in the order of (x, y), and the
            // order of y with ties in the order of (x, y); Spearman's rho
            // orders by x and by y alone.
            const int keys = m_s.Tau ? 2 : 1;
            m_pairs = std::make_unique<SortStage>(Cx(), m_s.nX, stageShape("statTemp1", {"X", "Y", "Weight"}, keys));
            m_byY = std::make_unique<SortStage>(
                Cx(), 1,
                m_s.Tau ? stageShape("statTemp3", {"Y", "Position", "X-Rank", "Weight"}, 2)
                        : stageShape("statTemp3", {"Y", "X-Rank", "Weight"}, 1));
        }
        if (m_s.Wilcoxon)
            m_signed = std::make_unique<SortStage>(Cx(), m_s.nX, stageShape("statTemp2", {"Absolute", "Sign", "Weight"}, 1));
        Kept([this] { ReadGroups(m_s.nG); });
    }
    return msg;
}

void CNonParametric::CloseOwn() {
    m_statsOf.reset();
    m_lead.Clear();
    for (auto* stage : {&m_pairs, &m_signed, &m_byY}) {
        if (*stage) (*stage)->Close();
        stage->reset();
    }
}

std::string CNonParametric::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        m_countColumn = LeftChars("Count_of_" + m_s.fields[m_s.YPosition()], 64);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, m_s.bW, m_countColumn, "Missing");
        std::vector<const char*> cols = {"Mean", "MeanY", "MeanDiff", "Count<Y", "Count=Y", "Count>Y", "Pearson's_R"};
        if (m_s.Median)
            cols.insert(cols.end(), {"SignTestMedian", "SignTestCount_<_Median", "SignTestCount_=_Median",
                                     "SignTestCount_>_Median", "SignProb_<=_Median", "SignProb_>=_Median"});
        if (m_s.Sign) cols.insert(cols.end(), {"SignZ", "SignProb"});
        if (m_s.Wilcoxon)
            cols.insert(cols.end(), {"Wilcoxon_Neg_SumRank", "Wilcoxon_Pos_SumRank", "Wilcoxon_Neg_MeanRank",
                                     "Wilcoxon_Pos_MeanRank", "Wilcoxon_Z", "Wilcoxon_Prob"});
        if (m_s.Spearman || m_s.Tau) cols.insert(cols.end(), {"TiedGroups_X", "TiedGroups_Y"});
        if (m_s.Spearman)
            cols.insert(cols.end(), {"Spearman", "Spearman_t", "Spearman_Prob", "Spearman_(ties)", "Spearman_t_(ties)",
                                     "Spearman_Prob_(ties)"});
        if (m_s.Tau)
            cols.insert(cols.end(),
                        {"Tau_Score", "Tau", "Tau_Z", "Tau_Prob", "Tau_(ties)", "Tau_Z_(ties)", "Tau_Prob_(ties)"});
        if (m_s.ChiSquare)
            cols.insert(cols.end(), {"Chi-DF", "Chi-Square", "Chi-Prob", "Phi-Coefficient", "Coef_of_Contingency"});
        for (const char* c : cols) AddTableField(td, c, dbDouble, ord, 0);
        m_statNames.assign(cols.begin(), cols.end());
        m_statsOf.reset();
        return PlaceOutput(td, true);
    });
}

void CNonParametric::InitData() {
    Guard("InitData", [&] {
        m_sums.assign(static_cast<std::size_t>(m_s.nX) + 1, FieldSums());
        if (m_pairs) m_pairs->BeginGroup();
        if (m_signed) m_signed->BeginGroup();
    });
}

void CNonParametric::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        double y = 0;
        if (!Number(m_s.YPosition(), y)) return;
        // A pair takes as many rank positions as the whole part of its weight:
        // below 1 it takes none.
        const bool ranked = w >= 1;
        const std::size_t first = m_s.XPosition();
        for (std::int16_t i = 1; i <= m_s.nX; ++i) {
            double x = 0;
            if (!Number(first + static_cast<std::size_t>(i) - 1, x)) continue;
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
            if (m_s.Median) {
                const double m = m_s.Medians[static_cast<std::size_t>(i)];
                if (x < m) s.mBelow += w;
                else if (x == m) s.mEqual += w;
                else s.mAbove += w;
            }
            if (ranked && m_pairs) m_pairs->Add(i, {x, y, w});
            if (ranked && m_signed) {
                // Pairs with x = y take no part in the signed ranks. Equal
                // differences of typed values must tie at any magnitude.
                const double d = Moments::TypedDifference(x, y);
                if (d != 0) m_signed->Add(i, {std::fabs(d), d > 0 ? 1.0 : -1.0, w});
            }
            if (m_s.ChiSquare) {
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
    });
}

// Signed ranks of the absolute differences, read in ascending order in runs
// of equal differences; a pair takes as many rank positions as the whole
// part of its weight.
CNonParametric::Wilcoxon CNonParametric::CalcWilcoxon(std::int16_t i) {
    return Guard("CalcWilcoxon", [&] {
        Wilcoxon r;
        SortStage::Cursor rows(*m_signed);
        rows.Open(i);
        TieRanks ranks;
        const double* p = rows.Next() ? rows.Row() : nullptr;
        while (p) {
            const double a = p[0];
            double pos = 0, neg = 0;
            for (; p && p[0] == a; p = rows.Next() ? rows.Row() : nullptr) (p[1] > 0 ? pos : neg) += std::floor(p[2]);
            const double mean = ranks.Run(pos + neg);
            r.posCount += pos;
            r.posSum += pos * mean;
            r.negCount += neg;
            r.negSum += neg * mean;
        }
        const double n = r.negCount + r.posCount;
        if (n > 0) {
            const double T = r.posSum <= r.negSum ? r.posSum : r.negSum;
            const double mean = (n + 1) * n / 4, sd = std::sqrt((n + 1) * n * (2 * n + 1) / 24);
            CZValue zv;
            r.Z = Moments::DecimalDifference(T, mean) / sd;
            r.prob = twoSided(zv, r.Z);
            r.tested = true;
        }
        return r;
    });
}

// Spearman's rho and Kendall's tau of field i: the pairs in the order of
// (x, y) give the mid-ranks of x, and go on with them to the order of y,
// which gives the mid-ranks of y. Each order is read in runs of tied values
// by two readers, one a run ahead: it finds the run's weight, the other then
// hands on the run's pairs with their rank.
CNonParametric::Rank CNonParametric::CalcSpearmanTauKS(std::int16_t i) {
    return Guard("CalcSpearmanTauKS", [&] {
        Rank r;
        KendallCount kendall;
        TieRanks xr(true), yr(true);
        double bothTies = 0; // Σ W(W − 1)/2 over the runs tied in x and y (Kendall's order (x, y))
        {
            SortStage::Cursor ahead(*m_pairs), rows(*m_pairs);
            ahead.Open(i);
            rows.Open(i);
            m_byY->BeginGroup();
            double place = 0;
            const double* p = ahead.Next() ? ahead.Row() : nullptr;
            while (p) {
                const double x = p[0];
                double W = 0, y = p[1], Wy = 0;
                std::int64_t count = 0;
                for (; p && p[0] == x; p = ahead.Next() ? ahead.Row() : nullptr, ++count) {
                    const double k = std::floor(p[2]);
                    if (p[1] != y) {
                        bothTies += Wy * (Wy - 1) / 2;
                        y = p[1];
                        Wy = 0;
                    }
                    Wy += k;
                    W += k;
                }
                bothTies += Wy * (Wy - 1) / 2;
                const double rank = xr.Run(W);
                for (; count > 0; --count) {
                    rows.Next();
                    const double* q = rows.Row();
                    const double k = std::floor(q[2]);
                    place += 1;
                    if (m_s.Tau) {
                        m_byY->Add(1, {q[1], place, rank, k});
                        kendall.Add(q[1], k);
                    } else {
                        m_byY->Add(1, {q[1], rank, k});
                    }
                }
            }
        }
        if (m_s.Tau) kendall.Finish();
        double n = 0, D = 0;
        {
            SortStage::Cursor ahead(*m_byY), rows(*m_byY);
            ahead.Open(1);
            rows.Open(1);
            const double* p = ahead.Next() ? ahead.Row() : nullptr;
            while (p) {
                const double y = p[0];
                double W = 0;
                std::int64_t count = 0;
                const std::size_t weight = m_s.Tau ? 3 : 2, xRank = weight - 1;
                for (; p && p[0] == y; p = ahead.Next() ? ahead.Row() : nullptr, ++count) W += p[weight];
                const double rank = yr.Run(W);
                for (; count > 0; --count) {
                    rows.Next();
                    const double* q = rows.Row();
                    const double k = q[weight];
                    const double d = Moments::DecimalDifference(q[xRank], rank);
                    n += k;
                    D += k * d * d;
                    if (m_s.Tau) kendall.Again(q[1], k);
                }
            }
        }
        const double tx[6] = {xr.tiedObservations, xr.cubeTerm, xr.tiedGroups, xr.kendall1, xr.kendall2, xr.kendall3};
        const double ty[6] = {yr.tiedObservations, yr.cubeTerm, yr.tiedGroups, yr.kendall1, yr.kendall2, yr.kendall3};
        r.tiesX = tx[2];
        r.tiesY = ty[2];
        r.n = n;
        // A field whose values are all one (a single tie run over every rank
        // position) has no rank variance: rho, t and their probabilities are
        // undefined for it, with or without the ties' correction.
        const double n3 = Moments::DecimalDifference(n * n * n, n);
        const double Sx = Moments::DecimalDifference(n3, tx[1]) / 12, Sy = Moments::DecimalDifference(n3, ty[1]) / 12;
        r.rhoDefined = Sx > 0 && Sy > 0;
        if (m_s.Spearman && n > 1 && r.rhoDefined) {
            r.rho = Moments::DecimalDifference(1.0, 6 * D / ((n * n - 1) * n));
            // Two rank positions always agree perfectly (rho = ±1): t is 0,
            // no evidence either way; from three on, a perfect agreement has
            // an infinite t.
            if (n > 2 && std::fabs(r.rho) >= 1) r.tInfinite = true;
            else if (n > 2) r.t = r.rho * std::sqrt((n - 2) / (1 - r.rho * r.rho));
            r.rhoTies = r.rho;
            r.tTies = r.t;
            r.tTiesInfinite = r.tInfinite;
            if (tx[0] + ty[0] > 0) {
                r.rhoTies = Moments::DecimalDifference(Sx + Sy, D) / (2 * std::sqrt(Sx * Sy));
                r.tTiesInfinite = n > 2 && std::fabs(r.rhoTies) >= 1;
                r.tTies = 0;
                if (!r.tTiesInfinite && n > 2) r.tTies = r.rhoTies * std::sqrt((n - 2) / (1 - r.rhoTies * r.rhoTies));
            }
        }
        if (m_s.Tau && n > 1) {
            r.S = kendall.Score(n, tx[3], ty[3], bothTies);
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
        return r;
    });
}

void CNonParametric::WriteData() {
    Guard("WriteData", [&] {
        CZValue zv;
        RecordsetPtr out = Cx().OutputRecordset();
        for (std::int16_t i = 1; i <= m_s.nX && !Failed(); ++i) {
            const FieldSums& s = m_sums[static_cast<std::size_t>(i)];
            const double n = s.n;
            const CrossProducts::Pair xy = s.xy.PairOf(0, 1);
            const std::string& name = m_s.fields[m_s.XPosition() + static_cast<std::size_t>(i) - 1];
            Wilcoxon wx;
            Rank rk;
            if (m_s.Wilcoxon) {
                Progress("Calculating Wilcoxon for [" + name + "]");
                wx = CalcWilcoxon(i);
            }
            if (n > 1 && m_rank) {
                Progress("Calculating Spearman for [" + name + "]");
                rk = CalcSpearmanTauKS(i);
            }
            out->AddNew();
            m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(i) - 1), m_countColumn,
                            "Missing", m_s.bW, n, static_cast<long>(GroupRecords()), static_cast<long>(s.N), 0,
                            Variant::Null(), Variant::Null());
            BeginStatistics(out);
            // Counts summed exactly and brought to whole numbers once.
            const double below = std::nearbyint(s.below), equal = std::nearbyint(s.equal),
                         above = std::nearbyint(s.above);
            if (n > 0) {
                const double kx = s.xy.Origin(0), ky = s.xy.Origin(1);
                Column("Mean")->SetValue(xy.MeanX(kx));
                Column("MeanY")->SetValue(xy.MeanY(ky));
                // Beyond a double's range (fields near 1.7e308 and -1.7e308) it is left Null.
                const double meanDiff = xy.MeanDifference(Moments::DecimalDifference(kx, ky));
                if (std::isfinite(meanDiff)) Column("MeanDiff")->SetValue(meanDiff);
                Column("Count<Y")->SetValue(below);
                Column("Count=Y")->SetValue(equal);
                Column("Count>Y")->SetValue(above);
                if (auto r = xy.Correlation()) Column("Pearson's_R")->SetValue(*r);
            }
            if (m_s.Median) {
                Column("SignTestMedian")->SetValue(m_s.Medians[static_cast<std::size_t>(i)]);
                Column("SignTestCount_<_Median")->SetValue(std::nearbyint(s.mBelow));
                Column("SignTestCount_=_Median")->SetValue(std::nearbyint(s.mEqual));
                Column("SignTestCount_>_Median")->SetValue(std::nearbyint(s.mAbove));
            }
            if (m_s.Sign) {
                // Without a pair that differs there is no sign test: the columns stay empty.
                double Z = 0, prob = 0;
                if (SignTest(below, above, Z, prob)) {
                    Column("SignZ")->SetValue(Z);
                    Column("SignProb")->SetValue(prob);
                }
            }
            if (m_s.Wilcoxon) {
                Column("Wilcoxon_Neg_SumRank")->SetValue(wx.negSum);
                Column("Wilcoxon_Pos_SumRank")->SetValue(wx.posSum);
                if (wx.negCount > 0) Column("Wilcoxon_Neg_MeanRank")->SetValue(wx.negSum / wx.negCount);
                if (wx.posCount > 0) Column("Wilcoxon_Pos_MeanRank")->SetValue(wx.posSum / wx.posCount);
                if (wx.tested) {
                    Column("Wilcoxon_Z")->SetValue(wx.Z);
                    Column("Wilcoxon_Prob")->SetValue(wx.prob);
                }
            }
            // Whole weights that leave fewer than two rank positions give no rank statistics.
            if (n > 1 && m_rank && rk.done && rk.n > 1) {
                Column("TiedGroups_X")->SetValue(rk.tiesX);
                Column("TiedGroups_Y")->SetValue(rk.tiesY);
                const double df = n - 2;
                if (m_s.Spearman && rk.rhoDefined) {
                    Column("Spearman")->SetValue(rk.rho);
                    Column("Spearman_(ties)")->SetValue(rk.rhoTies);
                    // A perfect rank agreement has probability 0; without degrees of freedom there is none.
                    if (df > 0) {
                        if (rk.tInfinite) {
                            Column("Spearman_Prob")->SetValue(0.0);
                        } else {
                            Column("Spearman_t")->SetValue(rk.t);
                            Column("Spearman_Prob")->SetValue(zv.Quorb_CalcProb("T", rk.t, df, 0));
                        }
                        if (rk.tTiesInfinite) {
                            Column("Spearman_Prob_(ties)")->SetValue(0.0);
                        } else {
                            Column("Spearman_t_(ties)")->SetValue(rk.tTies);
                            Column("Spearman_Prob_(ties)")->SetValue(zv.Quorb_CalcProb("T", rk.tTies, df, 0));
                        }
                    }
                }
                if (m_s.Tau) {
                    Column("Tau_Score")->SetValue(rk.S);
                    if (rk.tauOk) Column("Tau")->SetValue(rk.tau);
                    if (rk.ZOk) {
                        Column("Tau_Z")->SetValue(rk.Z);
                        Column("Tau_Prob")->SetValue(twoSided(zv, rk.Z));
                    }
                    if (rk.tauTiesOk) Column("Tau_(ties)")->SetValue(rk.tauTies);
                    if (rk.ZTiesOk) {
                        Column("Tau_Z_(ties)")->SetValue(rk.ZTies);
                        Column("Tau_Prob_(ties)")->SetValue(twoSided(zv, rk.ZTies));
                    }
                }
            }
            if (m_s.ChiSquare && n > 0 && s.chiValid) {
                Column("Chi-DF")->SetValue(s.chiCount - 1);
                // A chi-square beyond a double's range (values near 1e308) is left Null.
                if (std::isfinite(s.chiSum)) Column("Chi-Square")->SetValue(s.chiSum);
                if (s.chiSum > 0 && std::isfinite(s.chiSum)) {
                    Column("Chi-Prob")->SetValue(zv.Quorb_CalcProb("C", s.chiSum, s.chiCount - 1, 0));
                    Column("Phi-Coefficient")->SetValue(std::sqrt(s.chiSum / s.chiCount));
                    Column("Coef_of_Contingency")->SetValue(std::sqrt(s.chiSum / (s.chiCount + s.chiSum)));
                }
            }
            out->Update();
        }
    });
}

void CNonParametric::BeginStatistics(const RecordsetPtr& out) {
    m_statsOf = out;
    for (std::string_view name : m_statNames) m_lead.Column(out, name)->SetValue(Variant::Null());
}

const FieldPtr& CNonParametric::Column(std::string_view name) { return m_lead.Column(m_statsOf, name); }
