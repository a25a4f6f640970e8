// The "Describe" analysis against reading its input, measured in the same run.
//
//   baseline: the sorted records (group field and two data fields, ordered as
//             the analysis orders them) read through the data-access layer,
//             every value fetched;
//   plain:    a "Describe" scenario over them with every statistic except
//             percentiles and the mode (goal: plain / baseline <= 2);
//   sorted:   the same with percentiles ("Percentiles", 99 points) and the
//             mode (goal: sorted / baseline <= 5);
//   progress: "plain" with progress shown to a listener that does nothing
//             (goal: progress / plain <= 1.05).
//
// Usage: bench_describe [records [repetitions]]   (default 1000000 records in
// 10 groups, best of 5 runs each)
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
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    td->Fields().Append(td->CreateField("X1", dbDouble));
    td->Fields().Append(td->CreateField("X2", dbDouble));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    auto g = rs->Fields("Grp"), x1 = rs->Fields("X1"), x2 = rs->Fields("X2");
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
        rs->AddNew();
        g->SetValue(grp);
        // Values with two decimals around a large mean, many of them repeated.
        x1->SetValue(1000000.0 + static_cast<double>(next() % 100000) / 100.0);
        x2->SetValue(static_cast<double>(next() % 5000) / 10.0);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

std::int32_t storeScenario(Database& db, const std::string& output,
                           const std::vector<std::pair<std::string, Variant>>& options) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue("P");
        rs->Fields("Scenario_Analysis_SubType")->SetValue("Describe");
        rs->Fields("Scenario_Input_Table_Name")->SetValue("Data");
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
        for (int i = 0; i < 3; ++i) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(names[i]);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(std::int16_t(i + 1));
            rs->Fields("FieldDef_Choice")->SetValue(roles[i]);
            rs->Update();
        }
    }
    return id;
}

double readBaseline(const DatabasePtr& db, double& checksum) {
    auto t0 = Clock::now();
    auto rs = db->OpenRecordset("SELECT [Grp], [X1], [X2] FROM [Data] ORDER BY [Grp],[X1];", dbOpenDynaset,
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

class Quiet : public IVarnelloEvents {
public:
    long events = 0;
    void StatStatus(std::string&) override { ++events; }
};

double runScenario(const DatabasePtr& db, std::int32_t id, bool progress, long* events = nullptr) {
    Varnello eng;
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
    return t;
}

} // namespace

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    if (reps < 1) reps = 1;
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-describe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    std::int32_t plainId, sortedId;
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
        std::vector<std::pair<std::string, Variant>> plain = {
            {"Range", true},       {"VarStd", true},          {"VarNRadio", "N-1"},
            {"Sum", true},         {"Mean", true},            {"Skew", true},
            {"Mode", false},       {"Percentile", false},     {"CI", true},
            {"CITypeRadio", "t-Test"}, {"CI95", true},        {"CIUser", std::int16_t(90)},
            {"TTestMean", true},   {"TTestValue", 1000.0},    {"FreqN", true},
            {"FreqP", true},       {"InterV", std::int16_t(10)}, {"FreqGroupRadio", "Default"}};
        plainId = storeScenario(*db, "OutPlain", plain);
        auto sorted = plain;
        for (auto& [k, v] : sorted) {
            if (k == "Mode" || k == "Percentile") v = true;
        }
        sorted.push_back({"PercentileRadio", "Percentiles"});
        sortedId = storeScenario(*db, "OutSorted", sorted);
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    // Runs alternate, so that a slow phase of the machine or the file's
    // growth does not fall on one kind of run only.
    double tRead = 1e300, tPlain = 1e300, tProgress = 1e300, tSorted = 1e300;
    long events = 0;
    for (int i = 0; i < reps; ++i) {
        tRead = std::min(tRead, readBaseline(db, checksum));
        // The plain and the progress run swap places each time: neither
        // always follows the other.
        if (i % 2 == 0) {
            tPlain = std::min(tPlain, runScenario(db, plainId, false));
            tProgress = std::min(tProgress, runScenario(db, plainId, true, &events));
        } else {
            tProgress = std::min(tProgress, runScenario(db, plainId, true, &events));
            tPlain = std::min(tPlain, runScenario(db, plainId, false));
        }
        tSorted = std::min(tSorted, runScenario(db, sortedId, false));
    }
    std::printf("baseline read     %8.3f s  (checksum %.6g)\n", tRead, checksum);
    std::printf("describe          %8.3f s  ratio %.2f  (goal <= 2)\n", tPlain, tPlain / tRead);
    std::printf("  with percentiles and mode %8.3f s  ratio %.2f  (goal <= 5)\n", tSorted, tSorted / tRead);
    std::printf("  with progress   %8.3f s  ratio to describe %.3f  (goal <= 1.05; %ld events)\n", tProgress,
                tProgress / tPlain, events);

    db->Close();
    DBEngine().Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
