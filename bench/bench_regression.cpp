// The regressions against reading (and writing) their records, measured in
// the same run on the same file, at one or more sizes.
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
// Every measurement runs in a child process of its own, whose peak resident
// memory (VmHWM, its high-water mark reset when the child starts) is printed
// beside its time; "idle" is a child that only opens the database. The data
// are made in a child too, so that every child starts from the same small
// parent. With
// several sizes the cost per record of each job is printed against that at
// the size nearest 1,000,000, and its peak memory against its smallest
// (goals: within 1.3x, and under 64 MiB).
//
// Usage: bench_regression [records[,records...] [repetitions]]
//   (default 1000000 records in 10 groups, best of 3 runs each; e.g.
//   bench_regression 100000,1000000,4000000 1)
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
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

// The child's peak resident memory so far, in KiB (VmHWM), or -1.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Runs `job` in a child process of its own and returns what it returns (at
// most 7 numbers), followed by the child's peak resident memory in MiB. The
// parent holds no database open meanwhile, and keeps its own memory small:
// the data are made in a child too.
std::vector<double> inChild(const std::function<std::vector<double>()>& job) {
    constexpr std::size_t kMax = 8;
    int fds[2];
    if (::pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        ::close(fds[0]);
        // The high-water mark starts from here, not from the parent's.
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        std::vector<double> result = job();
        result.resize(kMax - 1);
        const long kib = peakKiB();
        result.push_back(kib < 0 ? -1.0 : static_cast<double>(kib) / 1024.0);
        std::fflush(stdout);
        const auto bytes = static_cast<ssize_t>(kMax * sizeof(double));
        if (::write(fds[1], result.data(), kMax * sizeof(double)) != bytes) ::_exit(2);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::vector<double> result(kMax, 0.0);
    const auto bytes = static_cast<ssize_t>(kMax * sizeof(double));
    const bool got = ::read(fds[0], result.data(), kMax * sizeof(double)) == bytes;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a measurement failed\n");
        std::exit(1);
    }
    return result;
}

struct Job {
    const char* name;
    // Its baseline's index in the jobs (-1: none) and the goal of the ratio.
    int baseline = -1;
    double goal = 0;
    std::function<double(const DatabasePtr&)> run;
};

struct Result {
    double seconds = 1e300, peakMiB = -1;
};

