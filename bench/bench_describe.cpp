// "Describe" and "Percentiles" against SQLite's own sorted read of the same
// rows, measured in the same run.
//
//   baseline: the records (group field and two data fields) read sorted by
//             group through SQLite's C API, every value fetched; also the
//             same read through the data-access layer;
//   describe: a grouped "Describe" with every statistic except percentiles
//             and the mode (goal: describe / baseline <= 2);
//   sorted:   the same with percentiles ("Percentiles", 99 points) and the
//             mode, grouped and without a group field (goal: <= 2.5);
//   pctl:     "Percentiles" (99 points), grouped and not (goal: <= 2.5);
//   large:    "Percentiles" and the sorted "Describe" without a group field
//             over four times the records, against their own time (goal:
//             <= 4.5) and with memory no more than 8 bytes a value plus a
//             fixed amount; the same with the values spilt to the sort table
//             past 2^20 of them (goal: spill / in memory <= 2);
//   linear:   the grouped "Describe" over a tenth and four times the records,
//             its cost per record against that at the middle size, and its
//             peak memory (goal: flat);
//   progress: "describe" with progress shown to a listener that does nothing
//             (goal: progress / describe <= 1.02).
//
// Usage: bench_describe [records [repetitions]]   (default 1000000 records in
// 10 groups, best of 5 runs each; the large and linear runs take the best of
// fewer runs). Runs of different kinds alternate, so that a slow phase of a
// loaded machine does not fall on one kind only.
#include "bench/BenchSupport.h"
#include "db/Dao.h"
#include "engine/SortStage.h"
#include "engine/VarnelloCore.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <sqlite3.h>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace dao;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void makeTable(Database& db, const std::string& name) {
    auto td = db.CreateTableDef(name);
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    td->Fields().Append(td->CreateField("X1", dbDouble));
    td->Fields().Append(td->CreateField("X2", dbDouble));
    db.TableDefs().Append(td);
}

// The records are written with prepared inserts: the benchmark measures the reads.
void fillTable(const std::string& path, const std::string& name, long records) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    // The table's text column names the data-access layer's collation; no
    // index uses it, so any order lets the statement compile.
    sqlite3_create_collation(db, "GENERAL", SQLITE_UTF8, nullptr, [](void*, int a, const void* pa, int b, const void* pb) {
        int c = std::memcmp(pa, pb, static_cast<std::size_t>(std::min(a, b)));
        return c != 0 ? c : a - b;
    });
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    std::string sql = "INSERT INTO \"" + name + "\" (Grp, X1, X2) VALUES (?1, ?2, ?3)";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
        std::exit(1);
    }
    char grp[16];
    unsigned long long state = 88172645463325252ULL;
    auto next = [&]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (long i = 0; i < records; ++i) {
        std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
        sqlite3_bind_text(st, 1, grp, -1, SQLITE_TRANSIENT);
        // Values with two decimals around a large mean, many of them repeated.
        sqlite3_bind_double(st, 2, 1000000.0 + static_cast<double>(next() % 100000) / 100.0);
        sqlite3_bind_double(st, 3, static_cast<double>(next() % 5000) / 10.0);
        if (sqlite3_step(st) != SQLITE_DONE) {
            std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
            std::exit(1);
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

std::int32_t storeScenario(Database& db, const std::string& table, const std::string& subType, bool grouped,
                           const std::string& output, const std::vector<std::pair<std::string, Variant>>& options) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue("P");
        rs->Fields("Scenario_Analysis_SubType")->SetValue(subType);
        rs->Fields("Scenario_Input_Table_Name")->SetValue(table);
        rs->Fields("Scenario_Output_Table1_Name")->SetValue(output);
        rs->Fields("Scenario_Version")->SetValue("V5");
        rs->Fields("Scenario_CreatedBy")->SetValue("bench");
        rs->Fields("Scenario_ModifiedBy")->SetValue("bench");
        rs->Fields("MissingType")->SetValue("0");
        for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
            rs->Fields(lock)->SetValue(std::string(10, ' '));
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        id = rs->Fields("Scenario_ID")->Value().ToLong();
    }
    {
        auto rs = db.OpenRecordset(kOptionsTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("Scenario_ID")->SetValue(id);
        for (const auto& [k, v] : options) rs->Fields(k)->SetValue(v);
        rs->Update();
    }
    {
        auto rs = db.OpenRecordset(kFieldsTableName, dbOpenDynaset);
        const char* names[] = {"Grp", "X1", "X2"};
        const char* roles[] = {"G", "X", "X"};
        for (int i = grouped ? 0 : 1; i < 3; ++i) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(names[i]);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(std::int16_t(grouped ? i + 1 : i));
            rs->Fields("FieldDef_Choice")->SetValue(roles[i]);
            rs->Update();
        }
    }
    return id;
}

