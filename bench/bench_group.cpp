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
//       (goal: ratio <= 2).
//
// Usage: bench_group [records [repetitions]]   (default 1000000 records,
// best of 3 runs each)
#include "db/Dao.h"
#include "engine/Varnello.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace dao;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void makeData(Database& db, long records) {
    auto td = db.CreateTableDef("Data");
    td->Fields().Append(td->CreateField("F1", dbText, 20));
    td->Fields().Append(td->CreateField("F2", dbLong));
    td->Fields().Append(td->CreateField("R", dbText, 20));
    td->Fields().Append(td->CreateField("C", dbLong));
    td->Fields().Append(td->CreateField("X", dbDouble));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    auto f1 = rs->Fields("F1"), f2 = rs->Fields("F2"), r = rs->Fields("R"), c = rs->Fields("C"), x = rs->Fields("X");
    char text[32];
    unsigned long long state = 88172645463325252ULL;
    auto next = [&]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (long i = 0; i < records; ++i) {
        rs->AddNew();
        std::snprintf(text, sizeof text, "Level %d", static_cast<int>(next() % 10));
        f1->SetValue(text);
        f2->SetValue(static_cast<int>(next() % 10));
        std::snprintf(text, sizeof text, "Row %d", static_cast<int>(next() % 10));
        r->SetValue(text);
        c->SetValue(static_cast<int>(next() % 20));
        // Values with two decimals around a large mean.
        x->SetValue(1000000.0 + static_cast<double>(next() % 100000) / 100.0);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

std::int32_t storeScenario(Database& db, const std::string& type, const std::string& subType, const std::string& output,
                           const std::vector<std::pair<std::string, Variant>>& options,
                           const std::vector<std::pair<std::string, std::string>>& fields) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue(type);
        rs->Fields("Scenario_Analysis_SubType")->SetValue(subType);
        rs->Fields("Scenario_Input_Table_Name")->SetValue("Data");
        rs->Fields("Scenario_Output_Table1_Name")->SetValue(output);
        rs->Fields("Scenario_Output_Table2_Name")->SetValue(output + "_2");
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
        std::int16_t i = 0;
        for (const auto& [name, role] : fields) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(name);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(++i);
            rs->Fields("FieldDef_Choice")->SetValue(role);
            rs->Update();
        }
    }
    return id;
}

// Reads every value of every column of the query.
double readQuery(const DatabasePtr& db, const std::string& sql, double& checksum) {
    auto t0 = Clock::now();
    auto rs = db->OpenRecordset(sql, dbOpenDynaset, dbReadOnly | dbSeeChanges);
    const int n = rs->FieldCount();
    std::vector<FieldPtr> cols;
    for (int i = 0; i < n; ++i) cols.push_back(rs->Fields(i));
    std::size_t len = 0;
    while (!rs->EOF_()) {
        for (const auto& c : cols) {
            Variant v = c->Value();
            if (v.IsString()) len += v.RawString().size();
            else if (!v.IsNull()) checksum += v.ToDouble();
        }
        rs->MoveNext();
    }
    rs->Close();
    checksum += static_cast<double>(len);
    return seconds(t0, Clock::now());
}

double runScenario(const DatabasePtr& db, std::int32_t id) {
    Varnello eng;
    eng.SetScenarioDatabase(db);
    auto t0 = Clock::now();
    bool ok = eng.RunScenario(id);
    double t = seconds(t0, Clock::now());
    if (!ok) {
        std::fprintf(stderr, "scenario %d failed: %s\n", id, eng.ErrorInfo().c_str());
        std::exit(1);
    }
    return t;
}

struct Job {
    std::string name;
    std::int32_t id = 0;
    std::string baseline; // the query the analysis stands on
    double goal = 2;
    double tRun = 1e300, tBase = 1e300;
};

} // namespace

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    int reps = argc > 2 ? std::atoi(argv[2]) : 3;
    if (reps < 1) reps = 1;
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-group-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    const std::string oneWaySql = "SELECT [F1], [X] FROM [Data] WHERE (([F1] Is Not Null)) ORDER BY [F1];";
    const std::string twoWaySql =
        "SELECT [F1], [F2], [X] FROM [Data] WHERE (([F1] Is Not Null) AND ([F2] Is Not Null)) ORDER BY [F1];";
    const std::string groupedSql =
        "SELECT [R], [C], Sum([X]) AS S1, Count([X]) AS N1 FROM [Data] GROUP BY [R], [C] ORDER BY [R], [C];";
    const std::string plainSql = "SELECT [R], [C], [X] FROM [Data] ORDER BY [R],[C],[X];";

    std::vector<Job> jobs;
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        gdbCurrent = db;
        if (!CreateScenarioTables()) {
            std::fprintf(stderr, "scenario tables could not be made\n");
            return 1;
        }
        gdbCurrent.reset();
        auto t0 = Clock::now();
        makeData(*db, records);
        std::printf("data: %ld records written in %.2f s\n", records, seconds(t0, Clock::now()));
        const std::vector<std::pair<std::string, Variant>> group = {{"GroupIgnoreBlanks", true}};
        jobs.push_back({"one-way ANOVA", storeScenario(*db, "G", "ANOVA", "OutAnova", group, {{"F1", "C"}, {"X", "X"}}),
                        oneWaySql, 2});
        jobs.push_back({"t-test", storeScenario(*db, "G", "Two Sample t-Test", "OutT", group, {{"F1", "C"}, {"X", "X"}}),
                        oneWaySql, 2});
        jobs.push_back({"two-factor ANOVA",
                        storeScenario(*db, "G", "Two way ANOVA", "OutTwo", group, {{"F1", "C"}, {"F2", "C"}, {"X", "X"}}),
                        twoWaySql, 3});
        for (const char* letter : {"C", "S", "A", "1", "L", "M", "X", "R", "U", "O", "V", "F", "D", "E"}) {
            const bool grouped = std::string("CSA1L").find(letter) != std::string::npos;
            const bool chi = std::string("CS").find(letter) != std::string::npos;
            std::vector<std::pair<std::string, Variant>> opts = {
                {"XType", letter}, {"XRowPCnt", true}, {"XColPcnt", true}, {"XTotPcnt", true},
                {"XExpectPcnt", chi}, {"XExpect", chi}, {"XChi", chi}};
            jobs.push_back({std::string("crosstab ") + letter,
                            storeScenario(*db, "P", "Crosstab", std::string("OutX") + letter, opts,
                                          {{"R", "G"}, {"C", "C"}, {"X", "X"}}),
                            grouped ? groupedSql : plainSql, 2});
        }
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    for (int i = 0; i < reps; ++i) {
        for (auto& j : jobs) {
            // Baseline and run swap places each time.
            if (i % 2 == 0) {
                j.tBase = std::min(j.tBase, readQuery(db, j.baseline, checksum));
                j.tRun = std::min(j.tRun, runScenario(db, j.id));
            } else {
                j.tRun = std::min(j.tRun, runScenario(db, j.id));
                j.tBase = std::min(j.tBase, readQuery(db, j.baseline, checksum));
            }
        }
    }
    std::printf("(checksum %.6g)\n", checksum);
    for (const auto& j : jobs)
        std::printf("%-18s %8.3f s  baseline %8.3f s  ratio %.2f  (goal <= %.0f)\n", j.name.c_str(), j.tRun, j.tBase,
                    j.tRun / j.tBase, j.goal);

    db->Close();
    DBEngine().Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