std::vector<long> parseSizes(const char* text) {
    std::vector<long> sizes;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (std::atol(item.c_str()) > 0) sizes.push_back(std::atol(item.c_str()));
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<long> sizes = parseSizes(argc > 1 ? argv[1] : "1000000");
    const int repetitions = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    if (sizes.empty()) {
        std::fprintf(stderr, "usage: bench_regression [records[,records...] [repetitions]]\n");
        return 1;
    }
    ScratchDir dir("regression");
    std::printf("time: best of %d runs; memory: the largest peak of the runs, each in a child process\n", repetitions);

    // results[size][job]
    std::vector<std::vector<Result>> results;
    std::vector<Job> jobs;
    for (long records : sizes) {
        const std::string path = dir.File("bench" + std::to_string(records) + ".db");
        const std::vector<double> ids = inChild([&] {
            auto db = CreateScenarioDatabase(path);
            makeData(*db, records);
            std::vector<double> made;
            for (const auto& [kind, out2] : {std::pair{"M", ""}, {"P", ""}, {"M", "Res"}, {"P", "Res"}})
                made.push_back(storeScenario(*db, kind, out2));
            db->Close();
            return made;
        });
        const auto multi = static_cast<std::int32_t>(ids[0]), poly = static_cast<std::int32_t>(ids[1]),
                   multiRes = static_cast<std::int32_t>(ids[2]), polyRes = static_cast<std::int32_t>(ids[3]);
        auto scenario = [](std::int32_t id) { return [id](const DatabasePtr& db) { return RunScenario(db, id); }; };
        auto read = [](int nX) {
            return [nX](const DatabasePtr& db) {
                double checksum = 0;
                return readBaseline(db, nX, checksum);
            };
        };
        auto readWrite = [records](int nX) {
            return [nX, records](const DatabasePtr& db) {
                double checksum = 0;
                return readBaseline(db, nX, checksum) + writeBaseline(db, records, nX);
            };
        };
        jobs = {
            {"idle (open the database)", -1, 0, [](const DatabasePtr&) { return 0.0; }},
            {"read 6 X + Y", -1, 0, read(6)},
            {"read 6 X + Y and write", -1, 0, readWrite(6)},
            {"read 1 X + Y", -1, 0, read(1)},
            {"read 1 X + Y and write", -1, 0, readWrite(1)},
            {"multiple (6 X)", 1, 2, scenario(multi)},
            {"polynomial (order 3)", 3, 2, scenario(poly)},
            {"multiple + residuals", 2, 2, scenario(multiRes)},
            {"polynomial + residuals", 4, 2, scenario(polyRes)},
        };
        std::vector<Result> r(jobs.size());
        for (int rep = 0; rep < repetitions; ++rep)
            for (std::size_t j = 0; j < jobs.size(); ++j) {
                const std::vector<double> m = inChild([&] {
                    auto db = DBEngine().OpenDatabase(path);
                    const double t = jobs[j].run(db);
                    db->Close();
                    return std::vector<double>{t};
                });
                r[j].seconds = std::min(r[j].seconds, m[0]);
                r[j].peakMiB = std::max(r[j].peakMiB, m.back());
            }
        results.push_back(r);
        std::printf("\n%ld records in 10 groups\n", records);
        std::printf("  %-26s %9s %8s %9s\n", "job", "seconds", "ratio", "peak MiB");
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            const Job& job = jobs[j];
            std::printf("  %-26s %9.3f ", job.name, r[j].seconds);
            if (job.baseline >= 0) {
                const double ratio = r[j].seconds / r[static_cast<std::size_t>(job.baseline)].seconds;
                std::printf("%8.2f", ratio);
                std::printf(" %9.1f  to %s (goal <= %.0f)%s\n", r[j].peakMiB,
                            jobs[static_cast<std::size_t>(job.baseline)].name, job.goal,
                            ratio > job.goal ? "  MISSED" : "");
            } else {
                std::printf("%8s %9.1f\n", "", r[j].peakMiB);
            }
        }
        std::filesystem::remove(path);
    }

    if (sizes.size() > 1) {
        // Cost per record against the size nearest 1,000,000, and peak memory against the smallest.
        std::size_t ref = 0;
        for (std::size_t s = 1; s < sizes.size(); ++s)
            if (std::fabs(std::log(double(sizes[s]) / 1e6)) < std::fabs(std::log(double(sizes[ref]) / 1e6))) ref = s;
        std::printf("\ncost per record against %ld records; peak memory against the smallest "
                    "(goals <= 1.3, and under 64 MiB)\n",
                    sizes[ref]);
        std::printf("  %-26s", "job");
        for (long n : sizes) std::printf(" %10ld", n);
        std::printf(" %8s\n", "memory");
        for (std::size_t j = 1; j < jobs.size(); ++j) {
            std::printf("  %-26s", jobs[j].name);
            bool missed = false;
            double lo = 1e300, hi = 0;
            for (std::size_t s = 0; s < sizes.size(); ++s) {
                const double cost = results[s][j].seconds / double(sizes[s]);
                const double refCost = results[ref][j].seconds / double(sizes[ref]);
                std::printf(" %10.2f", cost / refCost);
                missed = missed || cost / refCost > 1.3;
                lo = std::min(lo, results[s][j].peakMiB);
                hi = std::max(hi, results[s][j].peakMiB);
            }
            const double mem = lo > 0 ? hi / lo : 0;
            missed = missed || mem > 1.3 || hi > 64;
            std::printf(" %8.2f%s\n", mem, jobs[j].baseline >= 0 && missed ? "  MISSED" : "");
        }
    }
    return 0;
}
