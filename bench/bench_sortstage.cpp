// The sort stage alone: values of one group added and read back in order,
// held in memory against spilt to the sort table past a lower limit.
//
// Usage: bench_sortstage [values [fields]]   (default 4000000 values in each
// of 2 fields, spilling past 2^20 values)
#include "engine/SortStage.h"
#include "engine/RunContext.h"
#include "scenario/AppDatabase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Times {
    double add = 0, scan = 0;
};

Times stage(RunContext& eng, const std::vector<double>& values, int fields, double& checksum) {
    SortStage st(eng, static_cast<std::int16_t>(fields));
    st.BeginGroup();
    auto t0 = Clock::now();
    for (std::size_t i = 0; i < values.size(); ++i)
        st.Add(static_cast<std::int16_t>(1 + i % static_cast<std::size_t>(fields)), values[i], 1.0);
    auto t1 = Clock::now();
    for (int f = 1; f <= fields; ++f) {
        double prev = -1e300;
        st.Scan(static_cast<std::int16_t>(f), [&](double x, double) {
            if (x < prev) std::abort();
            prev = x;
            checksum += x;
        });
    }
    auto t2 = Clock::now();
    st.Close();
    return {seconds(t0, t1), seconds(t1, t2)};
}
} // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 4000000;
    const int fields = argc > 2 ? std::atoi(argv[2]) : 2;
    auto dir = std::filesystem::temp_directory_path() / ("varnello-stage-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "s.vdb").string();
    auto db = dao::DBEngine().CreateDatabase(path);
    RunContext eng;
    RunContext::Frame frame;
    frame.source = frame.output = db;
    eng.Begin(std::move(frame));
    if (!eng.Quorb_UTIL_MakeTempDB()) return 1;
    std::mt19937_64 rng(7);
    std::normal_distribution<double> nd(1000, 50);
    std::vector<double> values(static_cast<std::size_t>(n) * static_cast<std::size_t>(fields));
    for (auto& v : values) v = nd(rng);
    double c1 = 0, c2 = 0;
    Times mem{1e300, 1e300}, spill{1e300, 1e300};
    for (int rep = 0; rep < 3; ++rep) {
        Times m = stage(eng, values, fields, c1);
        std::size_t old = SortStage::SetMemoryLimit(std::size_t(1) << 20);
        Times s = stage(eng, values, fields, c2);
        SortStage::SetMemoryLimit(old);
        mem = {std::min(mem.add, m.add), std::min(mem.scan, m.scan)};
        spill = {std::min(spill.add, s.add), std::min(spill.scan, s.scan)};
    }
    std::printf("in memory: add %.3f s, scan %.3f s\n", mem.add, mem.scan);
    std::printf("spilt:     add %.3f s, scan %.3f s   (%.0f ns a value more)\n", spill.add, spill.scan,
                (spill.add + spill.scan - mem.add - mem.scan) / static_cast<double>(values.size()) * 1e9);
    std::printf("checksums %s\n", c1 == c2 ? "equal" : "DIFFER");
    db->Close();
    std::filesystem::remove_all(dir);
    return c1 == c2 ? 0 : 1;
}
