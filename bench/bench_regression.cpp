// The regressions against reading (and writing) their records, measured in
// the same run.
//
//   read:        the sorted records (group field, six X fields and Y, ordered
//                as the analysis orders them) read through the data-access
//                layer, every value fetched;
//   read+write:  the same, plus as many rows written through AddNew/Update
//                into a table shaped like the residual table, in one
//                transaction;
//   multiple:    a multiple regression on the six X fields
//                (goal: multiple / read <= 2);
//   polynomial:  a polynomial of order 3 in X1 (goal: polynomial / read <= 2);
//   ... + residuals: the same with the residual table
//                (goal: each / read+write <= 2).
//
// Usage: bench_regression [records [repetitions]]   (default 1000000 records
// in 10 groups, best of 3 runs each)
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

const char* kX[] = {"X1", "X2", "X3", "X4", "X5", "X6"};

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void makeData(Database& db, long records) {
    auto td = db.CreateTableDef("Data");
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    for (const char* x : kX) td->Fields().Append(td->CreateField(x, dbDouble));
    td->Fields().Append(td->CreateField("Y", dbDouble));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    std::vector<FieldPtr> xs;
    for (const char* x : kX) xs.push_back(rs->Fields(x));
    auto g = rs->Fields("Grp"), y = rs->Fields("Y");
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
        double sum = 0;
        for (std::size_t k = 0; k < xs.size(); ++k) {
            // Values with two decimals around means of different sizes.
            double v = 1000.0 * static_cast<double>(k) + static_cast<double>(next() % 100000) / 100.0;
            xs[k]->SetValue(v);
            sum += (static_cast<double>(k) + 1) * v;
        }
        y->SetValue(sum + static_cast<double>(next() % 10000) / 10.0);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

std::int32_t storeScenario(Database& db, const std::string& kind, const std::string& out2) {
    std::int32_t id;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(std::int16_t(1));
        rs->Fields("Scenario_Description")->SetValue("bench");
        rs->Fields("Scenario_Analysis_Type")->SetValue("P");
        rs->Fields("Scenario_Analysis_SubType")->SetValue("Regression");
        rs->Fields("Scenario_Input_Table_Name")->SetValue("Data");
        rs->Fields("Scenario_Output_Table1_Name")->SetValue("Out" + kind + out2);
        if (!out2.empty()) rs->Fields("Scenario_Output_Table2_Name")->SetValue(out2 + kind);
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
        rs->Fields("RegressType")->SetValue(kind);
        rs->Fields("RPoly")->SetValue(std::int16_t(3));
        rs->Fields("RYInt")->SetValue(true);
        rs->Fields("RANova")->SetValue(true);
        rs->Update();
    }
    {
        auto rs = db.OpenRecordset(kFieldsTableName, dbOpenDynaset);
        std::vector<std::pair<std::string, std::string>> fields = {{"Grp", "G"}};
        for (std::size_t k = 0; k < (kind == "M" ? 6u : 1u); ++k) fields.push_back({kX[k], "X"});
        fields.push_back({"Y", "Y"});
        std::int16_t ord = 1;
        for (const auto& [name, role] : fields) {
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(name);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(ord++);
            rs->Fields("FieldDef_Choice")->SetValue(role);
            rs->Update();
        }
    }
    return id;
}

// Reads the group field, the first nX X fields and Y, sorted as the analysis sorts them.
double readBaseline(const DatabasePtr& db, int nX, double& checksum) {
    auto t0 = Clock::now();
    std::string sql = "SELECT [Grp]";
    for (int k = 0; k < nX; ++k) sql += std::string(", [") + kX[k] + "]";
    auto rs = db->OpenRecordset(sql + ", [Y] FROM [Data] ORDER BY [Grp],[X1];", dbOpenDynaset, dbReadOnly | dbSeeChanges);
    std::vector<FieldPtr> f;
    for (int c = 1; c <= nX + 1; ++c) f.push_back(rs->Fields(c));
    auto g = rs->Fields("Grp");
    std::size_t len = 0;
    while (!rs->EOF_()) {
        Variant gv = g->Value();
        len += gv.IsNull() ? 0 : gv.RawString().size();
        for (const auto& x : f) checksum += x->Value().ToDouble();
        rs->MoveNext();
    }
    rs->Close();
    checksum += static_cast<double>(len);
    return seconds(t0, Clock::now());
}

