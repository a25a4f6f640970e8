// Every analysis type at several sizes, each against the reads and writes it
// stands on, measured in the same run on the same file.
//
// Baselines (the same columns the analysis reads, sorted as it groups):
//   read:        read through the data-access layer, every value fetched;
//   read+write:  that read, each record also written once into a table of a
//                second database through the batch appender (the staging of
//                the rank tests);
//   read+rows:   that read plus writing as many rows through AddNew/Update
//                into a table shaped like the residual table;
//   floor:       SQLite's own sorted read of the same columns through its C
//                API.
// Each measurement (every analysis run and every baseline, at every size and
// repetition) runs in a child process of its own, so the peak memory printed
// (the child's VmHWM) belongs to that one run. Time is the best of the
// repetitions; peak memory the largest.
//
// Goals, flagged where missed:
//   every type:  cost per record flat (within 1.3x of that at 1,000,000
//                records) and peak memory flat (largest within 1.3x of the
//                smallest over the sizes, and under 64 MiB at every size),
//                whatever the number of groups or distinct values;
//   Friedman, Paired Fields (with and without Kendall's tau), Mann-Whitney
//                with the two-sample K-S test, Kruskal-Wallis: <= 3 x
//                read+write;
//   the residual table: <= 2 x read+rows.
// With three rising sizes or more, the time each job adds per record from
// one size to the next is also printed against that from the first size to
// the second (and its baseline's): a cost paid once a run or once a group
// cancels out there, so it shows whether time grows linearly in the records.
//
// Usage: bench_types [-s SIZES] [-r REPETITIONS] [-t TEXT] [-m MiB]
//   -s  comma-separated record counts (default 100000,1000000,4000000)
//   -r  runs of each measurement, the best of which counts (default 3)
//   -t  only the jobs whose name contains TEXT, or one of several TEXTs
//       separated by commas (letter case ignored), e.g. "friedman",
//       "10 groups" or "mann,kruskal"
//   -m  address-space cap of each child in MiB (default 8192); a run over it
//       fails and is reported as such
// A quick look: bench_types -s 100000 -r 1
#include "bench/BenchSupport.h"

#include "analyses/nonparametric/CNonParametric.h"
#include "engine/VarnelloCore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

constexpr double kFlat = 1.3;      // cost per record and peak memory across sizes
constexpr double kMemoryMiB = 64;  // peak memory at every size
constexpr long kReference = 1000000;

enum class Against { Read, Stage, Rows };

struct Job {
    std::string name;
    Scenario scenario;
    std::vector<std::string> columns; // what the analysis reads
    std::vector<std::string> order;   // how it sorts them
    Against against = Against::Read;
    double goal = 0;                  // ratio to the baseline; 0: none
    std::vector<std::string> rows;    // read+rows: the number columns of the written table
    bool kendall = false;             // Paired Fields with Kendall's tau turned on
};

std::string bracketList(const std::vector<std::string>& names, const char* sep) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : sep) + ("[" + n + "]");
    return s;
}

std::string layerSql(const Job& j) {
    return "SELECT " + bracketList(j.columns, ", ") + " FROM [Data] ORDER BY " + bracketList(j.order, ",") + ";";
}

std::string sqliteSql(const Job& j) {
    std::string s = "SELECT ";
    for (std::size_t i = 0; i < j.columns.size(); ++i) s += (i ? ", \"" : "\"") + j.columns[i] + "\"";
    s += " FROM \"Data\" ORDER BY ";
    for (std::size_t i = 0; i < j.order.size(); ++i) s += (i ? ", \"" : "\"") + j.order[i] + "\" COLLATE BINARY";
    return s;
}

