// The rank tests on groups large enough to leave memory: every group's values
// go through the work table in many sorted runs (a limit of a few rows), and
// the statistics must be those of the groups held in memory, both checked
// against ranks counted by hand: a value's mid-rank is the number of rank
// positions below it plus (its run's positions + 1) / 2, counted over all
// pairs of rows without sorting; Kendall's S as the sum over all pairs of
// rows of w_a·w_b·sign(Δx)·sign(Δy); the two-sample K-S differences from the
// two empirical distribution functions at every value.
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include "analyses/nonparametric/CNonParametric.h"
#include "engine/SortStage.h"
#include "support/AnalysisSeam.h"

#include <cmath>
#include <map>

using namespace dao;
using namespace atest;
using cells::ExpectCells;
using cells::ExpectCellsNear;

namespace {

struct Obs {
    std::string group, sample;
    double x, y, w; // whole weights
};

// 150 records in two groups, three samples, values 0 .. 9 (many ties),
// weights 1 .. 3; the same every run.
std::vector<Obs> observations() {
    std::vector<Obs> obs;
    unsigned long long s = 12345;
    auto next = [&](unsigned m) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((s >> 33) % m);
    };
    const char* samples[] = {"a", "b", "c"};
    for (int i = 0; i < 150; ++i)
        obs.push_back({i < 90 ? "p" : "q", samples[next(3)], double(next(10)), double(next(10)), double(1 + next(3))});
    return obs;
}

// The mid-rank of v among the (value, weight) rows.
double midRank(const std::vector<std::pair<double, double>>& rows, double v) {
    double below = 0, same = 0;
    for (const auto& [x, w] : rows) {
        if (x < v) below += w;
        if (x == v) same += w;
    }
    return below + (same + 1) / 2;
}

// The weighted rank sum of `sample` among `all`, and its weight.
std::pair<double, double> rankSum(const std::vector<std::pair<double, double>>& sample,
                                  const std::vector<std::pair<double, double>>& all) {
    double R = 0, N = 0;
    for (const auto& [x, w] : sample) {
        R += w * midRank(all, x);
        N += w;
    }
    return {R, N};
}

struct Ties {
    double rows = 0, groups = 0, cube = 0; // rows in tied runs, tied runs, Σ(t³ − t)
};
Ties tiesOf(const std::vector<std::pair<double, double>>& rows) {
    std::map<double, std::pair<double, double>> runs; // value: weight, rows
    for (const auto& [x, w] : rows) {
        runs[x].first += w;
        runs[x].second += 1;
    }
    Ties t;
    for (const auto& [x, r] : runs)
        if (r.first > 1) {
            t.rows += r.second;
            t.groups += 1;
            t.cube += r.first * r.first * r.first - r.first;
        }
    return t;
}

double sign(double d) { return d > 0 ? 1 : d < 0 ? -1 : 0; }

class RankTestsStaged : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        std::vector<Row> rows;
        for (const Obs& o : obs) rows.push_back({o.group, o.sample, o.x, o.y, o.w});
        MakeTable("Data", {{"G", dbText, 5}, {"S", dbText, 5}, {"X"}, {"Y"}, {"W"}}, rows);
    }
    std::vector<Obs> obs = observations();

    // A run with the sort stage's memory limit at `limit` rows.
    std::vector<OutRow> run(std::size_t limit, const std::string& type, std::vector<vtest::ScenarioFieldRow> fields,
                            std::vector<std::pair<std::string, Variant>> options, const std::string& out2 = "") {
        vtest::ScenarioSpec s = vtest::ScenarioOn("N", type, "Data", "Out", out2);
        s.options = std::move(options);
        s.fields = std::move(fields);
        const std::size_t old = SortStage::SetMemoryLimit(limit);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        // Kendall's tau, which scenarios do not ask for.
        vtest::AnalysisOf<PairedFieldsSettings>(eng, "Paired Fields") = [](PairedFieldsSettings& a, RunContext& e) {
            a.Tau = true;
            return RunAnalysis<CNonParametric>(a, e);
        };
        EXPECT_TRUE(eng.RunScenario(Store(s))) << eng.ErrorInfo();
        SortStage::SetMemoryLimit(old);
        return ReadTable("Out");
    }
};

const struct {
    std::size_t limit;
    const char* why;
} kLimits[] = {
    {0, "held in memory"},
    {7, "staged in runs of seven rows"},
    {1, "staged a row at a time"},
};

} // namespace

