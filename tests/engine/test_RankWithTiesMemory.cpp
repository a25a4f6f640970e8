// The engine's ranking of values held in memory: mid-ranks and tie sums
// worked by hand (a run of W positions from p has mean rank p + (W − 1)/2;
// Σ(t³ − t), Σt(t − 1), Σt(t − 1)(t − 2), Σt(t − 1)(2t + 5)).
#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"

#include <gtest/gtest.h>

namespace {

TEST(RankWithTiesInMemory, MidRanksAndTieSums) {
    const struct {
        std::vector<double> values, weights, ranks;
        double obs, cube, groups, k1, k2, k3;
        const char* why;
    } cases[] = {
        {{5, 5, 7}, {1, 1, 1}, {1.5, 1.5, 3}, 2, 6, 1, 2, 0, 18, "a pair of ties"},
        {{2, 2, 2, 2}, {1, 1, 1, 1}, {2.5, 2.5, 2.5, 2.5}, 4, 60, 1, 12, 24, 156, "four equal values"},
        {{1, 2}, {3, 1}, {2, 4}, 3, 24, 1, 6, 6, 66, "weight 3 takes positions 1 to 3"},
        {{1, 2, 3}, {2.7, 1, 1}, {1.5, 3, 4}, 2, 6, 1, 2, 0, 18, "weight 2.7 takes two positions"},
        {{}, {}, {}, 0, 0, 0, 0, 0, 0, "nothing to rank"},
    };
    for (const auto& c : cases) {
        std::vector<double> ranks;
        double obs, cube, groups, k1, k2, k3;
        RankWithTies(c.values, c.weights, true, ranks, obs, cube, groups, k1, k2, k3);
        EXPECT_EQ(ranks, c.ranks) << c.why;
        EXPECT_EQ(obs, c.obs) << c.why;
        EXPECT_EQ(cube, c.cube) << c.why;
        EXPECT_EQ(groups, c.groups) << c.why;
        EXPECT_EQ(k1, c.k1) << c.why;
        EXPECT_EQ(k2, c.k2) << c.why;
        EXPECT_EQ(k3, c.k3) << c.why;
    }
    std::vector<double> ranks;
    double a, b, c, d, e, f;
    EXPECT_THROW(RankWithTies({1.0}, {0.5}, false, ranks, a, b, c, d, e, f), RunTimeError);
}

} // namespace