double readLayer(const DatabasePtr& db, double& checksum) {
    auto t0 = Clock::now();
    auto rs = db->OpenRecordset("SELECT [Grp], [X1], [X2] FROM [Data] ORDER BY [Grp];", dbOpenDynaset,
                                dbReadOnly | dbSeeChanges);
    auto g = rs->Fields("Grp"), x1 = rs->Fields("X1"), x2 = rs->Fields("X2");
    std::size_t len = 0;
    while (!rs->EOF_()) {
        Variant gv = g->Value();
        len += gv.IsNull() ? 0 : gv.RawString().size();
        checksum += x1->Value().ToDouble() + x2->Value().ToDouble();
        rs->MoveNext();
    }
    rs->Close();
    checksum += static_cast<double>(len);
    return seconds(t0, Clock::now());
}

// SQLite's own sorted read by group, on a connection as SQLite opens it.
// SQLite's own text order: the data-access layer's collation is its own code.
double readCApi(const std::string& path, double& checksum) {
    return bench::ReadSqlite(path, "SELECT Grp, X1, X2 FROM Data ORDER BY Grp COLLATE BINARY", checksum);
}

// Bytes the allocator has handed out and not taken back (its heaps and its
// mapped blocks), whether or not the pages are resident yet.
long heapKiB() {
    struct mallinfo2 m = mallinfo2();
    return static_cast<long>((m.uordblks + m.hblkhd) / 1024);
}

