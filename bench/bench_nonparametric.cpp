// The non-parametric tests against reading (and writing) their input,
// measured in the same run, at one or several sizes.
//
// Baselines, per test: its columns read in its order (the group fields, then
// what it sorts by):
//   read:        the records read through the data-access layer, every value
//                fetched;
//   read+write:  the same, each record also written once into a table of a
//                second database through the batch appender (the staging
//                the rank tests do).
// Goals, printed beside each test:
//   Mann-Whitney with the two-sample K-S test, Kruskal-Wallis, Paired Fields
//   (with and without Kendall's tau): <= 3 x read+write; the runs test
//   <= 3 x read+write; sign test and K-S fit <= 2 x read; Friedman (N Fields)
//   over three data fields <= 3 x read+write; chi-square of a compare field
//   with five values <= 2 x read;
//   at every size: cost per record within 1.3x of that at 1,000,000 records,
//   peak memory within 1.3x over the sizes and under 64 MiB.
//
// Every measurement (each test and each baseline, at every size and run)
// runs in a child process of its own, so its peak memory (the child's VmHWM)
// is its own. Runs of different tests alternate. Printed: the range of the
// ratios over all runs (each run's time against the same run's baseline),
// the range of the times, and the largest peak memory.
//
// Usage: bench_nonparametric [sizes [repetitions [text]]]
//        bench_nonparametric --data DB RECORDS   (the data alone, then
//        bench_nonparametric --child run DB JOB ID   runs one test)
//   sizes:        record counts separated by commas (default 1000000; the
//                 flatness goals want e.g. 100000,1000000,4000000)
//   repetitions:  runs of each measurement (default 3)
//   text:         only the tests whose name holds it (any letter case)
#include "bench/BenchSupport.h"

#include "db/TableAppender.h"
#include "analyses/nonparametric/CNonParametric.h"
#include "engine/VarnelloCore.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

constexpr double kFlat = 1.3;
constexpr double kMemoryMiB = 64;

struct Job {
    std::string name;
    Scenario scenario;
    std::vector<std::string> columns; // what the test reads
    std::vector<std::string> order;   // what it sorts them by
    bool againstWrite = true;
    double goal = 3;
    bool kendall = false; // Paired Fields with Kendall's tau turned on
};

std::vector<Job> makeJobs() {
    std::vector<Job> jobs;
    auto add = [&](const std::string& name, const char* subType, ScenarioColumnValues options,
                   std::vector<std::pair<std::string, std::string>> fields, bool againstWrite, double goal,
                   bool out2 = false) {
        Job j;
        j.name = name;
        const std::string out = "Out" + std::to_string(jobs.size());
        j.scenario = {"N", subType, out, out2 ? out + "D" : "", std::move(options), {}};
        for (auto& [field, role] : fields) {
            j.scenario.Fields.push_back({field, role});
            j.columns.push_back(field);
            if (role == "G" || role == "C") j.order.push_back(field);
        }
        j.againstWrite = againstWrite;
        j.goal = goal;
        jobs.push_back(std::move(j));
    };
    const ScenarioColumnValues paired = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}};
    add("Mann-Whitney + K-S / 10 groups", "2 Sample", {{"NPTwoType", "Mann"}},
        {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}, {"U", "X"}}, true, 3);
    add("Mann-Whitney + K-S / 30 samples", "2 Sample", {{"NPTwoType", "Mann"}}, {{"C30", "C"}, {"U", "X"}}, true, 0);
    // Every pair of 600 samples: 179,700 rows, each pair ranked on its own.
    add("Mann-Whitney + K-S / 600 samples", "2 Sample", {{"NPTwoType", "Mann"}}, {{"C600", "C"}, {"X", "X"}}, true, 0);
    add("Kruskal-Wallis / 10 groups", "N Sample", {}, {{"Grp", "G"}, {"C5", "C"}, {"X", "X"}, {"U", "X"}}, true, 3,
        true);
    add("Kruskal-Wallis / 1,000 samples", "N Sample", {}, {{"C1000", "C"}, {"X", "X"}, {"U", "X"}}, true, 3, true);
    add("runs test / 10 groups", "2 Sample", {{"NPTwoType", "Wald"}}, {{"Grp", "G"}, {"C2", "C"}, {"X", "X"}}, true,
        3);
    add("sign test / 10 groups", "Sign Test",
        {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", std::int16_t(20)}},
        {{"Grp", "G"}, {"X", "X"}}, false, 2);
    add("K-S fit / 10 groups", "K-S Fit", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}},
        {{"Grp", "G"}, {"X", "X"}}, false, 2);
    add("Paired Fields / 10 groups", "Paired Fields", paired, {{"Grp", "G"}, {"X", "X"}, {"U", "X"}, {"Y", "Y"}},
        true, 3);
    add("Paired Fields + Kendall / 10 groups", "Paired Fields", paired,
        {{"Grp", "G"}, {"X", "X"}, {"U", "X"}, {"Y", "Y"}}, true, 3);
    jobs.back().kendall = true;
    add("Paired Fields / one group", "Paired Fields", paired, {{"X", "X"}, {"U", "X"}, {"Y", "Y"}}, true, 3);
    add("Paired Fields + Kendall / one group", "Paired Fields", paired, {{"X", "X"}, {"U", "X"}, {"Y", "Y"}}, true,
        3);
    jobs.back().kendall = true;
    add("Friedman / 10 groups", "N Fields", {}, {{"Grp", "G"}, {"X", "X"}, {"Y", "X"}, {"Z", "X"}}, true, 3, true);
    add("chi-square / 10 groups", "Chi-Square", {}, {{"Grp", "G"}, {"C5", "C"}}, false, 2, true);
    return jobs;
}