// The jobs, the same list in the parent and in every child.
std::vector<Job> makeJobs() {
    std::vector<Job> jobs;
    using Fields = std::vector<std::pair<std::string, std::string>>;
    const ScenarioColumnValues describe = {
        {"Range", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Sum", true}, {"Mean", true}, {"Skew", true},
        {"Mode", false}, {"Percentile", false}, {"CI", true}, {"CITypeRadio", "t-Test"}, {"CI95", true},
        {"CIUser", std::int16_t(90)}, {"TTestMean", true}, {"TTestValue", 20.0}, {"FreqN", true}, {"FreqP", true},
        {"InterV", std::int16_t(10)}, {"FreqGroupRadio", "Default"}};
    ScenarioColumnValues matrix;
    for (const char* k : {"MCnt", "MMis", "MMean", "MDev", "MCov", "MCor", "MR2", "MT", "MProb"}) matrix.push_back({k, true});
    matrix.push_back({"MProbTail", "2-tail"});
    const ScenarioColumnValues regression = {{"RYInt", true}, {"RANova", true}};
    const ScenarioColumnValues crosstab = {{"XType", "D"}, {"XRowPCnt", true}, {"XColPcnt", true}, {"XTotPcnt", true}};
    const ScenarioColumnValues group = {{"GroupIgnoreBlanks", true}};
    const ScenarioColumnValues paired = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}};

    // One job: the type, its fields (without the group field, which the
    // variant adds in front) and the columns its baseline sorts by after the
    // group field.
    struct Variant {
        std::string label, group;
    };
    const Variant variants[] = {{"10 groups", "Grp"}, {"10,000 groups", "GrpMany"}};
    for (const Variant& v : variants) {
        auto add = [&](const std::string& name, const char* type, const char* subType, ScenarioColumnValues options,
                       Fields fields, std::vector<std::string> order, Against against = Against::Read,
                       double goal = 0, bool out2 = false) {
            Job j;
            j.name = name + " / " + v.label;
            const std::string out = "Out" + std::to_string(jobs.size());
            j.scenario = {type, subType, out, out2 ? out + "_2" : "", std::move(options), {}};
            j.scenario.Fields.push_back({v.group, "G"});
            j.columns.push_back(v.group);
            for (auto& f : fields) {
                j.scenario.Fields.push_back(f);
                j.columns.push_back(f.first);
            }
            j.order.push_back(v.group);
            for (auto& o : order) j.order.push_back(o);
            j.against = against;
            j.goal = goal;
            jobs.push_back(std::move(j));
        };
        add("Describe", "P", "Describe", describe, {{"X", "X"}, {"U", "X"}}, {});
        add("Frequency", "P", "Frequency", {{"InterV", std::int16_t(20)}, {"FreqGroupRadio", "Default"}, {"FreqSum", true}},
            {{"X", "X"}, {"U", "X"}}, {});
        add("Percentiles", "P", "Percentiles", {{"PercentileRadio", "Percentiles"}}, {{"X", "X"}, {"U", "X"}}, {});
        add("Compare", "P", "Compare", {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}},
            {{"X", "X"}, {"Y", "Y"}}, {});
        add("Matrix", "P", "Matrix", matrix, {{"X", "X"}, {"Y", "X"}, {"U", "X"}, {"V", "X"}}, {});
        auto withType = [](ScenarioColumnValues o, const char* t) {
            o.push_back({"RegressType", t});
            return o;
        };
        add("Regression simple", "P", "Regression", withType(regression, "S"), {{"U", "X"}, {"V", "Y"}}, {});
        add("Regression multiple", "P", "Regression", withType(regression, "M"), {{"U", "X"}, {"X", "X"}, {"V", "Y"}},
            {});
        add("Regression multiple + residual table", "P", "Regression", withType(regression, "M"),
            {{"U", "X"}, {"X", "X"}, {"V", "Y"}}, {}, Against::Rows, 2, true);
        jobs.back().rows = {"U:U", "X:X", "V:V", "Estimated_Y", "Residual"};
        add("Crosstab", "P", "Crosstab", crosstab, {{"C5", "C"}, {"X", "X"}}, {"C5", "X"});
        add("Two Sample t-Test", "G", "Two Sample t-Test", group, {{"C2", "C"}, {"X", "X"}}, {"C2"});
        add("ANOVA", "G", "ANOVA", group, {{"C5", "C"}, {"X", "X"}}, {"C5"});
        add("Two way ANOVA", "G", "Two way ANOVA", group, {{"C5", "C"}, {"C2", "C"}, {"X", "X"}}, {"C5"});
        add("Chi-Square", "N", "Chi-Square", {{"ChiAll", true}, {"ChiDetail", true}}, {{"C5", "C"}}, {"C5"},
            Against::Read, 0, true);
        add("Sign Test", "N", "Sign Test",
            {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true}, {"SignValue", std::int16_t(20)}},
            {{"X", "X"}, {"U", "X"}}, {});
        add("K-S Fit", "N", "K-S Fit", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}},
            {{"X", "X"}, {"U", "X"}}, {});
        add("2 Sample: Mann-Whitney + K-S", "N", "2 Sample", {{"NPTwoType", "Mann"}},
            {{"C2", "C"}, {"X", "X"}, {"U", "X"}}, {"C2"}, Against::Stage, 3);
        add("2 Sample: Wald runs", "N", "2 Sample", {{"NPTwoType", "Wald"}}, {{"C2", "C"}, {"X", "X"}}, {"X", "C2"});
        add("N Sample: Kruskal-Wallis", "N", "N Sample", {}, {{"C5", "C"}, {"X", "X"}, {"U", "X"}}, {"C5"},
            Against::Stage, 3, true);
        add("Paired Fields", "N", "Paired Fields", paired, {{"X", "X"}, {"U", "X"}, {"Y", "Y"}}, {}, Against::Stage, 3);
        add("Paired Fields + Kendall", "N", "Paired Fields", paired, {{"X", "X"}, {"U", "X"}, {"Y", "Y"}}, {},
            Against::Stage, 3);
        jobs.back().kendall = true;
        add("N Fields: Friedman", "N", "N Fields", {}, {{"X", "X"}, {"Y", "X"}, {"U", "X"}}, {}, Against::Stage, 3,
            true);
    }
    // Many distinct values where they make the work: cells, categories and samples.
    auto many = [&](const std::string& name, const char* type, const char* subType, ScenarioColumnValues options,
                    std::vector<std::pair<std::string, std::string>> fields, Against against, double goal,
                    bool out2) {
        Job j;
        j.name = name;
        const std::string out = "Out" + std::to_string(jobs.size());
        j.scenario = {type, subType, out, out2 ? out + "_2" : "", std::move(options), {}};
        for (auto& f : fields) {
            j.scenario.Fields.push_back(f);
            j.columns.push_back(f.first);
            if (f.second == "G" || f.second == "C") j.order.push_back(f.first);
        }
        j.against = against;
        j.goal = goal;
        jobs.push_back(std::move(j));
    };
    many("Crosstab / 1,000 x 1,000 cells", "P", "Crosstab", crosstab, {{"Row", "G"}, {"Col", "C"}, {"X", "X"}},
         Against::Read, 0, false);
    // The category list holds at most 32,767 values.
    many("Chi-Square / 30,000 categories", "N", "Chi-Square", {{"ChiAll", true}, {"ChiDetail", true}},
         {{"K", "C"}}, Against::Read, 0, true);
    many("N Sample: Kruskal-Wallis / 1,000 samples", "N", "N Sample", {}, {{"Col", "C"}, {"X", "X"}, {"U", "X"}},
         Against::Stage, 3, true);
    return jobs;
}

