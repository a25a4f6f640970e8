// The group comparisons and the crosstab against the queries they stand on,
// measured in the same run.
//
//   one-way ANOVA, t-test (10 groups): against reading the same sorted
//       records (compare field and data field) through the data-access layer
//       (goal: ratio <= 2);
//   two-factor ANOVA (10 x 10 levels): against reading its sorted records
//       (goal: ratio <= 3);
//   Crosstab (10 row values x 20 columns), every cell function: against
//       reading the query it stands on through the data-access layer, the
//       grouped statement for C S A 1 L, the sorted records for the others
//       (goal: ratio <= 2);
//   t-test and one-way ANOVA with as many groups as records (the record
//       count asked for, at most 50000; each record its own group and its
//       own compare value): against reading the same sorted records. A cost
//       that grew with groups x compare values would show as a ratio that
//       grows with the count; the goal is a ratio that does not (below some
//       thousands of records the run's fixed cost, its tables and commit,
//       dominates). At 50000: t-test <= 10 (a group break costs more than
//       reading a record), ANOVA <= 30 (it writes three output rows per
//       record here).
//
// Usage: bench_group [records [repetitions [name]]]   (default 1000000
// records, 3 runs each: the best times and the range of the ratios over all
// runs; with a name, only the jobs whose name contains it)
//
//        bench_group cells [largest [repetitions]]
//   The crosstab against the number of its cells: every record a cell of its
//   own (10 column values), at 100000 cells, 1000000 and, with a largest of
//   4000000 or more, 4000000; once in groups of 1000 cells, once as one
//   group. Each run and each baseline (reading the grouped query the
//   crosstab stands on) is a child process of its own, whose peak memory
//   (VmHWM) is its own. Printed per size: the best time, the range of the
//   ratios to the baseline over all runs, the cost per cell against the
//   smallest size, and the largest peak memory of the runs and of the
//   baseline. Goals: cost per cell flat (within 1.3x), peak memory flat and
//   under 64 MiB.
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

void makeData(Database& db, long records) {
    char text[32];
    Random random;
    WriteDataTable(db, {{"F1", dbText, 20}, {"F2", dbLong}, {"R", dbText, 20}, {"C", dbLong}, {"X", dbDouble}}, records,
                   [&](long, const std::vector<FieldPtr>& f) {
                       std::snprintf(text, sizeof text, "Level %d", static_cast<int>(random.Next() % 10));
                       f[0]->SetValue(text);
                       f[1]->SetValue(static_cast<int>(random.Next() % 10));
                       std::snprintf(text, sizeof text, "Row %d", static_cast<int>(random.Next() % 10));
                       f[2]->SetValue(text);
                       f[3]->SetValue(static_cast<int>(random.Next() % 20));
                       // Values with two decimals around a large mean.
                       f[4]->SetValue(1000000.0 + static_cast<double>(random.Next() % 100000) / 100.0);
                   });
}

// One record per group: G and C are the record's number, X a value.
void makeManyGroups(Database& db, long records) {
    Random random;
    WriteDataTable(db, {{"G", dbLong}, {"C", dbLong}, {"X", dbDouble}}, records,
                   [&](long i, const std::vector<FieldPtr>& f) {
                       f[0]->SetValue(static_cast<std::int32_t>(i));
                       f[1]->SetValue(static_cast<std::int32_t>(i));
                       f[2]->SetValue(static_cast<double>(random.Next() % 100000) / 100.0);
                   });
}

constexpr long kMaxManyGroups = 50000;

// ---- the crosstab against its cells ----------------------------------------------------

// Every record its own cell: group G, row value R (a text), column C (10
// values), X a value. `groups`: cells per group (0: one group).
void makeCells(Database& db, long cells, long perGroup) {
    char text[32];
    Random random;
    WriteDataTable(db, {{"G", dbLong}, {"R", dbText, 20}, {"C", dbLong}, {"X", dbDouble}}, cells,
                   [&](long i, const std::vector<FieldPtr>& f) {
                       f[0]->SetValue(static_cast<std::int32_t>(perGroup ? i / perGroup : 0));
                       std::snprintf(text, sizeof text, "Row %ld", (perGroup ? i % perGroup : i) / 10);
                       f[1]->SetValue(text);
                       f[2]->SetValue(static_cast<std::int32_t>(i % 10));
                       f[3]->SetValue(static_cast<double>(random.Next() % 100000) / 100.0);
                   });
}

const char* kCellsSql =
    "SELECT [G], [R], [C], Sum([X]) AS S1, Count([X]) AS N1 FROM [Data] GROUP BY [G], [R], [C] ORDER BY [G], [R], [C];";

// In the child: runs scenario `id` (or, with id 0, reads the grouped query)
// and prints "seconds peak-KiB".
int cellsChild(const std::string& path, std::int32_t id) {
    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    const double t = id ? RunScenario(db, id) : ReadQuery(db, kCellsSql, checksum);
    db->Close();
    bench::ReportToParent(t, checksum);
    return 0;
}

