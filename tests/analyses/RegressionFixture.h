#pragma once
// What the regression tests share: a "Regression" scenario stored and run on
// a table of doubles, the run's status texts, a regression run straight on
// its class, and the names of the coefficient columns of each kind.
#include "AnalysisFixture.h"
#include "analyses/regression/RegressionRun.h"
#include "support/AnalysisSeam.h"

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

// A regression of `kind` on `fields`, with a polynomial's order and a residual table.
inline RegressionSpec RegressionOf(const std::string& kind, std::vector<vtest::ScenarioFieldRow> fields,
                                   std::int16_t order = 2, const std::string& out2 = "") {
    RegressionSpec r;
    r.kind = kind;
    r.order = order;
    r.fields = std::move(fields);
    r.out2 = out2;
    return r;
}

// The status texts a run raises.
struct StatusTexts : IVarnelloEvents {
    std::vector<std::string> texts;
    void StatStatus(std::string& msg) override { texts.push_back(msg); }
    // Those that give why a fit has no statistics.
    std::vector<std::string> Refusals() const {
        std::vector<std::string> r;
        for (const auto& t : texts)
            if (t.find(" cannot be computed") != std::string::npos) r.push_back(t);
        return r;
    }
};

class RegressionTest : public AnalysisTest {
public:
    // The stored scenario of `r`, for a test to add what RegressionSpec lacks.
    static vtest::ScenarioSpec Scenario(const RegressionSpec& r) {
        vtest::ScenarioSpec s;
        s.subType = "Regression";
        s.inputTable = r.table;
        s.outputTable1 = "Stats";
        s.outputTable2 = r.out2;
        s.options = {{"RegressType", dao::Variant(r.kind)}, {"RYInt", r.yint}, {"RANova", r.anova},
                     {"RPoly", dao::Variant(r.order)}};
        s.fields = r.fields;
        return s;
    }

protected:
    // A table of Double columns (a Text column when its name starts with "G").
    void MakeData(const std::vector<std::string>& columns, const std::vector<Row>& rows,
                  const std::string& table = "Data") {
        std::vector<Column> cols;
        for (const auto& c : columns) cols.push_back({c, c[0] == 'G' ? dao::dbText : dao::dbDouble, c[0] == 'G' ? 20L : 0L});
        MakeTable(table, cols, rows);
    }
    // Runs the scenario; the engine's message in `error`, its status texts in `status`.
    bool RunRegression(const RegressionSpec& r, std::string* error = nullptr, StatusTexts* status = nullptr) {
        return Run(Store(Scenario(r)), error, status);
    }
    using AnalysisTest::RunAndRead;
    std::vector<OutRow> RunAndRead(const RegressionSpec& r, StatusTexts* status = nullptr) {
        std::string err;
        EXPECT_TRUE(RunRegression(r, &err, status)) << err;
        return ReadTable("Stats");
    }
    // Runs a regression on "Data" straight on its class, as the engine does
    // but with a confidence level (which the engine never passes): X fields
    // `xs`, then "Y", no group, no weight. The result is the run's message.
    std::string RunDirect(char kind, const std::string& out1, const std::vector<std::string>& xs, bool anova,
                          bool yint, std::int16_t ci, std::int16_t order = 0, const std::string& group = "") {
        RegressionSettings s;
        s.OutputTable1 = out1;
        s.Table = "Data";
        s.fields = {""};
        if (!group.empty()) {
            s.fields.push_back(group);
            s.nG = 1;
        }
        s.fields.insert(s.fields.end(), xs.begin(), xs.end());
        s.fields.push_back("Y");
        s.nX = static_cast<std::int16_t>(xs.size());
        s.bY = true;
        s.Kind = kind;
        s.Anova = anova;
        s.YIntercept = yint;
        s.ConfidenceLevel = ci;
        s.PolyOrder = order;
        RunContext cx;
        vtest::BeginRun(cx, db);
        return RunAnalysis<RegressionRun>(s, cx);
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