void turnOnKendall(VarnelloCore& eng) {
    auto analysis = eng.Analysis("Paired Fields");
    eng.ReplaceAnalysis("Paired Fields", [analysis](AnalysisSettings& a, RunContext& cx) {
        static_cast<PairedFieldsSettings&>(a).Tau = true;
        return analysis(a, cx);
    });
}

// ---- the child ---------------------------------------------------------------

int child(int argc, char** argv) {
    // --child KIND DB JOB [ID|STAGE] CAP
    const std::string kind = argv[2], path = argv[3];
    const std::size_t index = static_cast<std::size_t>(std::atol(argv[4]));
    const long capMiB = std::atol(argv[argc - 1]);
    if (capMiB > 0) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(capMiB) << 20;
        setrlimit(RLIMIT_AS, &limit);
    }
    const std::vector<Job> jobs = makeJobs();
    if (index >= jobs.size()) return 2;
    const Job& job = jobs[index];
    double checksum = 0, t = 0;
    if (kind == "floor") {
        t = ReadSqlite(path, sqliteSql(job), checksum);
    } else {
        auto db = DBEngine().OpenDatabase(path);
        if (kind == "run") {
            t = RunScenario(db, static_cast<std::int32_t>(std::atol(argv[5])),
                            job.kendall ? std::function<void(VarnelloCore&)>(turnOnKendall) : nullptr);
            // A run that wrote nothing (or no Kendall's tau where asked) measured nothing.
            auto out = db->OpenRecordset("SELECT * FROM [" + job.scenario.Output1 + "];", dbOpenSnapshot);
            if (out->EOF_() || (job.kendall && !out->Fields().Find("Tau"))) {
                std::fprintf(stderr, "%s: the output table holds no result\n", job.name.c_str());
                return 1;
            }
            out->Close();
        } else if (kind == "read") {
            t = ReadQuery(db, layerSql(job), checksum);
        } else if (kind == "stage") {
            auto stage = DBEngine().CreateDatabase(argv[5], dbLangGeneral);
            t = ReadAndStage(db, layerSql(job), stage, checksum);
            stage->Close();
            std::remove(argv[5]);
        } else if (kind == "rows") {
            long records = 0;
            t = ReadQuery(db, layerSql(job), checksum);
            {
                auto rs = db->OpenRecordset("SELECT Count(*) AS N FROM [Data];", dbOpenSnapshot);
                records = rs->Fields(0)->Value().ToLong();
            }
            t += WriteRows(db, "WriteBase", job.rows, records);
            db->TableDefs().Delete("WriteBase");
        } else if (kind != "idle") {
            return 2;
        }
        db->Close();
    }
    ReportToParent(t, checksum);
    return 0;
}