struct ChildResult {
    double seconds = 0;
    long kib = 0;
};

// Scenario `id` (or, with 0, the grouped query) in a child process of its own.
ChildResult runChild(const std::string& path, std::int32_t id) {
    const bench::ChildResult c = bench::RunChild({"--cells-child", path, std::to_string(id)});
    if (!c.Ok) {
        std::fprintf(stderr, "child failed: %s\n", c.Error.c_str());
        std::exit(1);
    }
    return {c.Seconds, static_cast<long>(c.PeakMiB * 1024)};
}

int cellsMain(long largest, int repetitions) {
    std::vector<long> sizes = {100000, 1000000};
    if (largest >= 4000000) sizes.push_back(4000000);
    sizes.erase(std::remove_if(sizes.begin(), sizes.end(), [&](long n) { return n > std::max(largest, 100000L); }),
                sizes.end());
    ScratchDir dir("group-cells");
    struct Row {
        std::string layout;
        long cells = 0;
        double tRun = 1e300, tBase = 1e300, ratioMin = 1e300, ratioMax = 0;
        long kibRun = 0, kibBase = 0;
    };
    std::vector<Row> rows;
    for (long perGroup : {1000L, 0L}) {
        for (long n : sizes) {
            const std::string path = dir.File("cells-" + std::to_string(n) + "-" + std::to_string(perGroup) + ".db");
            std::int32_t id = 0;
            {
                auto db = CreateScenarioDatabase(path);
                makeCells(*db, n, perGroup);
                id = StoreScenario(*db, {"P", "Crosstab", "OutX", "OutX_2", {{"XType", "S"}, {"XRowPCnt", true}},
                                         {{"G", "G"}, {"R", "G"}, {"C", "C"}, {"X", "X"}}});
                db->Close();
            }
            Row r{perGroup ? "groups of 1000" : "one group", n};
            for (int i = 0; i < repetitions; ++i) {
                // Baseline and run swap places each time.
                ChildResult run, base;
                if (i % 2 == 0) {
                    base = runChild(path, 0);
                    run = runChild(path, id);
                } else {
                    run = runChild(path, id);
                    base = runChild(path, 0);
                }
                r.tRun = std::min(r.tRun, run.seconds);
                r.tBase = std::min(r.tBase, base.seconds);
                r.ratioMin = std::min(r.ratioMin, run.seconds / base.seconds);
                r.ratioMax = std::max(r.ratioMax, run.seconds / base.seconds);
                r.kibRun = std::max(r.kibRun, run.kib);
                r.kibBase = std::max(r.kibBase, base.kib);
            }
            rows.push_back(r);
        }
    }
    std::printf("crosstab \"S\" with \"%% Row\" rows, every record its own cell (best of %d; ratios over all runs)\n",
                repetitions);
    for (const Row& r : rows) {
        // Cost per cell against the same layout's smallest size.
        const Row* first = nullptr;
        for (const Row& o : rows)
            if (o.layout == r.layout && (!first || o.cells < first->cells)) first = &o;
        const double perCell = (r.tRun / static_cast<double>(r.cells)) / (first->tRun / static_cast<double>(first->cells));
        std::printf("%-15s %8ld cells %8.3f s  read %7.3f s  ratio %.2f .. %.2f  per cell x%.2f  peak %6.1f MiB "
                    "(read %6.1f MiB)  (goals: per cell <= 1.3, peak <= 64 MiB)\n",
                    r.layout.c_str(), r.cells, r.tRun, r.tBase, r.ratioMin, r.ratioMax, perCell, r.kibRun / 1024.0,
                    r.kibBase / 1024.0);
    }
    return 0;
}

