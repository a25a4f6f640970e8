// Memory of writing rows through a recordset, against the rows written.
//
// Every measurement is a child process of its own (this program again, with
// "--child"), so that its peak resident memory (VmHWM) is its own. At
// 100,000, 1,000,000 and 4,000,000 rows:
//   C API      the rows written by a prepared INSERT through SQLite's C API
//              (the baseline);
//   dynaset    the same rows through AddNew/Update on a dynaset on the table,
//              as a run writes its output table;
//   append     the same through an append-only recordset, as analyses write
//              their second tables and work tables;
//   analysis   "Percentiles" (quartiles) with one record in each group, one
//              output row a group, against reading its sorted records (its
//              own baseline).
// Printed per writer and size: the time and its ratio to the baseline of the
// same size, the peak memory and its ratio to the baseline's, and the growth
// of the peak from the smallest size in bytes a row. Goal: the recordsets'
// peak memory flat in the rows written (growth well under a byte a row, as
// the baseline), the time within 2x the baseline's.
//
// Usage: bench_outputrows [largest [repetitions]]   (default 4000000 rows, 2
// runs of each: the best time, the largest peak; ratios over all runs)
#include "bench/BenchSupport.h"
#include "db/JetFunctions.h"

#include <sqlite3.h>

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

// An output table as a run makes it: lead columns and statistics.
void makeOutputTable(Database& db) {
    auto td = db.CreateTableDef("Out");
    td->Fields().Append(td->CreateField("G", dbLong));
    td->Fields().Append(td->CreateField("DataField", dbText, 64));
    td->Fields().Append(td->CreateField("Observations", dbDouble));
    td->Fields().Append(td->CreateField("Missing", dbDouble));
    td->Fields().Append(td->CreateField("Mean", dbDouble));
    td->Fields().Append(td->CreateField("SD", dbDouble));
    db.TableDefs().Append(td);
}

double value(long i) { return static_cast<double>(i % 1000) * 0.25; }

