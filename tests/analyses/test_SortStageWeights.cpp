// The sort stage keeps no weights while every weight is 1: a later weight
// that is not 1 must find the earlier values of every field at weight 1.
#include "AnalysisFixture.h"
#include "engine/SortStage.h"
#include "support/AnalysisSeam.h"

#include <vector>

using namespace atest;

TEST_F(AnalysisTest, SortStageWeightsOfOneKeptWhenALaterWeightDiffers) {
    RunContext eng;
    vtest::BeginRun(eng, db);
    ASSERT_TRUE(eng.Quorb_UTIL_MakeTempDB());
    using Pairs = std::vector<std::pair<double, double>>;
    struct Case {
        std::vector<std::tuple<std::int16_t, double, double>> added; // field, value, weight
        Pairs field1, field2; // expected, sorted by value (values distinct)
        const char* why;
    };
    const std::vector<Case> cases = {
        {{{1, 5, 1}, {2, 4, 1}, {1, 3, 1}}, {{3, 1}, {5, 1}}, {{4, 1}}, "every weight 1"},
        {{{1, 5, 1}, {2, 4, 1}, {1, 3, 2.5}, {2, 1, 1}},
         {{3, 2.5}, {5, 1}},
         {{1, 1}, {4, 1}},
         "a weight of 2.5 after values of both fields at 1"},
        {{{2, 9, 1}, {1, 8, 1}}, {{8, 1}}, {{9, 1}}, "the next group starts without weights again"},
        {{{1, 2, 0.5}, {1, 1, 3}}, {{1, 3}, {2, 0.5}}, {}, "weights from the first value"},
    };
    SortStage st(eng, 2);
    for (const Case& c : cases) {
        st.BeginGroup();
        for (const auto& [f, x, w] : c.added) st.Add(f, x, w);
        EXPECT_FALSE(st.InTable()) << c.why;
        for (std::int16_t f = 1; f <= 2; ++f) {
            Pairs got;
            st.Scan(f, [&](double x, double w) { got.emplace_back(x, w); });
            EXPECT_EQ(got, f == 1 ? c.field1 : c.field2) << c.why << ", field " << f;
        }
    }
    st.Close();
}
