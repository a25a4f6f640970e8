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
    char grp[16];
    Random random;
    WriteDataTable(db, columns, records, [&](long i, const std::vector<FieldPtr>& f) {
        std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
        f[0]->SetValue(grp);
        // Values with two decimals, some around a large mean, one in fifty absent.
        double base = static_cast<double>(random.Next() % 100000) / 100.0;
        for (std::size_t k = 0; k + 1 < f.size(); ++k) {
            if (random.Next() % 50 == 0) continue;
            double v = (k % 2 == 0 ? 1000000.0 : 0.0) + base + static_cast<double>(random.Next() % 1000) / 100.0;
            f[k + 1]->SetValue(v);
        }
    });
}

// Reads the group field and the first `n` data fields, ordered by the group and the first data field.
double readBaseline(const DatabasePtr& db, int n, double& checksum) {
    std::string sql = "SELECT [Grp]";
    for (int k = 0; k < n; ++k) sql += std::string(", [") + kX[k] + "]";
    return ReadQuery(db, sql + " FROM [Data] ORDER BY [Grp],[X1];", checksum);
}

} // namespace

int main(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv);
    ScratchDir dir("descriptive2");
    const std::string path = dir.File("bench.db");

    std::int32_t freqId, compareId, matrixId;
    {
        auto db = CreateScenarioDatabase(path);
        makeData(*db, args.Records);
        freqId = StoreScenario(*db, {"P", "Frequency", "OutFreq", "",
                                     {{"InterV", std::int16_t(20)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0},
                                      {"FreqWidth", 50000.0}, {"FreqIncRadio", "Lower"}, {"FreqSum", true}},
                                     {{"Grp", "G"}, {"X1", "X"}, {"X2", "X"}}});
        compareId = StoreScenario(*db, {"P", "Compare", "OutCompare", "",
                                        {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}},
                                        {{"Grp", "G"}, {"X1", "X"}, {"X2", "Y"}}});
        Scenario matrix{"P", "Matrix", "OutMatrix", "", {}, {{"Grp", "G"}}};
        for (const char* k : {"MCnt", "MMis", "MMean", "MDev", "MCov", "MCor", "MR2", "MT", "MProb"})
            matrix.Options.push_back({k, true});
        matrix.Options.push_back({"MProbTail", "2-tail"});
        for (const char* x : kX) matrix.Fields.push_back({x, "X"});
        matrixId = StoreScenario(*db, matrix);
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    double checksum = 0;
    double read2 = 1e300, read6 = 1e300, tFreq = 1e300, tCompare = 1e300, tMatrix = 1e300;
    // Runs alternate, so that a slow phase of the machine does not fall on one kind only.
    for (int i = 0; i < args.Repetitions; ++i) {
        read2 = std::min(read2, readBaseline(db, 2, checksum));
        tFreq = std::min(tFreq, RunScenario(db, freqId));
        tCompare = std::min(tCompare, RunScenario(db, compareId));
        read6 = std::min(read6, readBaseline(db, 6, checksum));
        tMatrix = std::min(tMatrix, RunScenario(db, matrixId));
    }
    std::printf("baseline read, 2 fields %8.3f s  (checksum %.6g)\n", read2, checksum);
    std::printf("baseline read, 6 fields %8.3f s\n", read6);
    std::printf("frequency (20 intervals, 2 fields) %8.3f s  ratio %.2f  (goal <= 2)\n", tFreq, tFreq / read2);
    std::printf("compare (X against Y)              %8.3f s  ratio %.2f  (goal <= 2)\n", tCompare, tCompare / read2);
    std::printf("matrix (6 x 6)                     %8.3f s  ratio %.2f  (goal <= 2)\n", tMatrix, tMatrix / read6);

    db->Close();
    return 0;
}
