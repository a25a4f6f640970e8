// The "Frequency", "Compare" and "Matrix" analyses against reading their
// input, measured in the same run.
//
//   baseline:  the sorted records each analysis reads (group field and its
//              data fields, ordered as the analysis orders them) read through
//              the data-access layer, every value fetched;
//   frequency: 20 user intervals on 2 fields (goal: ratio <= 2);
//   compare:   one X field against the Y field, every statistic (goal <= 2);
//   matrix:    a 6 × 6 matrix, all nine statistics (goal <= 2).
//
// Usage: bench_descriptive2 [records [repetitions]]   (default 1000000
// records in 10 groups, best of 3 runs each)
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

const char* kX[] = {"X1", "X2", "X3", "X4", "X5", "X6"};

void makeData(Database& db, long records) {
    auto td = db.CreateTableDef("Data");
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    for (const char* x : kX) td->Fields().Append(td->CreateField(x, dbDouble));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    auto g = rs->Fields("Grp");
    std::vector<FieldPtr> xs;
    for (const char* x : kX) xs.push_back(rs->Fields(x));
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
        // Values with two decimals, some around a large mean, one in fifty absent.
        double base = static_cast<double>(next() % 100000) / 100.0;
        for (std::size_t k = 0; k < xs.size(); ++k) {
            if (next() % 50 == 0) continue;
            double v = (k % 2 == 0 ? 1000000.0 : 0.0) + base + static_cast<double>(next() % 1000) / 100.0;
            xs[k]->SetValue(v);
        }
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

std::int32_t storeScenario(Database& db, const std::string& subType, const std::string& output,
                           const std::vector<std::pair<std::string, Variant>>& options,
                           const std::vector<std::pair<std::string, std::string>>& fields) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue("P");
        rs->Fields("Scenario_Analysis_SubType")->SetValue(subType);
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
        std::int16_t pos = 0;
        for (const auto& [name, role] : fields) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(name);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(++pos);
            rs->Fields("FieldDef_Choice")->SetValue(role);
            rs->Update();
        }
    }
    return id;
}

// Reads the group field and the first `n` data fields, ordered by the group and the first data field.
double readBaseline(const DatabasePtr& db, int n, double& checksum) {
    auto t0 = Clock::now();
    std::string sql = "SELECT [Grp]";
    for (int k = 0; k < n; ++k) sql += std::string(", [") + kX[k] + "]";
    sql += " FROM [Data] ORDER BY [Grp],[X1];";
    auto rs = db->OpenRecordset(sql, dbOpenDynaset, dbReadOnly | dbSeeChanges);
    auto g = rs->Fields("Grp");
    std::vector<FieldPtr> xs;
    for (int k = 0; k < n; ++k) xs.push_back(rs->Fields(kX[k]));
    std::size_t len = 0;
    while (!rs->EOF_()) {
        Variant gv = g->Value();
        len += gv.IsNull() ? 0 : gv.RawString().size();
        for (auto& x : xs) {
            Variant v = x->Value();
            if (!v.IsNull()) checksum += v.ToDouble();
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

} // namespace

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    int reps = argc > 2 ? std::atoi(argv[2]) : 3;
    if (reps < 1) reps = 1;
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-descriptive2-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    std::int32_t freqId, compareId, matrixId;
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
        freqId = storeScenario(*db, "Frequency", "OutFreq",
                               {{"InterV", std::int16_t(20)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0},
                                {"FreqWidth", 50000.0}, {"FreqIncRadio", "Lower"}, {"FreqSum", true}},
                               {{"Grp", "G"}, {"X1", "X"}, {"X2", "X"}});
        compareId = storeScenario(*db, "Compare", "OutCompare",
                                  {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}},
                                  {{"Grp", "G"}, {"X1", "X"}, {"X2", "Y"}});
        std::vector<std::pair<std::string, Variant>> m;
        for (const char* k : {"MCnt", "MMis", "MMean", "MDev", "MCov", "MCor", "MR2", "MT", "MProb"}) m.push_back({k, true});
        m.push_back({"MProbTail", "2-tail"});
        std::vector<std::pair<std::string, std::string>> mf = {{"Grp", "G"}};
        for (const char* x : kX) mf.push_back({x, "X"});
        matrixId = storeScenario(*db, "Matrix", "OutMatrix", m, mf);
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    double read2 = 1e300, read6 = 1e300, tFreq = 1e300, tCompare = 1e300, tMatrix = 1e300;
    // Runs alternate, so that a slow phase of the machine does not fall on one kind only.
    for (int i = 0; i < reps; ++i) {
        read2 = std::min(read2, readBaseline(db, 2, checksum));
        tFreq = std::min(tFreq, runScenario(db, freqId));
        tCompare = std::min(tCompare, runScenario(db, compareId));
        read6 = std::min(read6, readBaseline(db, 6, checksum));
        tMatrix = std::min(tMatrix, runScenario(db, matrixId));
    }
    std::printf("baseline read, 2 fields %8.3f s  (checksum %.6g)\n", read2, checksum);
    std::printf("baseline read, 6 fields %8.3f s\n", read6);
    std::printf("frequency (20 intervals, 2 fields) %8.3f s  ratio %.2f  (goal <= 2)\n", tFreq, tFreq / read2);
    std::printf("compare (X against Y)              %8.3f s  ratio %.2f  (goal <= 2)\n", tCompare, tCompare / read2);
    std::printf("matrix (6 x 6)                     %8.3f s  ratio %.2f  (goal <= 2)\n", tMatrix, tMatrix / read6);

    db->Close();
    DBEngine().Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