void makeData(Database& db, long records) {
    char grp[16], c5[8], c30[8], c600[8], c1000[8];
    Random random;
    WriteDataTable(db,
                   {{"Grp", dbText, 20}, {"C2", dbText, 10}, {"C5", dbText, 10}, {"C30", dbText, 10},
                    {"C600", dbText, 10}, {"C1000", dbText, 10}, {"X", dbDouble}, {"Y", dbDouble}, {"U", dbDouble},
                    {"Z", dbDouble}},
                   records, [&](long i, const std::vector<FieldPtr>& f) {
                       std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
                       f[0]->SetValue(grp);
                       f[1]->SetValue(random.Next() % 2 ? "A" : "B");
                       std::snprintf(c5, sizeof c5, "S%d", static_cast<int>(random.Next() % 5));
                       f[2]->SetValue(c5);
                       std::snprintf(c30, sizeof c30, "T%02d", static_cast<int>(random.Next() % 30));
                       f[3]->SetValue(c30);
                       std::snprintf(c600, sizeof c600, "M%03d", static_cast<int>(random.Next() % 600));
                       f[4]->SetValue(c600);
                       std::snprintf(c1000, sizeof c1000, "K%03d", static_cast<int>(random.Next() % 1000));
                       f[5]->SetValue(c1000);
                       // Whole counts with many ties (a Poisson-like spread), and a paired value near them.
                       const double v = static_cast<double>(random.Next() % 40);
                       f[6]->SetValue(v);
                       f[7]->SetValue(v + static_cast<double>(random.Next() % 7) - 3.0);
                       // 53 random bits: no two values alike in practice.
                       f[8]->SetValue(static_cast<double>(random.Next() >> 11) * 0x1p-53 * 1000.0);
                       f[9]->SetValue(static_cast<double>(random.Next() % 1000) / 8);
                   });
}

// Turns on Kendall's tau in the settings of a "Paired Fields" run.
bool TurnOnKendall(AnalysisSettings& s) {
    auto* paired = dynamic_cast<PairedFieldsSettings*>(&s);
    if (!paired) return false;
    paired->Tau = true;
    return true;
}

std::string baselineSql(const Job& j) {
    auto list = [](const std::vector<std::string>& names) {
        std::string s;
        for (const auto& n : names) s += (s.empty() ? "" : ", ") + ("[" + n + "]");
        return s;
    };
    std::string sql = "SELECT " + list(j.columns) + " FROM [Data]";
    if (!j.order.empty()) sql += " ORDER BY " + list(j.order);
    return sql + ";";
}

