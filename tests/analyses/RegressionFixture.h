#pragma once
// What the regression tests share: a "Regression" scenario stored and run on
// a table of doubles, and the names of the coefficient columns of each kind.
#include "AnalysisFixture.h"

#include <string>
#include <vector>

namespace atest {

struct RegressionSpec {
    std::string kind = "S";      // "S", "M" or "P"
    bool yint = true, anova = true;
    std::int16_t order = 2;
    std::vector<vtest::ScenarioFieldRow> fields;
    std::string out2;            // residual table, none when empty
    std::string table = "Data";
};

class RegressionTest : public AnalysisTest {
protected:
    // A table of Double columns (a Text column when its name starts with "G").
    void MakeData(const std::vector<std::string>& columns, const std::vector<Row>& rows,
                  const std::string& table = "Data") {
        std::vector<Column> cols;
        for (const auto& c : columns) cols.push_back({c, c[0] == 'G' ? dao::dbText : dao::dbDouble, c[0] == 'G' ? 20L : 0L});
        MakeTable(table, cols, rows);
    }
    // Runs the scenario; the engine's message in `error`.
    bool RunRegression(const RegressionSpec& r, std::string* error = nullptr) {
        vtest::ScenarioSpec s;
        s.subType = "Regression";
        s.inputTable = r.table;
        s.outputTable1 = "Stats";
        s.outputTable2 = r.out2;
        s.options = {{"RegressType", dao::Variant(r.kind)}, {"RYInt", r.yint}, {"RANova", r.anova},
                     {"RPoly", dao::Variant(r.order)}};
        s.fields = r.fields;
        return Run(Store(s), error);
    }
    std::vector<OutRow> RunAndRead(const RegressionSpec& r) {
        std::string err;
        EXPECT_TRUE(RunRegression(r, &err)) << err;
        return ReadTable("Stats");
    }
};

// Coefficient columns: index 0 the intercept, j the j-th slope or power.
inline std::string CoefColumn(const std::string& kind, const std::string& what, int j, const std::string& xName = "") {
    if (j == 0) return what == "Coef" ? "Y-Intercept" : what + "_of_Y-Intercept";
    if (kind == "S") return what + "_of_X";
    if (kind == "P") return what + "_of_X^" + std::to_string(j);
    return (what + "_of_X" + std::to_string(j) + ": " + xName).substr(0, 64);
}

} // namespace atest
