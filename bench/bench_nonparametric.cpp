// The non-parametric tests against reading (and writing) their input,
// measured in the same run.
//
//   read:        the records (group, compare fields and the data fields, in
//                the order the analyses read them) read through the
//                data-access layer, every value fetched;
//   read+write:  the same, each record also written once into a table of a
//                second database through the data-access layer (the staging
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
    td->Fields().Append(td->CreateField("C2", dbText, 10));
    td->Fields().Append(td->CreateField("C5", dbText, 10));
    td->Fields().Append(td->CreateField("X", dbDouble));
    td->Fields().Append(td->CreateField("Y", dbDouble));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    auto g = rs->Fields("Grp"), c2 = rs->Fields("C2"), c5 = rs->Fields("C5"), x = rs->Fields("X"), y = rs->Fields("Y");
    char buf[16];
    unsigned long long state = 88172645463325252ULL;
    auto next = [&]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (long i = 0; i < records; ++i) {
        rs->AddNew();
        std::snprintf(buf, sizeof buf, "Group %ld", i % 10);
        g->SetValue(buf);
        c2->SetValue(next() % 2 ? "A" : "B");
        std::snprintf(buf, sizeof buf, "S%d", static_cast<int>(next() % 5));
        c5->SetValue(buf);
        // Whole counts with many ties (a Poisson-like spread), and a paired value near them.
        const double v = static_cast<double>(next() % 40);
        x->SetValue(v);
        y->SetValue(v + static_cast<double>(next() % 7) - 3.0);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

struct FieldRole {
    const char* name;
    const char* role;
};

std::int32_t storeScenario(Database& db, const std::string& subType, const std::string& out1, const std::string& out2,
                           const std::vector<FieldRole>& fields,
                           const std::vector<std::pair<std::string, Variant>>& options) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue("N");
        rs->Fields("Scenario_Analysis_SubType")->SetValue(subType);
        rs->Fields("Scenario_Input_Table_Name")->SetValue("Data");
        rs->Fields("Scenario_Output_Table1_Name")->SetValue(out1);
        if (!out2.empty()) rs->Fields("Scenario_Output_Table2_Name")->SetValue(out2);
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
        std::int16_t ord = 1;
        for (const auto& f : fields) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(f.name);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(ord++);
            rs->Fields("FieldDef_Choice")->SetValue(f.role);
            rs->Update();
        }
    }
    return id;
}

// Reads the records in the analyses' order; with `writeTo` each record is also
// written once into a table of that database.
double readBaseline(const DatabasePtr& db, const DatabasePtr& writeTo, double& checksum) {
    auto t0 = Clock::now();
    RecordsetPtr out;
    FieldPtr og, ox, ow;
    auto ws = DBEngine().Workspaces(0);
    if (writeTo) {
        try {
            writeTo->TableDefs().Delete("Stage");
        } catch (...) {
        }
        auto td = writeTo->CreateTableDef("Stage");
        td->Fields().Append(td->CreateField("GroupFld", dbLong));
        td->Fields().Append(td->CreateField("Data", dbDouble));
        td->Fields().Append(td->CreateField("Weight", dbDouble));
        writeTo->TableDefs().Append(td);
        ws->BeginTrans();
        out = writeTo->OpenRecordset("Stage", dbOpenTable, dbAppendOnly);
        og = out->Fields("GroupFld");
        ox = out->Fields("Data");
        ow = out->Fields("Weight");
    }
    auto rs = db->OpenRecordset("SELECT [Grp], [C2], [X], [Y] FROM [Data] ORDER BY [Grp],[C2],[X];", dbOpenDynaset,
                                dbReadOnly | dbSeeChanges);
    auto g = rs->Fields("Grp"), c = rs->Fields("C2"), x = rs->Fields("X"), y = rs->Fields("Y");
    std::size_t len = 0;
    while (!rs->EOF_()) {
        Variant gv = g->Value(), cv = c->Value();
        len += (gv.IsNull() ? 0 : gv.RawString().size()) + (cv.IsNull() ? 0 : cv.RawString().size());
        const double xv = x->Value().ToDouble();
        checksum += xv + y->Value().ToDouble();
        if (out) {
            out->AddNew();
            og->SetValue(std::int32_t(1));
            ox->SetValue(xv);
            ow->SetValue(1.0);
            out->Update();
        }
        rs->MoveNext();
    }
    rs->Close();
    if (out) {
        out->Close();
        ws->CommitTrans();
        writeTo->TableDefs().Delete("Stage");
    }
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
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-np-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    struct Case {
        const char* name;
        std::int32_t id;
        bool againstWrite;
        double goal;
        double best;
    };
    std::vector<Case> cases;
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
        cases.push_back({"Mann-Whitney + K-S", storeScenario(*db, "2 Sample", "OutMann", "", {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}), true, 3, 1e300});
        cases.push_back({"Kruskal-Wallis", storeScenario(*db, "N Sample", "OutKW", "OutKWDet", {{"Grp", "G"}, {"C5", "C"}, {"X", "X"}}, {}), true, 3, 1e300});
        cases.push_back({"runs test", storeScenario(*db, "2 Sample", "OutRuns", "", {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}, {{"NPTwoType", "Wald"}}), true, 3, 1e300});
        cases.push_back({"sign test", storeScenario(*db, "Sign Test", "OutSign", "", {{"Grp", "G"}, {"X", "X"}}, {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", std::int16_t(20)}}), false, 2, 1e300});
        cases.push_back({"K-S fit", storeScenario(*db, "K-S Fit", "OutFit", "", {{"Grp", "G"}, {"X", "X"}}, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}}), false, 2, 1e300});
        cases.push_back({"Paired Fields", storeScenario(*db, "Paired Fields", "OutPaired", "", {{"X", "X"}, {"Y", "Y"}}, {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}}), true, 3, 1e300});
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    auto scratch = DBEngine().CreateDatabase((dir / "scratch.db").string(), dbLangGeneral);
    double checksum = 0, tRead = 1e300, tWrite = 1e300;
    for (int i = 0; i < reps; ++i) {
        tRead = std::min(tRead, readBaseline(db, nullptr, checksum));
        tWrite = std::min(tWrite, readBaseline(db, scratch, checksum));
        for (auto& c : cases) c.best = std::min(c.best, runScenario(db, c.id));
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
    DBEngine().Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