// Reads the records in the test's order; with `stage` each record's numbers
// also go into one staging row (its group's number and up to three values).
double readBaseline(const DatabasePtr& db, const std::string& sql, const DatabasePtr& stage, double& checksum) {
    std::unique_ptr<TableAppender> out;
    if (stage) {
        auto td = stage->CreateTableDef("Stage");
        for (const char* c : {"GroupFld", "N1", "N2", "N3"})
            td->Fields().Append(td->CreateField(c, c[0] == 'G' ? dbLong : dbDouble));
        stage->TableDefs().Append(td);
    }
    const auto t0 = Clock::now();
    if (stage) out = std::make_unique<TableAppender>(stage, "Stage", std::vector<std::string>{"GroupFld", "N1", "N2", "N3"});
    auto rs = db->OpenRecordset(sql, dbOpenDynaset, dbReadOnly | dbSeeChanges);
    std::vector<FieldPtr> texts, numbers;
    for (int i = 0; i < rs->FieldCount(); ++i) {
        FieldPtr f = rs->Fields(i);
        (f->Type() == dbText ? texts : numbers).push_back(f);
    }
    std::size_t len = 0;
    long long group = 0;
    std::string last;
    while (!rs->EOF_()) {
        for (std::size_t k = 0; k < texts.size(); ++k) {
            Variant t = texts[k]->Value();
            if (t.IsNull()) continue;
            len += t.RawString().size();
            if (k == 0 && t.RawString() != last) {
                ++group;
                last = t.RawString();
            }
        }
        double v[3] = {0, 0, 0};
        for (std::size_t k = 0; k < numbers.size() && k < 3; ++k) {
            Variant x = numbers[k]->Value();
            v[k] = x.IsNull() ? 0.0 : x.ToDouble();
            checksum += v[k];
        }
        if (out) out->Append({group, v[0], v[1], v[2]});
        rs->MoveNext();
    }
    rs->Close();
    if (out) out->Flush();
    checksum += static_cast<double>(len);
    return Seconds(t0, Clock::now());
}

// ---- the child: one measurement, its time, checksum and peak memory printed ----------

void report(double seconds, double checksum) { bench::ReportToParent(seconds, checksum); }

// --child run|read|write DB JOB [ID|STAGEFILE]
int child(char** argv) {
    const std::string kind = argv[2];
    const std::vector<Job> jobs = makeJobs();
    const Job& job = jobs.at(static_cast<std::size_t>(std::atol(argv[4])));
    auto db = DBEngine().OpenDatabase(argv[3]);
    double checksum = 0, t = 0;
    if (kind == "run") {
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        if (job.kendall) {
            // Kendall's tau is asked for by callers of the analysis, not by scenarios.
            VarnelloCore::AnalysisFn paired = eng.Analysis("Paired Fields");
            eng.ReplaceAnalysis("Paired Fields", [paired](AnalysisSettings& s, RunContext& cx) {
                if (!TurnOnKendall(s)) return std::string("no Kendall's tau to turn on");
                return paired(s, cx);
            });
        }
        const auto t0 = Clock::now();
        if (!eng.RunScenario(static_cast<std::int32_t>(std::atol(argv[5])))) {
            std::fprintf(stderr, "%s: %s\n", job.name.c_str(), eng.ErrorInfo().c_str());
            return 1;
        }
        t = Seconds(t0, Clock::now());
    } else {
        DatabasePtr stage;
        if (kind == "write") stage = DBEngine().CreateDatabase(argv[5], dbLangGeneral);
        t = readBaseline(db, baselineSql(job), stage, checksum);
        if (stage) {
            stage->Close();
            std::remove(argv[5]);
        }
    }
    db->Close();
    report(t, checksum);
    return 0;
}

struct Measured {
    bool ok = false;
    double seconds = 0, peakMiB = 0;
};

Measured runChild(const std::vector<std::string>& args) {
    const bench::ChildResult r = bench::RunChild(args);
    return {r.Ok, r.Seconds, r.PeakMiB};
}

std::vector<long> parseSizes(const char* text) {
    std::vector<long> sizes;
    for (const char* p = text; *p;) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p) break;
        if (n > 0) sizes.push_back(n);
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

bool holds(const std::string& name, const std::string& text) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return text.empty() || lower(name).find(lower(text)) != std::string::npos;
}

