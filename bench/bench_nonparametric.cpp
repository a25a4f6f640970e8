// The non-parametric tests against reading (and writing) their input,
// measured in the same run.
//
//   read:        the records (group, compare fields and the data fields, in
//                the order the analyses read them) read through the
//                data-access layer, every value fetched;
//   read+write:  the same, each record also written once into a table of a
//                second database through the batch appender (the staging
//                the rank tests do);
//   Mann-Whitney (with the two-sample Kolmogorov-Smirnov test), Kruskal-Wallis
//   and the runs test: goal <= 3 × read+write;
//   sign test (mean, median, custom value) and K-S fit (uniform, normal,
//   Poisson): goal <= 2 × read;
//   Paired Fields (sign, Wilcoxon, Spearman) on every record as a pair:
//   goal <= 3 × read+write.
//
// Usage: bench_nonparametric [records [repetitions]]   (default 1000000
// records in 10 groups, best of 3 runs each)
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

// The records in the analyses' order.
const char* kSql = "SELECT [Grp], [C2], [X], [Y] FROM [Data] ORDER BY [Grp],[C2],[X];";

} // namespace

int main(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv);
    ScratchDir dir("np");
    const std::string path = dir.File("bench.db");

    struct Case {
        const char* name;
        std::int32_t id;
        bool againstWrite;
        double goal;
        double best;
    };
    std::vector<Case> cases;
    {
        auto db = CreateScenarioDatabase(path);
        WriteStandardData(*db, args.Records);
        auto add = [&](const char* name, const Scenario& scenario, bool againstWrite, double goal) {
            cases.push_back({name, StoreScenario(*db, scenario), againstWrite, goal, 1e300});
        };
        add("Mann-Whitney + K-S",
            {"N", "2 Sample", "OutMann", "", {{"NPTwoType", "Mann"}}, {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}}, true,
            3);
        add("Kruskal-Wallis", {"N", "N Sample", "OutKW", "OutKWDet", {}, {{"Grp", "G"}, {"C5", "C"}, {"X", "X"}}},
            true, 3);
        add("runs test",
            {"N", "2 Sample", "OutRuns", "", {{"NPTwoType", "Wald"}}, {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}}, true,
            3);
        add("sign test",
            {"N", "Sign Test", "OutSign", "",
             {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", std::int16_t(20)}},
             {{"Grp", "G"}, {"X", "X"}}},
            false, 2);
        add("K-S fit",
            {"N", "K-S Fit", "OutFit", "", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}},
             {{"Grp", "G"}, {"X", "X"}}},
            false, 2);
        add("Paired Fields",
            {"N", "Paired Fields", "OutPaired", "",
             {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}}, {{"X", "X"}, {"Y", "Y"}}},
            true, 3);
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    auto scratch = DBEngine().CreateDatabase(dir.File("scratch.db"), dbLangGeneral);
    double checksum = 0, tRead = 1e300, tWrite = 1e300;
    for (int i = 0; i < args.Repetitions; ++i) {
        tRead = std::min(tRead, ReadQuery(db, kSql, checksum));
        tWrite = std::min(tWrite, ReadAndStage(db, kSql, scratch, checksum));
        for (auto& c : cases) c.best = std::min(c.best, RunScenario(db, c.id));
    }
    std::printf("baseline read        %8.3f s  (checksum %.6g)\n", tRead, checksum);
    std::printf("baseline read+write  %8.3f s\n", tWrite);
    for (const auto& c : cases) {
        const double base = c.againstWrite ? tWrite : tRead;
        std::printf("%-20s %8.3f s  ratio %.2f to %s  (goal <= %.0f)\n", c.name, c.best, c.best / base,
                    c.againstWrite ? "read+write" : "read", c.goal);
    }
    scratch->Close();
    db->Close();
    return 0;
}
