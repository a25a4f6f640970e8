// The inverse of the distributions (CZValue::Quorb_FindValue, which the
// engine's ProbInverse and the probability calculator reach) against the
// forward probability at the value it finds (Quorb_CalcProb), measured in
// the same run.
//
// For each case: the inverse's time, the forward probability's time, and
// their ratio, the number of forward evaluations the inverse costs. Goal:
// every inverse within a few milliseconds, and for t, chi-square and F at
// most 200 forward evaluations, whatever the probability and degrees of
// freedom (far tails, few and many degrees of freedom). The normal's forward
// probability is one call of erf, far cheaper than a pass of the search's
// decimal arithmetic: its ratio is shown but has no goal.
//
// Usage: bench_inverse [repetitions]   (default 5: the best time of each)
#include "bench/BenchSupport.h"
#include "engine/CZValue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace bench;

namespace {

struct Case {
    const char* code;
    double p, df1, df2;
};

// Best time of `repetitions` rounds of `calls` calls, in seconds per call.
template <typename F>
double bestPerCall(int repetitions, int calls, F&& f) {
    double best = 1e300;
    for (int r = 0; r < repetitions; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i)
            f();
        best = std::min(best, Seconds(t0, Clock::now()) / calls);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const Case cases[] = {
        {"Z", 0.95, 0, 0},      {"Z", 0.99999, 0, 0},   {"T", 0.05, 10, 0},     {"T", 1e-8, 1, 0},
        {"T", 1e-8, 3, 0},      {"T", 1e-8, 120, 0},    {"C", 0.05, 5, 0},      {"C", 0.05, 120, 0},
        {"C", 1e-8, 120, 0},    {"C", 1e-8, 1, 0},      {"C", 1e-12, 1000, 0},  {"C", 0.999, 1000, 0},
        {"C", 0.05, 100000, 0}, {"F", 0.05, 2, 10},     {"F", 1e-8, 120, 120},  {"F", 1e-8, 1, 1},
        {"F", 1e-6, 5, 2},      {"F", 0.999, 10, 10},   {"F", 1e-8, 1000, 1000},
    };
    std::printf("%-3s %10s %8s %8s %16s %12s %12s %10s\n", "", "p", "df1", "df2", "value", "inverse ms",
                "forward us", "ratio");
    double worstMs = 0, worstRatio = 0;
    for (const Case& c : cases) {
        CZValue z;
        double x = 0;
        const double tInverse = bestPerCall(repetitions, 1, [&] { x = z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, true); });
        volatile double sink = 0;
        const double tForward = bestPerCall(repetitions, 200, [&] { sink = sink + z.Quorb_CalcProb(c.code, x, c.df1, c.df2); });
        const double ratio = tInverse / tForward;
        worstMs = std::max(worstMs, tInverse * 1e3);
        if (c.code[0] != 'Z')
            worstRatio = std::max(worstRatio, ratio);
        std::printf("%-3s %10.3g %8g %8g %16.10g %12.3f %12.3f %10.1f\n", c.code, c.p, c.df1, c.df2, x, tInverse * 1e3,
                    tForward * 1e6, ratio);
    }
    std::printf("slowest inverse %.3f ms (goal: a few); largest ratio to one forward probability of t, chi-square "
                "or F %.1f (goal <= 200)\n",
                worstMs, worstRatio);
    return 0;
}