struct Range {
    double lo = 1e300, hi = -1e300;
    void Add(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool Any() const { return lo <= hi; }
};

struct Result {
    Range seconds, ratio;
    double peakMiB = 0;
    bool failed = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argv);
    if (argc > 3 && std::strcmp(argv[1], "--data") == 0) {
        // --data DB RECORDS: only the data and the scenarios (their numbers
        // printed), for running one test by hand with --child.
        auto db = CreateScenarioDatabase(argv[2]);
        makeData(*db, std::atol(argv[3]));
        const std::vector<Job> jobs = makeJobs();
        for (std::size_t i = 0; i < jobs.size(); ++i)
            std::printf("%zu %d %s\n", i, StoreScenario(*db, jobs[i].scenario), jobs[i].name.c_str());
        db->Close();
        return 0;
    }
    const std::vector<long> sizes = parseSizes(argc > 1 ? argv[1] : "1000000");
    const int repetitions = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const std::string only = argc > 3 ? argv[3] : "";
    if (sizes.empty()) {
        std::fprintf(stderr, "usage: bench_nonparametric [sizes [repetitions [text]]]\n");
        return 2;
    }
    const std::vector<Job> jobs = makeJobs();
    ScratchDir dir("np");
    // Per size and job: the test and its baselines.
    std::map<long, std::vector<Result>> runs, reads, writes;
    for (long size : sizes) {
        const std::string path = dir.File("bench" + std::to_string(size) + ".db");
        std::vector<std::int32_t> ids;
        {
            auto db = CreateScenarioDatabase(path);
            makeData(*db, size);
            for (const Job& j : jobs) ids.push_back(StoreScenario(*db, j.scenario));
            db->Close();
        }
        DBEngine().Reset();
        auto& run = runs[size];
        auto& read = reads[size];
        auto& write = writes[size];
        run.assign(jobs.size(), {});
        read.assign(jobs.size(), {});
        write.assign(jobs.size(), {});
        for (int rep = 0; rep < repetitions; ++rep) {
            for (std::size_t i = 0; i < jobs.size(); ++i) {
                if (!holds(jobs[i].name, only)) continue;
                const std::string index = std::to_string(i);
                const Measured base = jobs[i].againstWrite
                                          ? runChild({"--child", "write", path, index, dir.File("stage.db")})
                                          : runChild({"--child", "read", path, index});
                const Measured m = runChild({"--child", "run", path, index, std::to_string(ids[i])});
                Result& b = (jobs[i].againstWrite ? write : read)[i];
                b.failed |= !base.ok;
                if (base.ok) {
                    b.seconds.Add(base.seconds);
                    b.peakMiB = std::max(b.peakMiB, base.peakMiB);
                }
                Result& r = run[i];
                r.failed |= !m.ok;
                if (m.ok) {
                    r.seconds.Add(m.seconds);
                    r.peakMiB = std::max(r.peakMiB, m.peakMiB);
                    if (base.ok) r.ratio.Add(m.seconds / base.seconds);
                }
            }
        }
        std::printf("\n%ld records, %d runs each (ranges over the runs)\n", size, repetitions);
        std::printf("%-38s %17s %15s %9s %17s %10s\n", "", "time s", "ratio", "goal", "baseline s", "peak MiB");
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (!holds(jobs[i].name, only)) continue;
            const Result& r = run[i];
            const Result& b = (jobs[i].againstWrite ? write : read)[i];
            if (r.failed || !r.seconds.Any()) {
                std::printf("%-38s FAILED\n", jobs[i].name.c_str());
                continue;
            }
            char goal[32] = "";
            if (jobs[i].goal > 0) std::snprintf(goal, sizeof goal, "<= %.0f %s", jobs[i].goal, r.ratio.hi > jobs[i].goal ? "MISSED" : "");
            std::printf("%-38s %7.3f-%-7.3f  %5.2f-%-5.2f %-11s %7.3f-%-7.3f %6.1f  (%s)\n", jobs[i].name.c_str(),
                        r.seconds.lo, r.seconds.hi, r.ratio.lo, r.ratio.hi, goal, b.seconds.lo, b.seconds.hi,
                        r.peakMiB, jobs[i].againstWrite ? "read+write" : "read");
        }
    }
    if (sizes.size() > 1) {
        // Flatness: cost per record against that at 1,000,000 records (or the
        // middle size), and peak memory over the sizes.
        long reference = sizes[sizes.size() / 2];
        if (std::find(sizes.begin(), sizes.end(), 1000000L) != sizes.end()) reference = 1000000;
        std::printf("\ncost per record against %ld records (best times), and peak memory\n", reference);
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (!holds(jobs[i].name, only)) continue;
            const Result& ref = runs[reference][i];
            if (!ref.seconds.Any()) continue;
            const double perRecord = ref.seconds.lo / static_cast<double>(reference);
            std::printf("%-38s", jobs[i].name.c_str());
            double lo = 1e300, hi = 0, worst = 0;
            bool missed = false;
            for (long size : sizes) {
                const Result& r = runs[size][i];
                if (!r.seconds.Any()) continue;
                const double cost = r.seconds.lo / static_cast<double>(size) / perRecord;
                worst = std::max(worst, std::max(cost, 1 / cost));
                std::printf("  %ld: %.2f", size, cost);
                lo = std::min(lo, r.peakMiB);
                hi = std::max(hi, r.peakMiB);
            }
            missed = worst > kFlat || hi > kFlat * lo || hi > kMemoryMiB;
            std::printf("   peak %.1f-%.1f MiB (%.2fx)%s\n", lo, hi, hi / lo, missed ? "  MISSED" : "");
        }
    }
    return 0;
}
