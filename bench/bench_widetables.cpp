// Time of the analyses whose output tables are as wide as their source:
// a "Matrix" of every statistic over 500, 1,000 and 1,990 fields (one column
// per field, nine rows per field), against writing the same rows through one
// prepared INSERT of SQLite's C API into a table of the same columns (the
// baseline).
//
// The source has 30 records; the analysis's own arithmetic (every pair of
// fields over 30 records) is small beside its output. The rows of the t
// value and its probability leave the field's own cell Null, so that each
// row writes another set of columns than the row before it.
//
// Goal: the ratio flat across the widths (the run's time growing as the cells
// written, the square of the fields, not faster). The ratio itself is the
// analysis's own arithmetic, every pair of fields taken exactly.
//
// Measured (1 run each; shared 8-core machine), fields: ratio
//   before the rows shared one INSERT:  500: 24.9   1000: 47.2   1990: 73.7 (64.8 s)
//   after:                              500: 6.6    1000: 6.7    1990: 7.2 (6.1 s)
//
// Usage: bench_widetables [largest [repetitions]]   (default 1990 fields,
// 2 runs of each; the best counts)
#include "bench/BenchSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

std::string fieldName(int i) { return "Field " + std::to_string(i); }

double value(long record, int field) { return static_cast<double>((record * (field + 3)) % 11 + field % 5); }

// The rows a matrix of n fields writes (9 n rows of n + 2 columns), through
// one prepared statement, every cell bound (Null on the diagonal of the
// t and probability rows).
double writeByCApi(const std::string& path, int n) {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    std::string create = "CREATE TABLE Base (DataField TEXT, CalcType TEXT";
    std::string insert = "INSERT INTO Base VALUES (?, ?";
    for (int i = 1; i <= n; ++i) {
        create += ", \"" + fieldName(i) + "\" REAL";
        insert += ", ?";
    }
    sqlite3_exec(raw, (create + ")").c_str(), nullptr, nullptr, nullptr);
    const auto t0 = Clock::now();
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, (insert + ")").c_str(), -1, &st, nullptr);
    for (int stat = 0; stat < 9; ++stat) {
        for (int row = 1; row <= n; ++row) {
            const std::string name = fieldName(row);
            sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, "Statistic", -1, SQLITE_STATIC);
            for (int c = 1; c <= n; ++c) {
                if (stat >= 7 && c == row) sqlite3_bind_null(st, c + 2);
                else sqlite3_bind_double(st, c + 2, value(row, c));
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    const double s = Seconds(t0, Clock::now());
    sqlite3_close(raw);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::max(2, std::atoi(argv[1])) : 1990;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    std::vector<int> widths;
    for (int w : {500, 1000}) if (w < largest) widths.push_back(w);
    widths.push_back(largest);
    std::printf("%8s %12s %12s %8s\n", "fields", "matrix s", "C API s", "ratio");
    for (int n : widths) {
        ScratchDir dir("widetables");
        DatabasePtr db = CreateScenarioDatabase(dir.File("wide.db"));
        std::vector<Column> columns;
        for (int i = 1; i <= n; ++i) columns.push_back({fieldName(i), dbDouble, 0});
        WriteDataTable(*db, columns, 30, [&](long r, const std::vector<FieldPtr>& fields) {
            for (int i = 1; i <= n; ++i) fields[static_cast<std::size_t>(i - 1)]->SetValue(value(r, i));
        });
        Scenario s;
        s.SubType = "Matrix";
        s.Output1 = "Out";
        for (const char* k : {"MCnt", "MMis", "MMean", "MDev", "MCov", "MCor", "MR2", "MT", "MProb"})
            s.Options.push_back({k, Variant(true)});
        s.Options.push_back({"MProbTail", Variant("2-tail")});
        for (int i = 1; i <= n; ++i) s.Fields.push_back({fieldName(i), "X"});
        const std::int32_t id = StoreScenario(*db, s);
        double best = 0, base = 0;
        for (int r = 0; r < repetitions; ++r) {
            const double t = RunScenario(db, id);
            best = r == 0 ? t : std::min(best, t);
            const double b = writeByCApi(dir.File("base" + std::to_string(r) + ".db"), n);
            base = r == 0 ? b : std::min(base, b);
        }
        db->Close();
        std::printf("%8d %12.2f %12.2f %8.1f\n", n, best, base, best / base);
        std::fflush(stdout);
    }
    return 0;
}