class PeakMemory {
public:
    PeakMemory() {
        m_before = heapKiB();
        m_peak = m_before;
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                m_peak = std::max(m_peak.load(), heapKiB());
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    double StopMiB() {
        m_stop = true;
        m_thread.join();
        m_peak = std::max(m_peak.load(), heapKiB());
        return m_before < 0 ? -1.0 : static_cast<double>(m_peak.load() - m_before) / 1024.0;
    }

private:
    long m_before = 0;
    std::atomic<long> m_peak{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class Quiet : public IVarnelloEvents {
public:
    long events = 0;
    void StatStatus(std::string&) override { ++events; }
};

double runScenario(const DatabasePtr& db, std::int32_t id, bool progress, long* events = nullptr,
                   double* peakMiB = nullptr) {
    std::optional<PeakMemory> memory;
    if (peakMiB) memory.emplace();
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    Quiet listener;
    if (progress) {
        eng.SetEvents(&listener);
        eng.SetShowProgress(true);
    }
    auto t0 = Clock::now();
    bool ok = eng.RunScenario(id);
    double t = seconds(t0, Clock::now());
    if (!ok) {
        std::fprintf(stderr, "scenario %d failed: %s\n", id, eng.ErrorInfo().c_str());
        std::exit(1);
    }
    if (events) *events = listener.events;
    if (peakMiB) *peakMiB = memory->StopMiB();
    return t;
}

} // namespace

struct Best {
    double t = 1e300;
    double mem = -1;
    void take(double v) { t = std::min(t, v); }
    // Runs the scenario, keeping its time and its peak memory.
    void run(const DatabasePtr& db, std::int32_t id) {
        double m = -1;
        double v = runScenario(db, id, false, nullptr, &m);
        t = std::min(t, v);
        mem = mem < 0 ? m : std::min(mem, m);
    }
};

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    if (reps < 1) reps = 1;
    const long small = records / 10, large = records * 4;
    const int largeReps = std::max(1, (reps + 1) / 2);
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-describe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    std::int32_t plainId, sortedId, sortedFlatId, pctId, pctFlatId, pctLargeId, sortedLargeId, plainSmallId,
        plainLargeId;
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        gdbCurrent = db;
        if (!CreateScenarioTables()) {
            std::fprintf(stderr, "scenario tables could not be made\n");
            return 1;
        }
        gdbCurrent.reset();
        for (const char* t : {"Data", "Small", "Large"}) makeTable(*db, t);
        std::vector<std::pair<std::string, Variant>> plain = {
            {"Range", true},       {"VarStd", true},          {"VarNRadio", "N-1"},
            {"Sum", true},         {"Mean", true},            {"Skew", true},
            {"Mode", false},       {"Percentile", false},     {"CI", true},
            {"CITypeRadio", "t-Test"}, {"CI95", true},        {"CIUser", std::int16_t(90)},
            {"TTestMean", true},   {"TTestValue", 1000.0},    {"FreqN", true},
            {"FreqP", true},       {"InterV", std::int16_t(10)}, {"FreqGroupRadio", "Default"}};
        auto sorted = plain;
        for (auto& [k, v] : sorted) {
            if (k == "Mode" || k == "Percentile") v = true;
        }
        sorted.push_back({"PercentileRadio", "Percentiles"});
        std::vector<std::pair<std::string, Variant>> pct = {{"PercentileRadio", "Percentiles"}};
        plainId = storeScenario(*db, "Data", "Describe", true, "OutPlain", plain);
        sortedId = storeScenario(*db, "Data", "Describe", true, "OutSorted", sorted);
        sortedFlatId = storeScenario(*db, "Data", "Describe", false, "OutSortedFlat", sorted);
        pctId = storeScenario(*db, "Data", "Percentiles", true, "OutPct", pct);
        pctFlatId = storeScenario(*db, "Data", "Percentiles", false, "OutPctFlat", pct);
        pctLargeId = storeScenario(*db, "Large", "Percentiles", false, "OutPctLarge", pct);
        sortedLargeId = storeScenario(*db, "Large", "Describe", false, "OutSortedLarge", sorted);
        plainSmallId = storeScenario(*db, "Small", "Describe", true, "OutPlainSmall", plain);
        plainLargeId = storeScenario(*db, "Large", "Describe", true, "OutPlainLarge", plain);
        db->Close();
        DBEngine().Reset();
        auto t0 = Clock::now();
        fillTable(path, "Data", records);
        fillTable(path, "Small", small);
        fillTable(path, "Large", large);
        std::printf("data: %ld + %ld + %ld records written in %.2f s\n", records, small, large,
                    seconds(t0, Clock::now()));
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    Best cRead, layerRead, plain, progress, sorted, sortedFlat, pct, pctFlat;
    long events = 0;
    for (int i = 0; i < reps; ++i) {
        cRead.take(readCApi(path, checksum));
        layerRead.take(readLayer(db, checksum));
        // The plain and the progress run swap places each time: neither
        // always follows the other.
        if (i % 2 == 0) {
            plain.take(runScenario(db, plainId, false));
            progress.take(runScenario(db, plainId, true, &events));
        } else {
            progress.take(runScenario(db, plainId, true, &events));
            plain.take(runScenario(db, plainId, false));
        }
        sorted.take(runScenario(db, sortedId, false));
        sortedFlat.take(runScenario(db, sortedFlatId, false));
        pct.take(runScenario(db, pctId, false));
        pctFlat.take(runScenario(db, pctFlatId, false));
    }
    // Four times the values in one group: in memory, and spilt to the sort
    // table past a lower limit. Peak memory is taken beside the runs of the
    // middle size.
    Best pctMid, pctLarge, pctLargeSpill, sortedMid, sortedLarge, sortedLargeSpill, plainSmall, plainMid, plainLarge;
    for (int i = 0; i < largeReps; ++i) {
        pctMid.run(db, pctFlatId);
        pctLarge.run(db, pctLargeId);
        std::size_t old = SortStage::SetMemoryLimit(std::size_t(1) << 20);
        pctLargeSpill.run(db, pctLargeId);
        sortedLargeSpill.run(db, sortedLargeId);
        SortStage::SetMemoryLimit(old);
        sortedLarge.run(db, sortedLargeId);
        sortedMid.run(db, sortedFlatId);
        plainSmall.run(db, plainSmallId);
        plainMid.run(db, plainId);
        plainLarge.run(db, plainLargeId);
    }

    const double base = cRead.t;
    const double values = 2.0 * static_cast<double>(large); // two fields
    auto perValue = [&](const Best& b) { return b.mem < 0 ? -1.0 : b.mem * 1048576.0 / values; };
    std::printf("baseline: SQLite's sorted read by group  %8.3f s  (checksum %.6g)\n", base, checksum);
    std::printf("  the same read through the data-access layer %8.3f s  ratio %.2f\n", layerRead.t,
                layerRead.t / base);
    std::printf("describe, grouped                 %8.3f s  ratio %.2f  (goal <= 2)\n", plain.t, plain.t / base);
    std::printf("  with percentiles and mode       %8.3f s  ratio %.2f  (goal <= 2.5)\n", sorted.t, sorted.t / base);
    std::printf("  the same without a group field  %8.3f s  ratio %.2f  (goal <= 2.5)\n", sortedFlat.t,
                sortedFlat.t / base);
    std::printf("percentiles, grouped              %8.3f s  ratio %.2f  (goal <= 2.5)\n", pct.t, pct.t / base);
    std::printf("  without a group field           %8.3f s  ratio %.2f  (goal <= 2.5)\n", pctFlat.t, pctFlat.t / base);
    std::printf("percentiles, %ld values in one group  %8.3f s  ratio to %ld %.2f  (goal <= 4.5); peak %.1f MiB, "
                "%.1f bytes a value\n",
                large, pctLarge.t, records, pctLarge.t / pctMid.t, pctLarge.mem, perValue(pctLarge));
    std::printf("  spilt to the sort table past %d values  %8.3f s  spill ratio %.2f  (goal <= 2); peak %.1f MiB\n",
                1 << 20, pctLargeSpill.t, pctLargeSpill.t / pctLarge.t, pctLargeSpill.mem);
    std::printf("describe with percentiles and mode, %ld values  %8.3f s  ratio to %ld %.2f  (goal <= 4.5); "
                "peak %.1f MiB, %.1f bytes a value\n",
                large, sortedLarge.t, records, sortedLarge.t / sortedMid.t, sortedLarge.mem, perValue(sortedLarge));
    std::printf("  spilt to the sort table past %d values  %8.3f s  spill ratio %.2f  (goal <= 2); peak %.1f MiB\n",
                1 << 20, sortedLargeSpill.t, sortedLargeSpill.t / sortedLarge.t, sortedLargeSpill.mem);
    auto perRecord = [](const Best& b, long n) { return b.t / static_cast<double>(n); };
    std::printf("describe, grouped, cost per record: %ld %.3g s, %ld %.3g s, %ld %.3g s; ratio to %ld: %.2f and %.2f "
                "(goal: linear)\n",
                small, perRecord(plainSmall, small), records, perRecord(plainMid, records), large,
                perRecord(plainLarge, large), records, perRecord(plainSmall, small) / perRecord(plainMid, records),
                perRecord(plainLarge, large) / perRecord(plainMid, records));
    std::printf("  peak memory: %.1f, %.1f, %.1f MiB (goal: flat)\n", plainSmall.mem, plainMid.mem, plainLarge.mem);
    std::printf("describe with progress            %8.3f s  ratio to describe %.3f  (goal <= 1.02; %ld events)\n",
                progress.t, progress.t / plain.t, events);

    db->Close();
    DBEngine().Reset();
    // VARNELLO_BENCH_KEEP keeps the database with its output tables (to
    // compare the results of two builds).
    if (std::getenv("VARNELLO_BENCH_KEEP")) {
        std::printf("kept: %s\n", path.c_str());
        return 0;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
