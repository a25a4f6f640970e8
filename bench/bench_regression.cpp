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
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

const char* kX[] = {"X1", "X2", "X3", "X4", "X5", "X6"};

void makeData(Database& db, long records) {
    std::vector<Column> columns = {{"Grp", dbText, 20}};
    for (const char* x : kX) columns.push_back({x, dbDouble});
    columns.push_back({"Y", dbDouble});
    char grp[16];
    Random random;
    WriteDataTable(db, columns, records, [&](long i, const std::vector<FieldPtr>& f) {
        std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
        f[0]->SetValue(grp);
        double sum = 0;
        for (std::size_t k = 0; k < std::size(kX); ++k) {
            // Values with two decimals around means of different sizes.
            double v = 1000.0 * static_cast<double>(k) + static_cast<double>(random.Next() % 100000) / 100.0;
            f[k + 1]->SetValue(v);
            sum += (static_cast<double>(k) + 1) * v;
        }
        f.back()->SetValue(sum + static_cast<double>(random.Next() % 10000) / 10.0);
    });
}

// Multiple ("M") or polynomial ("P"); with `out2` the residual table too.
std::int32_t storeScenario(Database& db, const std::string& kind, const std::string& out2) {
    Scenario s{"P", "Regression", "Out" + kind + out2, out2.empty() ? "" : out2 + kind,
               {{"RegressType", kind}, {"RPoly", std::int16_t(3)}, {"RYInt", true}, {"RANova", true}},
               {{"Grp", "G"}}};
    for (std::size_t k = 0; k < (kind == "M" ? 6u : 1u); ++k) s.Fields.push_back({kX[k], "X"});
    s.Fields.push_back({"Y", "Y"});
    return StoreScenario(db, s);
}

// Reads the group field, the first nX X fields and Y, sorted as the analysis sorts them.
double readBaseline(const DatabasePtr& db, int nX, double& checksum) {
    std::string sql = "SELECT [Grp]";
    for (int k = 0; k < nX; ++k) sql += std::string(", [") + kX[k] + "]";
    return ReadQuery(db, sql + ", [Y] FROM [Data] ORDER BY [Grp],[X1];", checksum);
}

// Writes `records` rows shaped like a residual table with nX X columns.
double writeBaseline(const DatabasePtr& db, long records, int nX) {
    std::vector<std::string> columns;
    for (int k = 0; k < nX; ++k) columns.push_back(std::string(kX[k]) + ":" + kX[k]);
    for (const char* c : {"Y:Y", "Estimated_Y", "Residual"}) columns.push_back(c);
    return WriteRows(db, "WriteBase", columns, records);
}

} // namespace

int main(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv);
    const long records = args.Records;
    ScratchDir dir("regression");
    const std::string path = dir.File("bench.db");

    std::int32_t multi, poly, multiRes, polyRes;
    {
        auto db = CreateScenarioDatabase(path);
        makeData(*db, records);
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
    for (int i = 0; i < args.Repetitions; ++i) {
        tRead6 = std::min(tRead6, readBaseline(db, 6, checksum));
        tWrite6 = std::min(tWrite6, writeBaseline(db, records, 6));
        tRead1 = std::min(tRead1, readBaseline(db, 1, checksum));
        tWrite1 = std::min(tWrite1, writeBaseline(db, records, 1));
        tMulti = std::min(tMulti, RunScenario(db, multi));
        tPoly = std::min(tPoly, RunScenario(db, poly));
        tMultiRes = std::min(tMultiRes, RunScenario(db, multiRes));
        tPolyRes = std::min(tPolyRes, RunScenario(db, polyRes));
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
    return 0;
}
