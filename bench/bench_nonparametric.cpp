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
//   goal <= 3 × read+write;
//   Friedman (N Fields) over three data fields: goal <= 3 × read+write;
//   chi-square of a compare field with five values: goal <= 2 × read.
//
// Each analysis runs in a program of its own (this one, started again with
// "--run"), so that its peak resident memory is its own: the table prints it
// beside the time, and the time per record in microseconds. Run it at
// 100000, 1000000 and 4000000 records to see whether cost per record and
// memory stay flat.
//
// Usage: bench_nonparametric [records [repetitions]]   (default 1000000
// records in 10 groups, best of 3 runs each)
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

void makeData(Database& db, long records) {
    char buf[16];
    Random random;
    WriteDataTable(db,
                   {{"Grp", dbText, 20}, {"C2", dbText, 10}, {"C5", dbText, 10}, {"X", dbDouble}, {"Y", dbDouble},
                    {"Z", dbDouble}},
                   records, [&](long i, const std::vector<FieldPtr>& f) {
                       std::snprintf(buf, sizeof buf, "Group %ld", i % 10);
                       f[0]->SetValue(buf);
                       f[1]->SetValue(random.Next() % 2 ? "A" : "B");
                       std::snprintf(buf, sizeof buf, "S%d", static_cast<int>(random.Next() % 5));
                       f[2]->SetValue(buf);
                       // Whole counts with many ties (a Poisson-like spread), and a paired value near them.
                       const double v = static_cast<double>(random.Next() % 40);
                       f[3]->SetValue(v);
                       f[4]->SetValue(v + static_cast<double>(random.Next() % 7) - 3.0);
                       f[5]->SetValue(static_cast<double>(random.Next() % 1000) / 8);
                   });
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
    return Seconds(t0, Clock::now());
}

// The peak resident memory of this process in MiB (VmHWM).
double peakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

// "--run file id": runs one scenario and prints its seconds and peak memory.
int runOne(const char* file, const char* id) {
    auto db = DBEngine().OpenDatabase(file);
    const double t = RunScenario(db, static_cast<std::int32_t>(std::atol(id)));
    db->Close();
    std::printf("%.6f %.1f\n", t, peakMiB());
    return 0;
}

// Runs the scenario in a program of its own: seconds and peak MiB.
std::pair<double, double> runApart(const std::string& file, std::int32_t id) {
    static const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string cmd = "'" + self + "' --run '" + file + "' " + std::to_string(id);
    FILE* p = popen(cmd.c_str(), "r");
    double t = 0, mib = 0;
    if (!p || std::fscanf(p, "%lf %lf", &t, &mib) != 2) {
        std::fprintf(stderr, "run of scenario %d failed\n", id);
        std::exit(1);
    }
    pclose(p);
    return {t, mib};
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--run") == 0) return runOne(argv[2], argv[3]);
    const Args args = ParseArgs(argc, argv);
    ScratchDir dir("np");
    const std::string path = dir.File("bench.db");

    struct Case {
        const char* name;
        std::int32_t id;
        bool againstWrite;
        double goal;
        double best;
        double peak;
    };
    std::vector<Case> cases;
    {
        auto db = CreateScenarioDatabase(path);
        makeData(*db, args.Records);
        auto add = [&](const char* name, const Scenario& scenario, bool againstWrite, double goal) {
            cases.push_back({name, StoreScenario(*db, scenario), againstWrite, goal, 1e300, 0});
        };
        add("Mann-Whitney + K-S",
            {"N", "2 Sample", "OutMann", "", {{"NPTwoType", "Mann"}}, {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}}, true,
            3);
        add("Kruskal-Wallis", {"N", "N Sample", "OutKW", "OutKWDet", {}, {{"Grp", "G"}, {"C5", "C"}, {"X", "X"}}},
            true, 3);
        add("runs test",
            {"N", "2 Sample", "OutRuns", "", {{"NPTwoType", "Wald"}}, {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}}, true,
            3);
        add("sign test",
            {"N", "Sign Test", "OutSign", "",
             {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", std::int16_t(20)}},
             {{"Grp", "G"}, {"X", "X"}}},
            false, 2);
        add("K-S fit",
            {"N", "K-S Fit", "OutFit", "", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}},
             {{"Grp", "G"}, {"X", "X"}}},
            false, 2);
        add("Paired Fields",
            {"N", "Paired Fields", "OutPaired", "",
             {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}}, {{"X", "X"}, {"Y", "Y"}}},
            true, 3);
        add("Friedman",
            {"N", "N Fields", "OutFried", "OutFriedDet", {}, {{"Grp", "G"}, {"X", "X"}, {"Y", "X"}, {"Z", "X"}}}, true,
            3);
        add("chi-square", {"N", "Chi-Square", "OutChi", "OutChiDet", {}, {{"Grp", "G"}, {"C5", "C"}}}, false, 2);
        db->Close();
    }

    auto db = DBEngine().OpenDatabase(path);
    auto scratch = DBEngine().CreateDatabase(dir.File("scratch.db"), dbLangGeneral);
    double checksum = 0, tRead = 1e300, tWrite = 1e300;
    for (int i = 0; i < args.Repetitions; ++i) {
        tRead = std::min(tRead, readBaseline(db, nullptr, checksum));
        tWrite = std::min(tWrite, readBaseline(db, scratch, checksum));
        for (auto& c : cases) {
            const auto [t, mib] = runApart(path, c.id);
            c.best = std::min(c.best, t);
            c.peak = std::max(c.peak, mib);
        }
    }
    std::printf("baseline read        %8.3f s  (checksum %.6g)\n", tRead, checksum);
    std::printf("baseline read+write  %8.3f s\n", tWrite);
    for (const auto& c : cases) {
        const double base = c.againstWrite ? tWrite : tRead;
        std::printf("%-20s %8.3f s  ratio %.2f to %s  (goal <= %.0f)  %.3f us/record  peak %.1f MiB\n", c.name,
                    c.best, c.best / base, c.againstWrite ? "read+write" : "read", c.goal,
                    1e6 * c.best / static_cast<double>(args.Records), c.peak);
    }
    scratch->Close();
    db->Close();
    return 0;
}