// Writes `records` rows shaped like a residual table with nX X columns.
double writeBaseline(const DatabasePtr& db, long records, int nX) {
    db->TableDefs().Refresh();
    if (db->TableDefs().Find("WriteBase")) db->TableDefs().Delete("WriteBase");
    auto td = db->CreateTableDef("WriteBase");
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    for (int k = 0; k < nX; ++k) td->Fields().Append(td->CreateField(std::string(kX[k]) + ":" + kX[k], dbDouble));
    for (const char* c : {"Y:Y", "Estimated_Y", "Residual"}) td->Fields().Append(td->CreateField(c, dbDouble));
    db->TableDefs().Append(td);
    auto t0 = Clock::now();
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db->OpenRecordset("WriteBase", dbOpenDynaset, dbAppendOnly);
    std::vector<FieldPtr> f;
    for (int c = 1; c <= nX + 3; ++c) f.push_back(rs->Fields(c));
    auto g = rs->Fields("Grp");
    for (long i = 0; i < records; ++i) {
        rs->AddNew();
        g->SetValue("Group 1");
        for (std::size_t k = 0; k < f.size(); ++k) f[k]->SetValue(static_cast<double>(i) + static_cast<double>(k));
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
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
    auto dir = std::filesystem::temp_directory_path() / ("varnello-bench-regression-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "bench.db").string();

    std::int32_t multi, poly, multiRes, polyRes;
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
        multi = storeScenario(*db, "M", "");
        poly = storeScenario(*db, "P", "");
        multiRes = storeScenario(*db, "M", "Res");
        polyRes = storeScenario(*db, "P", "Res");
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    double tRead6 = 1e300, tWrite6 = 1e300, tRead1 = 1e300, tWrite1 = 1e300;
    double tMulti = 1e300, tPoly = 1e300, tMultiRes = 1e300, tPolyRes = 1e300;
    for (int i = 0; i < reps; ++i) {
        tRead6 = std::min(tRead6, readBaseline(db, 6, checksum));
        tWrite6 = std::min(tWrite6, writeBaseline(db, records, 6));
        tRead1 = std::min(tRead1, readBaseline(db, 1, checksum));
        tWrite1 = std::min(tWrite1, writeBaseline(db, records, 1));
        tMulti = std::min(tMulti, runScenario(db, multi));
        tPoly = std::min(tPoly, runScenario(db, poly));
        tMultiRes = std::min(tMultiRes, runScenario(db, multiRes));
        tPolyRes = std::min(tPolyRes, runScenario(db, polyRes));
    }
    std::printf("(checksum %.6g)\n", checksum);
    std::printf("read 6 X + Y         %8.3f s   read and write %8.3f s\n", tRead6, tRead6 + tWrite6);
    std::printf("read 1 X + Y         %8.3f s   read and write %8.3f s\n", tRead1, tRead1 + tWrite1);
    std::printf("multiple (6 X)       %8.3f s  ratio to read %.2f  (goal <= 2)\n", tMulti, tMulti / tRead6);
    std::printf("polynomial (order 3) %8.3f s  ratio to read %.2f  (goal <= 2)\n", tPoly, tPoly / tRead1);
    std::printf("multiple + residuals %8.3f s  ratio to read+write %.2f  (goal <= 2)\n", tMultiRes,
                tMultiRes / (tRead6 + tWrite6));
    std::printf("polynomial + resid.  %8.3f s  ratio to read+write %.2f  (goal <= 2)\n", tPolyRes,
                tPolyRes / (tRead1 + tWrite1));

    db->Close();
    DBEngine().Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