// ---- the parent --------------------------------------------------------------

struct Options {
    std::vector<long> sizes = {100000, 1000000, 4000000};
    int repetitions = 3;
    std::string only;
    long capMiB = 8192;
};

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: bench_types [-s SIZES] [-r REPETITIONS] [-t TEXT] [-m MiB]\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) usage();
        const std::string v = argv[++i];
        if (a == "-s") {
            o.sizes.clear();
            std::stringstream in(v);
            std::string part;
            while (std::getline(in, part, ','))
                if (std::atol(part.c_str()) > 0) o.sizes.push_back(std::atol(part.c_str()));
            if (o.sizes.empty()) usage();
        } else if (a == "-r") {
            o.repetitions = std::max(1, std::atoi(v.c_str()));
        } else if (a == "-t") {
            o.only = lower(v);
        } else if (a == "-m") {
            o.capMiB = std::atol(v.c_str());
        } else {
            usage();
        }
    }
    return o;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string grouped(long n) {
    const std::string digits = std::to_string(n);
    std::string s;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
        s += digits[i];
    }
    return s;
}

// The best and the slowest time and the largest peak of one measurement over
// the repetitions: the goals are judged on the best, the slowest shows the
// spread of the runs beside it.
struct Measure {
    double best = 1e300, slowest = 0, peak = 0;
    int runs = 0;
    std::string error;
    void take(const ChildResult& r) {
        peak = std::max(peak, r.PeakMiB);
        if (!r.Ok) {
            error = r.Error;
            return;
        }
        best = std::min(best, r.Seconds);
        slowest = std::max(slowest, r.Seconds);
        ++runs;
    }
    bool ok() const { return runs > 0 && error.empty(); }
};