// The rows through SQLite's C API.
double writeByCApi(const std::string& path, long rows) {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    RegisterJetFunctions(raw); // the table's text column uses its collation
    const auto t0 = Clock::now();
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw,
                       "INSERT INTO Out (G, DataField, Observations, Missing, Mean, SD) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                       -1, &st, nullptr);
    for (long i = 0; i < rows; ++i) {
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_text(st, 2, "X", -1, SQLITE_STATIC);
        sqlite3_bind_double(st, 3, 1.0);
        sqlite3_bind_double(st, 4, 0.0);
        sqlite3_bind_double(st, 5, value(i));
        sqlite3_bind_null(st, 6);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    const double t = Seconds(t0, Clock::now());
    sqlite3_close(raw);
    return t;
}

// The rows through a recordset on the table.
double writeByRecordset(const std::string& path, long rows, int options) {
    auto ws = DBEngine().Workspaces(0);
    auto db = ws->OpenDatabase(path);
    const auto t0 = Clock::now();
    ws->BeginTrans();
    auto rs = db->OpenRecordset("Out", dbOpenDynaset, options);
    FieldPtr g = rs->Fields("G"), name = rs->Fields("DataField"), n = rs->Fields("Observations"),
             missing = rs->Fields("Missing"), mean = rs->Fields("Mean");
    for (long i = 0; i < rows; ++i) {
        rs->AddNew();
        g->SetValue(static_cast<std::int32_t>(i));
        name->SetValue("X");
        n->SetValue(1.0);
        missing->SetValue(0.0);
        mean->SetValue(value(i));
        rs->Update();
    }
    // What a caller may still ask of the rows it wrote.
    rs->SetBookmark(rs->LastModified());
    if (rs->Fields("G")->Value().ToLong() != rows - 1) {
        std::fprintf(stderr, "the last row read back wrong\n");
        std::exit(1);
    }
    rs->Close();
    ws->CommitTrans();
    const double t = Seconds(t0, Clock::now());
    db->Close();
    return t;
}

const char* kSortedSql = "SELECT [G], [X] FROM [Data] ORDER BY [G];";

int child(const std::string& kind, const std::string& path, long rows) {
    double t = 0, checksum = 0;
    if (kind == "capi") {
        t = writeByCApi(path, rows);
    } else if (kind == "dynaset") {
        t = writeByRecordset(path, rows, 0);
    } else if (kind == "append") {
        t = writeByRecordset(path, rows, dbAppendOnly);
    } else if (kind == "analysis" || kind == "read") {
        auto db = DBEngine().OpenDatabase(path);
        t = kind == "read" ? ReadQuery(db, kSortedSql, checksum) : RunScenario(db, 1);
        db->Close();
    }
    bench::ReportToParent(t, checksum);
    return 0;
}

struct Result {
    double seconds = 0;
    long kib = 0;
};

// One measurement in a child process of its own (see bench::RunChild).
Result runChild(const std::string& kind, const std::string& path, long rows) {
    const bench::ChildResult c = bench::RunChild({"--child", kind, path, std::to_string(rows)});
    if (!c.Ok) {
        std::fprintf(stderr, "child %s failed: %s\n", kind.c_str(), c.Error.c_str());
        std::exit(1);
    }
    return {c.Seconds, static_cast<long>(c.PeakMiB * 1024)};
}

struct Row {
    std::string kind, baseline;
    long rows = 0;
    double t = 1e300, tBase = 1e300, ratioMin = 1e300, ratioMax = 0;
    long kib = 0, kibBase = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 4 && std::strcmp(argv[1], "--child") == 0)
        return child(argv[2], argv[3], std::atol(argv[4]));
    const long largest = argc > 1 ? std::atol(argv[1]) : 4000000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    std::vector<long> sizes;
    for (long n : {100000L, 1000000L, 4000000L})
        if (n <= std::max(largest, 100000L))
            sizes.push_back(n);

    ScratchDir dir("outputrows");
    std::vector<Row> rows;
    for (long n : sizes) {
        // A fresh table for every writer and run: each writes into an empty one.
        auto fresh = [&](const std::string& name) {
            const std::string path = dir.File(name + ".db");
            std::filesystem::remove(path);
            auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
            makeOutputTable(*db);
            db->Close();
            return path;
        };
        for (const char* kind : {"dynaset", "append"}) {
            Row r{kind, "C API", n};
            for (int i = 0; i < repetitions; ++i) {
                const Result base = runChild("capi", fresh("capi"), n);
                const Result run = runChild(kind, fresh(kind), n);
                r.t = std::min(r.t, run.seconds);
                r.tBase = std::min(r.tBase, base.seconds);
                r.ratioMin = std::min(r.ratioMin, run.seconds / base.seconds);
                r.ratioMax = std::max(r.ratioMax, run.seconds / base.seconds);
                r.kib = std::max(r.kib, run.kib);
                r.kibBase = std::max(r.kibBase, base.kib);
            }
            rows.push_back(r);
        }
        // Percentiles, one record in each group.
        const std::string path = dir.File("analysis.db");
        std::filesystem::remove(path);
        {
            auto db = CreateScenarioDatabase(path);
            Random random;
            WriteDataTable(*db, {{"G", dbLong}, {"X", dbDouble}}, n, [&](long i, const std::vector<FieldPtr>& f) {
                f[0]->SetValue(static_cast<std::int32_t>(i));
                f[1]->SetValue(static_cast<double>(random.Next() % 100000) / 100.0);
            });
            if (StoreScenario(*db, {"P", "Percentiles", "OutP", "", {{"PercentileRadio", "Quartiles"}},
                                    {{"G", "G"}, {"X", "X"}}}) != 1) {
                std::fprintf(stderr, "the scenario is not number 1\n");
                return 1;
            }
            db->Close();
        }
        Row r{"analysis", "read", n};
        for (int i = 0; i < repetitions; ++i) {
            const Result base = runChild("read", path, n);
            const Result run = runChild("analysis", path, n);
            r.t = std::min(r.t, run.seconds);
            r.tBase = std::min(r.tBase, base.seconds);
            r.ratioMin = std::min(r.ratioMin, run.seconds / base.seconds);
            r.ratioMax = std::max(r.ratioMax, run.seconds / base.seconds);
            r.kib = std::max(r.kib, run.kib);
            r.kibBase = std::max(r.kibBase, base.kib);
        }
        rows.push_back(r);
    }

    std::printf("rows written against peak memory (best time of %d, largest peak; ratios over all runs)\n",
                repetitions);
    std::printf("%-9s %9s %9s %9s %13s %10s %10s %9s %15s %15s\n", "writer", "rows", "time s", "base s", "time ratio",
                "peak MiB", "base MiB", "peak x", "growth B/row", "base B/row");
    for (const Row& r : rows) {
        const Row* first = nullptr;
        for (const Row& o : rows)
            if (o.kind == r.kind && (!first || o.rows < first->rows))
                first = &o;
        const double perRow = r.rows == first->rows ? 0.0
                                                    : static_cast<double>(r.kib - first->kib) * 1024.0 /
                                                          static_cast<double>(r.rows - first->rows);
        const double basePerRow = r.rows == first->rows ? 0.0
                                                        : static_cast<double>(r.kibBase - first->kibBase) * 1024.0 /
                                                              static_cast<double>(r.rows - first->rows);
        std::printf("%-9s %9ld %9.3f %9.3f %6.2f..%-6.2f %10.1f %10.1f %9.2f %15.2f %15.2f\n", r.kind.c_str(), r.rows,
                    r.t, r.tBase, r.ratioMin, r.ratioMax, r.kib / 1024.0, r.kibBase / 1024.0,
                    static_cast<double>(r.kib) / static_cast<double>(r.kibBase), perRow, basePerRow);
    }
    std::printf("baselines: C API for dynaset and append, reading the sorted records for analysis\n");
    return 0;
}
