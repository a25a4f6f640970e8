// Output columns, measured in the same run:
//
//   build:  a table definition of n columns made through the engine's column
//           builder (AddTableField), then every column looked up by name in
//           the definition, for n = 1,000 to 64,000: the time per column
//           against that of 1,000 columns (goal: ratio <= 6 at every n: time
//           linear in the columns, but for the caches; a walk through the
//           others made it 64 at 64,000);
//   poly:   a polynomial regression of order 32767 on 60 records, refused for
//           its 163,856 columns, against defining that many columns as in
//           "build" (goal: ratio <= 3; it took 11 minutes when columns were
//           found by a walk through the others);
//   xtab:   a crosstab of 50,000 column values, refused for its columns,
//           against a crosstab of 10 column values over the same 50,000
//           records (goal: ratio <= 10; it took 28 to 48 s).
//
// Usage: bench_columns [repetitions]   (default 3; prints the range over all runs)
#include "bench/BenchSupport.h"
#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

struct Range {
    double lo = 1e300, hi = 0;
    void Add(double x) {
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
};

// Seconds to define n columns and look each up by name.
double buildColumns(Database& db, int n) {
    const auto t0 = Clock::now();
    TableDefPtr td = db.CreateTableDef("Wide");
    std::int16_t counter = 0;
    for (int i = 0; i < n; ++i) {
        // The counter of the column builder is 16 bits; the positions do not matter here.
        counter = 0;
        AddTableField(td, "Column " + std::to_string(i), dbDouble, counter, 0);
    }
    long found = 0;
    for (int i = 0; i < n; ++i) found += td->Fields().Find("COLUMN " + std::to_string(i)) ? 1 : 0;
    if (found != n) {
        std::fprintf(stderr, "only %ld of %d columns found\n", found, n);
        std::exit(1);
    }
    return Seconds(t0, Clock::now());
}

// Seconds a run takes, and its message (the refused runs fail).
double timeRun(const DatabasePtr& db, std::int32_t id, std::string& message) {
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    const auto t0 = Clock::now();
    eng.RunScenario(id);
    message = eng.ErrorInfo();
    return Seconds(t0, Clock::now());
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = std::max(1, argc > 1 ? std::atoi(argv[1]) : 3);
    ScratchDir dir("columns");
    const std::string path = dir.File("bench.db");
    DatabasePtr db = CreateScenarioDatabase(path);

    // --- build ------------------------------------------------------------------------------
    const std::vector<int> sizes = {1000, 4000, 16000, 64000};
    std::vector<Range> perColumn(sizes.size());
    (void)buildColumns(*db, sizes.back()); // warm the allocator
    for (int r = 0; r < repetitions; ++r) {
        // The baseline is the best of five: a millisecond's work is easily disturbed.
        double base = 1e300;
        for (int k = 0; k < 5; ++k) base = std::min(base, buildColumns(*db, sizes[0]) / sizes[0]);
        for (std::size_t k = 0; k < sizes.size(); ++k)
            perColumn[k].Add(buildColumns(*db, sizes[k]) / sizes[k] / base);
    }
    std::printf("build: time per column against 1,000 columns (goal <= 6)\n");
    for (std::size_t k = 0; k < sizes.size(); ++k)
        std::printf("  %6d columns: ratio %.2f .. %.2f\n", sizes[k], perColumn[k].lo, perColumn[k].hi);

    // --- the data: 50,000 records, x = i % 60 + 1, a column value of their own -----------------
    constexpr long kRecords = 50000;
    WriteDataTable(*db, {{"G", dbLong}, {"X", dbDouble}, {"Y", dbDouble}, {"Wide", dbText, 12}, {"Narrow", dbText, 12}},
                   kRecords, [](long i, const std::vector<FieldPtr>& f) {
                       f[0]->SetValue(static_cast<int>(i % 7));
                       f[1]->SetValue(static_cast<double>(i % 60 + 1));
                       f[2]->SetValue(static_cast<double>(2 * (i % 60) + 3 + i % 5));
                       f[3]->SetValue("v" + std::to_string(i));
                       f[4]->SetValue("v" + std::to_string(i % 10));
                   });
    db->Execute("SELECT TOP 60 X, Y INTO Few FROM Data ORDER BY X");

    auto poly = [&](std::int16_t order) {
        Scenario s;
        s.SubType = "Regression";
        s.Output1 = "OutPoly";
        s.Options = {{"RegressType", Variant("P")}, {"RPoly", Variant(order)}, {"RYInt", Variant(true)}};
        s.Fields = {{"X", "X"}, {"Y", "Y"}};
        const std::int32_t id = StoreScenario(*db, s);
        db->Execute("UPDATE usysQuorbScenarios SET Scenario_Input_Table_Name = 'Few' WHERE Scenario_ID = " +
                    std::to_string(id));
        return id;
    };
    auto xtab = [&](const char* column) {
        Scenario s;
        s.SubType = "Crosstab";
        s.Output1 = "OutXtab";
        s.Options = {{"XType", Variant("S")}};
        s.Fields = {{"G", "G"}, {column, "C"}, {"Y", "X"}};
        return StoreScenario(*db, s);
    };
    // The columns of a polynomial of order 32767 (its run's message names them).
    constexpr int kPolyColumns = 163856;
    struct Job {
        const char* name;
        std::int32_t run, base; // base 0: defining kPolyColumns columns
        double goal;
        Range ratio;
        double tRunMax = 0;
        std::string message;
    } jobs[] = {
        {"poly (order 32767 / defining its columns)", poly(32767), 0, 3, {}, 0, {}},
        {"xtab (50,000 / 10 column values)", xtab("Wide"), xtab("Narrow"), 10, {}, 0, {}},
    };
    for (int r = 0; r < repetitions; ++r)
        for (Job& j : jobs) {
            // The baseline is the best of three.
            double tBase = 1e300;
            for (int k = 0; k < 3; ++k) {
                std::string baseMessage;
                tBase = std::min(tBase, j.base ? timeRun(db, j.base, baseMessage) : buildColumns(*db, kPolyColumns));
                if (!baseMessage.empty()) {
                    std::fprintf(stderr, "%s: the baseline failed: %s\n", j.name, baseMessage.c_str());
                    return 1;
                }
            }
            const double tRun = timeRun(db, j.run, j.message);
            j.tRunMax = std::max(j.tRunMax, tRun);
            j.ratio.Add(tRun / tBase);
        }
    for (const Job& j : jobs)
        std::printf("%s: ratio %.2f .. %.2f (goal <= %.0f), at most %.2f s\n  message: %s\n", j.name, j.ratio.lo,
                    j.ratio.hi, j.goal, j.tRunMax, j.message.c_str());
    db->Close();
    return 0;
}