struct Job {
    std::string name;
    std::int32_t id = 0;
    std::string baseline; // the query the analysis stands on
    double goal = 2;
    bool manyGroups = false; // on the database of one record per group
    double tRun = 1e300, tBase = 1e300;       // the best runs
    double ratioMin = 1e300, ratioMax = 0;    // over all runs
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::strcmp(argv[1], "--cells-child") == 0) return cellsChild(argv[2], std::atoi(argv[3]));
    if (argc > 1 && std::strcmp(argv[1], "cells") == 0)
        return cellsMain(argc > 2 ? std::atol(argv[2]) : 1000000, argc > 3 ? std::max(1, std::atoi(argv[3])) : 3);
    const Args args = ParseArgs(argc, argv);
    const std::string only = argc > 3 ? argv[3] : "";
    ScratchDir dir("group");
    const std::string path = dir.File("bench.db");
    const std::string manyPath = dir.File("groups.db");
    const std::string manySql = "SELECT [G], [C], [X] FROM [Data] WHERE (([C] Is Not Null)) ORDER BY [G],[C];";

    const std::string oneWaySql = "SELECT [F1], [X] FROM [Data] WHERE (([F1] Is Not Null)) ORDER BY [F1];";
    const std::string twoWaySql =
        "SELECT [F1], [F2], [X] FROM [Data] WHERE (([F1] Is Not Null) AND ([F2] Is Not Null)) ORDER BY [F1];";
    const std::string groupedSql =
        "SELECT [R], [C], Sum([X]) AS S1, Count([X]) AS N1 FROM [Data] GROUP BY [R], [C] ORDER BY [R], [C];";
    const std::string plainSql = "SELECT [R], [C], [X] FROM [Data] ORDER BY [R],[C],[X];";

    std::vector<Job> jobs;
    {
        auto db = CreateScenarioDatabase(path);
        makeData(*db, args.Records);
        const ScenarioColumnValues group = {{"GroupIgnoreBlanks", true}};
        jobs.push_back({"one-way ANOVA",
                        StoreScenario(*db, {"G", "ANOVA", "OutAnova", "OutAnova_2", group, {{"F1", "C"}, {"X", "X"}}}),
                        oneWaySql, 2});
        jobs.push_back(
            {"t-test",
             StoreScenario(*db, {"G", "Two Sample t-Test", "OutT", "OutT_2", group, {{"F1", "C"}, {"X", "X"}}}),
             oneWaySql, 2});
        jobs.push_back({"two-factor ANOVA",
                        StoreScenario(*db, {"G", "Two way ANOVA", "OutTwo", "OutTwo_2", group,
                                            {{"F1", "C"}, {"F2", "C"}, {"X", "X"}}}),
                        twoWaySql, 3});
        for (const char* letter : {"C", "S", "A", "1", "L", "M", "X", "R", "U", "O", "V", "F", "D", "E"}) {
            const bool grouped = std::string("CSA1L").find(letter) != std::string::npos;
            const bool chi = std::string("CS").find(letter) != std::string::npos;
            ScenarioColumnValues opts = {
                {"XType", letter}, {"XRowPCnt", true}, {"XColPcnt", true}, {"XTotPcnt", true},
                {"XExpectPcnt", chi}, {"XExpect", chi}, {"XChi", chi}};
            const std::string out = std::string("OutX") + letter;
            jobs.push_back({std::string("crosstab ") + letter,
                            StoreScenario(*db, {"P", "Crosstab", out, out + "_2", opts,
                                                {{"R", "G"}, {"C", "C"}, {"X", "X"}}}),
                            grouped ? groupedSql : plainSql, 2});
        }
        db->Close();
    }
    {
        auto db = CreateScenarioDatabase(manyPath);
        makeManyGroups(*db, std::min(args.Records, kMaxManyGroups));
        const ScenarioColumnValues group = {{"GroupIgnoreBlanks", true}};
        const std::vector<std::pair<std::string, std::string>> fields = {{"G", "G"}, {"C", "C"}, {"X", "X"}};
        Job t{"t-test, 1/group",
              StoreScenario(*db, {"G", "Two Sample t-Test", "OutT", "OutT_2", group, fields}), manySql, 10};
        t.manyGroups = true;
        jobs.push_back(t);
        Job a{"ANOVA, 1/group", StoreScenario(*db, {"G", "ANOVA", "OutAnova", "OutAnova_2", group, fields}), manySql, 30};
        a.manyGroups = true;
        jobs.push_back(a);
        db->Close();
    }
    if (!only.empty())
        jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                                  [&](const Job& j) { return j.name.find(only) == std::string::npos; }),
                   jobs.end());

    auto db = DBEngine().OpenDatabase(path);
    auto manyDb = DBEngine().OpenDatabase(manyPath);
    double checksum = 0;
    for (int i = 0; i < args.Repetitions; ++i) {
        for (auto& j : jobs) {
            const DatabasePtr& on = j.manyGroups ? manyDb : db;
            // Baseline and run swap places each time.
            double tBase = 0, tRun = 0;
            if (i % 2 == 0) {
                tBase = ReadQuery(on, j.baseline, checksum);
                tRun = RunScenario(on, j.id);
            } else {
                tRun = RunScenario(on, j.id);
                tBase = ReadQuery(on, j.baseline, checksum);
            }
            j.tBase = std::min(j.tBase, tBase);
            j.tRun = std::min(j.tRun, tRun);
            j.ratioMin = std::min(j.ratioMin, tRun / tBase);
            j.ratioMax = std::max(j.ratioMax, tRun / tBase);
        }
    }
    std::printf("(checksum %.6g)\n", checksum);
    for (const auto& j : jobs)
        std::printf("%-18s %8.3f s  baseline %8.3f s  ratio %.2f .. %.2f over the runs  (goal <= %.0f)\n",
                    j.name.c_str(), j.tRun, j.tBase, j.ratioMin, j.ratioMax, j.goal);

    manyDb->Close();
    db->Close();
    return 0;
}