const char* againstName(Against a) {
    switch (a) {
    case Against::Stage: return "read+write";
    case Against::Rows: return "read+rows";
    default: return "read";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        if (argc < 6) return 2;
        return child(argc, argv);
    }
    const Options opt = parse(argc, argv);
    const std::vector<Job> all = makeJobs();
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool take = opt.only.empty();
        std::stringstream any(opt.only);
        std::string part;
        while (!take && std::getline(any, part, ','))
            take = !part.empty() && lower(all[i].name).find(part) != std::string::npos;
        if (take) chosen.push_back(i);
    }
    if (chosen.empty()) {
        std::fprintf(stderr, "no job's name contains \"%s\"\n", opt.only.c_str());
        return 2;
    }

    ScratchDir dir("types");
    const std::string cap = std::to_string(opt.capMiB);
    std::printf("bench_types: %zu jobs at %zu sizes; time: best of %d runs; peak memory: the largest VmHWM of "
                "the runs; every run a child process of its own\n",
                chosen.size(), opt.sizes.size(), opt.repetitions);
    std::printf("load average at the start: %s (%ld cores)\n", loadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));

    // One file per size, with every scenario.
    std::vector<std::string> paths;
    std::vector<std::vector<std::int32_t>> ids(opt.sizes.size());
    for (std::size_t s = 0; s < opt.sizes.size(); ++s) {
        paths.push_back(dir.File("data-" + std::to_string(opt.sizes[s]) + ".db"));
        auto db = CreateScenarioDatabase(paths.back());
        WriteStandardData(*db, opt.sizes[s]);
        for (const Job& j : all) ids[s].push_back(StoreScenario(*db, j.scenario));
        db->Close();
    }
    DBEngine().Reset();

    // Baselines shared between jobs are measured once: keyed by kind and job
    // of the first job that needs them.
    auto key = [&](const char* kind, const Job& j) {
        return std::string(kind) + "|" + layerSql(j) + "|" +
               (std::string(kind) == "rows" ? bracketList(j.rows, ",") : std::string());
    };
    // The key of the baseline a job is measured against.
    auto baselineKey = [&](const Job& j) {
        return key(j.against == Against::Stage ? "stage" : j.against == Against::Rows ? "rows" : "read", j);
    };
    std::map<std::string, std::size_t> baselineJob; // key -> job index
    for (std::size_t i : chosen) {
        const Job& j = all[i];
        for (const char* kind : {"read", "floor"}) baselineJob.emplace(key(kind, j), i);
        if (j.against == Against::Stage) baselineJob.emplace(key("stage", j), i);
        if (j.against == Against::Rows) baselineJob.emplace(key("rows", j), i);
    }

    std::vector<std::map<std::string, Measure>> base(opt.sizes.size());
    std::vector<std::map<std::size_t, Measure>> run(opt.sizes.size());
    std::vector<Measure> idle(opt.sizes.size());
    auto measureBaselines = [&](std::size_t s) {
        for (const auto& [k, i] : baselineJob) {
            const std::string kind = k.substr(0, k.find('|'));
            std::vector<std::string> args = {"--child", kind, paths[s], std::to_string(i)};
            if (kind == "stage") args.push_back(dir.File("stage.db"));
            args.push_back(cap);
            base[s][k].take(RunChild(args));
        }
    };
    for (int rep = 0; rep < opt.repetitions; ++rep) {
        for (std::size_t s = 0; s < opt.sizes.size(); ++s) {
            std::fprintf(stderr, "run %d of %d, %s records...\n", rep + 1, opt.repetitions,
                         grouped(opt.sizes[s]).c_str());
            idle[s].take(RunChild({"--child", "idle", paths[s], "0", cap}));
            // Baselines and analyses swap places each time.
            if (rep % 2 == 0) measureBaselines(s);
            for (std::size_t i : chosen)
                run[s][i].take(RunChild({"--child", "run", paths[s], std::to_string(i), std::to_string(ids[s][i]), cap}));
            if (rep % 2 == 1) measureBaselines(s);
        }
    }

    // The reference size for the cost per record.
    std::size_t ref = 0;
    for (std::size_t s = 0; s < opt.sizes.size(); ++s)
        if (opt.sizes[s] == kReference) ref = s;

    std::printf("load average at the end: %s\n", loadAverage().c_str());
    std::printf("a child that only opens the file: peak");
    for (std::size_t s = 0; s < opt.sizes.size(); ++s) std::printf("%s %.1f", s ? " /" : "", idle[s].peak);
    std::printf(" MiB\n");
    std::printf("cost per record against %s records; ratio: the analysis over its baseline (goal where one "
                "holds); floor: over SQLite's own sorted read\n\n",
                grouped(opt.sizes[ref]).c_str());
    std::printf("%-52s %10s %9s %9s  %-10s %9s %6s %5s %6s %7s %9s  %s\n", "type / data", "records", "seconds",
                "slowest", "baseline", "seconds", "ratio", "goal", "floor", "/record", "peak MiB", "missed");
    std::vector<std::string> missed;
    for (std::size_t i : chosen) {
        const Job& j = all[i];
        const std::string baseKey = baselineKey(j);
        double peakMin = 1e300, peakMax = 0;
        std::vector<std::string> jobMissed;
        for (std::size_t s = 0; s < opt.sizes.size(); ++s) {
            const Measure& m = run[s][i];
            const Measure& b = base[s][baseKey];
            const Measure& f = base[s][key("floor", j)];
            const Measure& r = run[ref][i];
            std::string flags;
            if (!m.ok()) {
                std::printf("%-52s %10s   failed: %s (peak %.0f MiB)\n", j.name.c_str(), grouped(opt.sizes[s]).c_str(),
                            m.error.c_str(), m.peak);
                jobMissed.push_back("failed at " + grouped(opt.sizes[s]) + " (" + m.error + ")");
                continue;
            }
            const double ratio = b.ok() ? m.best / b.best : 0;
            const double floor = f.ok() ? m.best / f.best : 0;
            const double perRecord = r.ok() ? (m.best / static_cast<double>(opt.sizes[s])) /
                                                  (r.best / static_cast<double>(opt.sizes[ref]))
                                            : 0;
            char buf[96];
            if (j.goal > 0 && ratio > j.goal) {
                flags += " TIME";
                std::snprintf(buf, sizeof buf, "%.2f x %s > %.0f at %s", ratio, againstName(j.against), j.goal,
                              grouped(opt.sizes[s]).c_str());
                jobMissed.push_back(buf);
            }
            if (perRecord > kFlat) {
                flags += " LINEAR";
                std::snprintf(buf, sizeof buf, "cost per record %.2f x at %s", perRecord, grouped(opt.sizes[s]).c_str());
                jobMissed.push_back(buf);
            }
            if (m.peak > kMemoryMiB) {
                flags += " MEMORY";
                std::snprintf(buf, sizeof buf, "%.0f MiB at %s", m.peak, grouped(opt.sizes[s]).c_str());
                jobMissed.push_back(buf);
            }
            peakMin = std::min(peakMin, m.peak);
            peakMax = std::max(peakMax, m.peak);
            char goal[8] = "-";
            if (j.goal > 0) std::snprintf(goal, sizeof goal, "%.0f", j.goal);
            std::printf("%-52s %10s %9.3f %9.3f  %-10s %9.3f %6.2f %5s %6.1f %7.2f %9.1f %s\n", j.name.c_str(),
                        grouped(opt.sizes[s]).c_str(), m.best, m.slowest, againstName(j.against), b.best, ratio, goal,
                        floor, perRecord, m.peak, flags.c_str());
        }
        if (peakMax > kFlat * peakMin && peakMin < 1e300) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "memory not flat: %.1f to %.1f MiB (%.2f x)", peakMin, peakMax,
                          peakMax / peakMin);
            jobMissed.push_back(buf);
        }
        for (const auto& m : jobMissed) missed.push_back(j.name + ": " + m);
    }

    // Time added per record from one size to the next, against that from the
    // first size to the second: what a run costs once, and what each group
    // costs whatever its records, cancel out, so time linear in the records
    // keeps it near 1 whatever the number of groups.
    bool rising = opt.sizes.size() >= 3;
    for (std::size_t s = 1; s < opt.sizes.size(); ++s) rising = rising && opt.sizes[s] > opt.sizes[s - 1];
    if (rising) {
        auto added = [&](const Measure& a, const Measure& b, std::size_t s) {
            return (b.best - a.best) / static_cast<double>(opt.sizes[s] - opt.sizes[s - 1]);
        };
        std::printf("\ntime added per record from one size to the next, against that from %s to %s records "
                    "(its baseline's beside it)\n",
                    grouped(opt.sizes[0]).c_str(), grouped(opt.sizes[1]).c_str());
        for (std::size_t i : chosen) {
            const Job& j = all[i];
            const std::string baseKey = baselineKey(j);
            bool ok = true;
            for (std::size_t s = 0; s < opt.sizes.size(); ++s) ok = ok && run[s][i].ok() && base[s][baseKey].ok();
            if (!ok) continue;
            const double first = added(run[0][i], run[1][i], 1), firstBase = added(base[0][baseKey], base[1][baseKey], 1);
            std::printf("  %-52s", j.name.c_str());
            for (std::size_t s = 2; s < opt.sizes.size(); ++s)
                std::printf("  to %s: %.2f (%.2f)", grouped(opt.sizes[s]).c_str(),
                            added(run[s - 1][i], run[s][i], s) / first,
                            added(base[s - 1][baseKey], base[s][baseKey], s) / firstBase);
            std::printf("\n");
        }
    }

    std::printf("\nbaselines (seconds, best to slowest; peak MiB):\n");
    for (const auto& [k, i] : baselineJob) {
        const std::string kind = k.substr(0, k.find('|'));
        const char* label = kind == "stage" ? "read+write" : kind == "rows" ? "read+rows" : kind.c_str();
        std::printf("  %-10s for %-52s", label, all[i].name.c_str());
        for (std::size_t s = 0; s < opt.sizes.size(); ++s) {
            const Measure& b = base[s][k];
            if (b.ok())
                std::printf("  %s: %.3f-%.3f s %.1f MiB", grouped(opt.sizes[s]).c_str(), b.best, b.slowest, b.peak);
            else std::printf("  %s: failed (%s)", grouped(opt.sizes[s]).c_str(), b.error.c_str());
        }
        std::printf("\n");
    }
    std::printf("\ngoals missed: %zu\n", missed.size());
    for (const auto& m : missed) std::printf("  %s\n", m.c_str());
    return 0;
}