TEST_F(RankTestsStaged, MannWhitneyAndKolmogorovSmirnovOfEveryPair) {
    for (const auto& l : kLimits) {
        auto out = run(l.limit, "2 Sample", {{"G", "G"}, {"S", "C"}, {"X", "X"}, {"W", "W"}}, {{"NPTwoType", "Mann"}});
        ASSERT_EQ(out.size(), 6u) << l.why; // two groups, three pairs
        for (const OutRow& r : out) {
            const std::string g = r["G"].ToString(), s1 = r["S-1"].ToString(), s2 = r["S-2"].ToString();
            std::vector<std::pair<double, double>> both, one, two;
            for (const Obs& o : obs) {
                if (o.group != g || (o.sample != s1 && o.sample != s2)) continue;
                both.push_back({o.x, o.w});
                (o.sample == s1 ? one : two).push_back({o.x, o.w});
            }
            const auto [R1, N1] = rankSum(one, both);
            const auto [R2, N2] = rankSum(two, both);
            double Dpos = 0, Dneg = 0;
            for (const auto& [v, unused] : both) {
                double F1 = 0, F2 = 0;
                for (const auto& [x, w] : one) F1 += x <= v ? w : 0;
                for (const auto& [x, w] : two) F2 += x <= v ? w : 0;
                Dpos = std::max(Dpos, F1 / N1 - F2 / N2);
                Dneg = std::min(Dneg, F1 / N1 - F2 / N2);
            }
            const Ties t = tiesOf(both);
            const std::string where = std::string(l.why) + ", group " + g + ", " + s1 + "-" + s2;
            ExpectCells(r, {{"SumRank-1", R1}, {"SumRank-2", R2}, {"Cases-1", N1}, {"Ties", t.rows}, {"TiedGroups", t.groups},
                            {"SumTies", t.cube / 12},
                            {"MW_U", std::min(N1 * (N1 + 1) / 2 + N1 * N2 - R1, R1 - N1 * (N1 + 1) / 2)}}, where);
            ExpectCellsNear(r, {{"KS_MaxPosDiff", Dpos}, {"KS_MaxNegDiff", Dneg}}, 1e-15, where);
        }
    }
}

TEST_F(RankTestsStaged, KruskalWallisOverAllSamples) {
    for (const auto& l : kLimits) {
        auto out = run(l.limit, "N Sample", {{"G", "G"}, {"S", "C"}, {"X", "X"}, {"W", "W"}}, {}, "Det");
        auto det = ReadTable("Det");
        ASSERT_EQ(out.size(), 2u) << l.why;
        ASSERT_EQ(det.size(), 6u) << l.why;
        for (const OutRow& r : out) {
            const std::string g = r["G"].ToString();
            std::vector<std::pair<double, double>> all;
            for (const Obs& o : obs)
                if (o.group == g) all.push_back({o.x, o.w});
            double S = 0, N = 0;
            for (const OutRow& d : det) {
                if (d["G"].ToString() != g) continue;
                std::vector<std::pair<double, double>> sample;
                for (const Obs& o : obs)
                    if (o.group == g && o.sample == d["S"].ToString()) sample.push_back({o.x, o.w});
                const auto [R, n] = rankSum(sample, all);
                ExpectCells(d, {{"SumRanks", R}, {"Count", n}}, std::string(l.why) + ", " + g + " " + d["S"].ToString());
                S += R * R / n;
                N += n;
            }
            const Ties t = tiesOf(all);
            const double H = 12 * S / (N * (N + 1)) - 3 * (N + 1);
            ExpectCells(r, {{"SumTies", t.cube}, {"Ties", t.rows}}, std::string(l.why) + ", " + g);
            EXPECT_NEAR(r.Num("H"), H, 1e-12 * H) << l.why << ", " << g;
            EXPECT_NEAR(r.Num("H_(ties)"), H / (1 - t.cube / (N * N * N - N)), 1e-12 * H) << l.why << ", " << g;
        }
    }
}

TEST_F(RankTestsStaged, PairedFieldsWilcoxonSpearmanAndKendall) {
    for (const auto& l : kLimits) {
        auto out = run(l.limit, "Paired Fields", {{"G", "G"}, {"X", "X"}, {"Y", "Y"}, {"W", "W"}},
                       {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}});
        ASSERT_EQ(out.size(), 2u) << l.why;
        for (const OutRow& r : out) {
            const std::string g = r["G"].ToString();
            std::vector<Obs> rows;
            std::vector<std::pair<double, double>> xs, ys, abs;
            for (const Obs& o : obs) {
                if (o.group != g) continue;
                rows.push_back(o);
                xs.push_back({o.x, o.w});
                ys.push_back({o.y, o.w});
                if (o.x != o.y) abs.push_back({std::fabs(o.x - o.y), o.w});
            }
            double neg = 0, pos = 0, n = 0, D = 0, S = 0;
            for (const Obs& o : rows) {
                if (o.x != o.y) (o.x > o.y ? pos : neg) += o.w * midRank(abs, std::fabs(o.x - o.y));
                const double d = midRank(xs, o.x) - midRank(ys, o.y);
                D += o.w * d * d;
                n += o.w;
            }
            for (std::size_t a = 0; a < rows.size(); ++a)
                for (std::size_t b = a + 1; b < rows.size(); ++b)
                    S += rows[a].w * rows[b].w * sign(rows[b].x - rows[a].x) * sign(rows[b].y - rows[a].y);
            const Ties tx = tiesOf(xs), ty = tiesOf(ys);
            const double Sx = (n * n * n - n - tx.cube) / 12, Sy = (n * n * n - n - ty.cube) / 12;
            const std::string where = std::string(l.why) + ", group " + g;
            ExpectCells(r, {{"Wilcoxon_Neg_SumRank", neg}, {"Wilcoxon_Pos_SumRank", pos}, {"TiedGroups_X", tx.groups},
                            {"TiedGroups_Y", ty.groups}, {"Tau_Score", S}}, where);
            ExpectCellsNear(r, {{"Spearman", 1 - 6 * D / ((n * n - 1) * n)},
                                {"Spearman_(ties)", (Sx + Sy - D) / (2 * std::sqrt(Sx * Sy))}}, 1e-14, where);
            EXPECT_NEAR(r.Num("Tau"), 2 * S / (n * n - n), 1e-15) << where;
        }
    }
}
