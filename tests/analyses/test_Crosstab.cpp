// "Crosstab" scenarios through the engine: cells of every function letter,
// the count, percentage and expected rows, and the chi-square table, against
// values worked out by hand (small integers, exact fractions) and the
// chi-square tail for one degree of freedom in closed form.
#include "AnalysisFixture.h"

#include "analyses/group/CXTab.h"

#include <cmath>
#include <tuple>

using namespace dao;
using namespace atest;

namespace {

struct XRec {
    Variant g, r, c, x, w;
};

vtest::ScenarioSpec xtabSpec(const std::string& letter, const std::string& switches,
                             const std::vector<vtest::ScenarioFieldRow>& fields, const std::string& out2 = "Chi") {
    vtest::ScenarioSpec s;
    s.analysisType = "P";
    s.subType = "Crosstab";
    s.inputTable = "Data";
    s.outputTable1 = "Out";
    s.outputTable2 = out2;
    const char* names[] = {"XRowPCnt", "XColPcnt", "XTotPcnt", "XExpectPcnt", "XExpect", "XChi"};
    s.options = {{"XType", letter}};
    for (int i = 0; i < 6; ++i) s.options.push_back({names[i], i < static_cast<int>(switches.size()) && switches[i] == 'Y'});
    s.fields = fields;
    return s;
}

// Every test runs three times: a group's staged cells held in memory (the
// default limit), each row value's cells sent to the work table at once
// (limit 1), and rows held first and sent later (limit 3).
class CrosstabTest : public AnalysisTest, public ::testing::WithParamInterface<std::size_t> {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        m_limit = CXTab::SetStageLimit(GetParam());
    }
    void TearDown() override {
        CXTab::SetStageLimit(m_limit);
        AnalysisTest::TearDown();
    }
    std::size_t m_limit = 0;
    void makeData(const std::vector<XRec>& recs, const std::string& table = "Data") {
        std::vector<Row> rows;
        for (const auto& r : recs) rows.push_back({r.g, r.r, r.c, r.x, r.w});
        MakeTable(table, {{"G", dbText, 5}, {"R", dbText, 5}, {"C", dbText, 80}, {"X", dbDouble}, {"W", dbDouble}}, rows);
    }
    std::vector<OutRow> run(const vtest::ScenarioSpec& scenario, const std::string& table = "Out") {
        std::string err;
        EXPECT_TRUE(Run(Store(scenario), &err)) << err;
        return ReadTable(table);
    }
    // Runs the scenario into an output table of its own (Out0, Out1, ...).
    std::vector<OutRow> runIntoNewTable(vtest::ScenarioSpec scenario) {
        scenario.outputTable1 = "Out" + std::to_string(m_outputs++);
        return run(scenario, scenario.outputTable1);
    }
    int m_outputs = 0;
    static const OutRow* find(const std::vector<OutRow>& rows, const std::string& type, const std::string& r) {
        for (const auto& row : rows)
            if (row["DataType"].ToString() == type && (r.empty() ? row.IsNull("R") : row["R"].ToString() == r))
                return &row;
        ADD_FAILURE() << "no row " << type << " " << r;
        return nullptr;
    }
};

// The fields of most scenarios: rows R, columns C, data X.
const std::vector<vtest::ScenarioFieldRow> kRCX = {{"R", "G"}, {"C", "C"}, {"X", "X"}};

// `n` records in each cell (r, c), every one of value x and weight 1.
std::vector<XRec> cellCounts(const std::vector<std::tuple<const char*, const char*, int>>& cells, const Variant& x) {
    std::vector<XRec> v;
    for (const auto& [r, c, n] : cells)
        for (int i = 0; i < n; ++i) v.push_back({Variant::Null(), r, c, x, 1.0});
    return v;
}

// Cells (row r1 and r2, columns a and b) of the one data field X:
//   r1,a: 2 4 9    r1,b: 5    r2,a: 1 1    r2,b: 3 7 8 10
std::vector<XRec> baseData() {
    std::vector<XRec> v;
    auto add = [&](const char* r, const char* c, std::vector<double> xs) {
        for (double x : xs) v.push_back({Variant::Null(), r, c, x, 1.0});
    };
    add("r1", "a", {2, 4, 9});
    add("r2", "b", {3, 7});
    add("r1", "b", {5});
    add("r2", "a", {1, 1});
    add("r2", "b", {8, 10});
    return v;
}

double var(std::vector<double> xs) {
    double m = 0;
    for (double x : xs) m += x;
    m /= static_cast<double>(xs.size());
    double s = 0;
    for (double x : xs) s += (x - m) * (x - m);
    return s / static_cast<double>(xs.size() - 1);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(StagedInMemoryOrInTheWorkTable, CrosstabTest, ::testing::Values(0u, 1u, 3u));

TEST_P(CrosstabTest, EveryCellFunctionOnCellsRowsColumnsAndTheGroup) {
    // Per letter: the cell (r1, a), row r1's summary, column a's group total
    // and the whole group, worked out from the values above.
    const std::vector<double> r1a = {2, 4, 9}, r1 = {2, 4, 9, 5}, colA = {2, 4, 9, 1, 1},
                              all = {2, 4, 9, 5, 1, 1, 3, 7, 8, 10};
    const struct {
        const char* letter;
        const char* label;
        double cell, row, col, group;
    } cases[] = {
        {"C", "Count", 3, 4, 5, 10},
        {"S", "Sum", 15, 20, 17, 50},
        {"A", "Average", 5, 5, 3.4, 5},
        {"M", "Min", 2, 2, 1, 1},
        {"X", "Max", 9, 9, 9, 10},
        {"R", "Range", 7, 7, 8, 9},
        {"U", "UniqueCount", 3, 4, 4, 9},                // distinct values
        {"O", "Mode", 2, 2, 1, 1},                        // a tie goes to the smaller value
        {"V", "Var", var(r1a), var(r1), var(colA), var(all)},
        {"D", "StDev", std::sqrt(var(r1a)), std::sqrt(var(r1)), std::sqrt(var(colA)), std::sqrt(var(all))},
        {"E", "StError", std::sqrt(var(r1a) / 3), std::sqrt(var(r1) / 4), std::sqrt(var(colA) / 5),
         std::sqrt(var(all) / 10)},
        {"F", "CoefVar", std::sqrt(var(r1a)) / 5, std::sqrt(var(r1)) / 5, std::sqrt(var(colA)) / 3.4,
         std::sqrt(var(all)) / 5},
    };
    makeData(baseData());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto out = runIntoNewTable(xtabSpec(c.letter, "NNNNNN", kRCX));
        const OutRow* data = find(out, std::string("Data: ") + c.label, "r1");
        const OutRow* total = find(out, "GROUP Total", "");
        ASSERT_TRUE(data && total);
        EXPECT_TRUE(AgreesTo(c.cell, data->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(c.row, data->Num("RowSummary"), 13));
        EXPECT_TRUE(AgreesTo(c.col, total->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(c.group, total->Num("RowSummary"), 13));
        // Letter C writes no count rows; the others give N per cell.
        const bool counts = std::string(c.letter) != "C";
        EXPECT_EQ(out.size(), counts ? 6u : 3u);
        if (counts) {
            const OutRow* cnt = find(out, "Count", "r1");
            ASSERT_TRUE(cnt);
            EXPECT_EQ(cnt->Num("a"), 3.0);
            EXPECT_EQ(cnt->Num("RowSummary"), 4.0);
            EXPECT_EQ(find(out, "GROUP Count", "")->Num("RowSummary"), 10.0);
        }
    }
}

TEST_P(CrosstabTest, FirstAndLastFollowTheRowAndColumnOrder) {
    // One record per cell: r1: a 2, b 5; r2: a 1, b 3.
    makeData({{Variant::Null(), "r2", "b", 3.0, 1.0}, {Variant::Null(), "r1", "a", 2.0, 1.0},
              {Variant::Null(), "r2", "a", 1.0, 1.0}, {Variant::Null(), "r1", "b", 5.0, 1.0}});
    const struct {
        const char* letter;
        const char* label;
        double r1, r2, colA, colB, all;
    } cases[] = {{"1", "First", 2, 1, 2, 5, 2}, {"L", "Last", 5, 3, 1, 3, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto out = run(xtabSpec(c.letter, "NNNNNN", kRCX));
        const std::string data = std::string("Data: ") + c.label;
        EXPECT_EQ(find(out, data, "r1")->Num("a"), 2.0);
        EXPECT_EQ(find(out, data, "r2")->Num("b"), 3.0);
        EXPECT_EQ(find(out, data, "r1")->Num("RowSummary"), c.r1);
        EXPECT_EQ(find(out, data, "r2")->Num("RowSummary"), c.r2);
        EXPECT_EQ(find(out, "GROUP Total", "")->Num("a"), c.colA);
        EXPECT_EQ(find(out, "GROUP Total", "")->Num("b"), c.colB);
        EXPECT_EQ(find(out, "GROUP Total", "")->Num("RowSummary"), c.all);
    }
}

TEST_P(CrosstabTest, ZeroAndNegativeWeightsCountNowhereInTheGroupedQuery) {
    // The base data with weight 1, plus records whose weights must not count.
    auto recs = baseData();
    recs.push_back({Variant::Null(), "r1", "a", 100.0, -2.0});
    recs.push_back({Variant::Null(), "r1", "a", 50.0, 0.0});
    recs.push_back({Variant::Null(), "r1", "a", 70.0, Variant::Null()});
    makeData(recs);
    const struct {
        const char* letter;
        double cell;
    } cases[] = {{"C", 3}, {"S", 15}, {"A", 5}, {"V", 13}, {"M", 2}, {"X", 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto out = runIntoNewTable(xtabSpec(c.letter, "NNNNNN", {{"R", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}));
        ASSERT_FALSE(out.empty());
        EXPECT_TRUE(AgreesTo(c.cell, out[0].Num("a"), 13)) << out[0]["DataType"].ToString();
    }
}

TEST_P(CrosstabTest, WeightsCountInEveryCellFunctionAsRepeatedRecords) {
    // Cell (r1, a): 2 of weight 1 and 4 of weight 3, as the records 2, 4, 4, 4;
    // row r1 adds 5 of weight 2 in column b (2, 4, 4, 4, 5, 5). By hand: cell
    // mean 14/4 = 3.5, Σw(x − mean)² = 2.25 + 0.75 = 3, variance 3/3 = 1; row
    // mean 24/6 = 4, Σw(x − mean)² = 4 + 0 + 2 = 6, variance 6/5.
    makeData({{Variant::Null(), "r1", "a", 2.0, 1.0}, {Variant::Null(), "r1", "a", 4.0, 3.0},
              {Variant::Null(), "r1", "b", 5.0, 2.0}});
    const struct {
        const char* letter;
        double cell, row;
    } cases[] = {
        {"C", 4, 6}, {"S", 14, 24}, {"A", 3.5, 4}, {"M", 2, 2}, {"X", 4, 5}, {"R", 2, 3},
        {"V", 1, 1.2}, {"D", 1, std::sqrt(1.2)}, {"E", 0.5, std::sqrt(1.2 / 6)},
        {"F", 1 / 3.5, std::sqrt(1.2) / 4}, // the mean of the weighted values, not 6/4 (CV 2/3)
        {"O", 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto out = runIntoNewTable(xtabSpec(c.letter, "NNNNNN", {{"R", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}));
        ASSERT_FALSE(out.empty());
        EXPECT_TRUE(AgreesTo(c.cell, out[0].Num("a"), 13)) << out[0].Num("a");
        EXPECT_TRUE(AgreesTo(c.row, out[0].Num("RowSummary"), 13)) << out[0].Num("RowSummary");
    }
}

TEST_P(CrosstabTest, VarianceKeepsItsDigitsFarFromZero) {
    // Cell values 10^12 + 2, + 4, + 9: variance 13; a cell summing to 0 has a variance too.
    makeData({{Variant::Null(), "r", "a", 1e12 + 2, 1.0}, {Variant::Null(), "r", "a", 1e12 + 4, 1.0},
              {Variant::Null(), "r", "a", 1e12 + 9, 1.0}, {Variant::Null(), "s", "a", -1.0, 1.0},
              {Variant::Null(), "s", "a", 1.0, 1.0}});
    auto out = run(xtabSpec("V", "NNNNNN", kRCX));
    EXPECT_TRUE(AgreesTo(13, find(out, "Data: Var", "r")->Num("a"), 9));
    EXPECT_TRUE(AgreesTo(2, find(out, "Data: Var", "s")->Num("a"), 13));
    // Mean 0: no coefficient of variation, so row s has no data row.
    auto cv = run(xtabSpec("F", "NNNNNN", kRCX), "Out");
    int rowsOfS = 0;
    for (const auto& r : cv) rowsOfS += !r.IsNull("R") && r["R"].ToString() == "s";
    EXPECT_EQ(rowsOfS, 0);
    EXPECT_TRUE(AgreesTo(std::sqrt(13.0) / (1e12 + 5), find(cv, "Data: CoefVar", "r")->Num("a"), 9));
}

TEST_P(CrosstabTest, TheSpreadOfValuesNear1eMinus300Or1e300IsNotWrittenAsZeroOrFailed) {
    // Cell (r, a): 2, 4, 9 times 10^k; cell (s, a): 1, 3. By hand: standard
    // deviations √13, √2 and, over column a, √9.7 (mean 3.8, Σ(x − 3.8)² = 38.8,
    // over 4) each times 10^k; the standard error of (r, a) √(13/3)·10^k. The
    // variance 13·10^(2k) itself is beyond a double at both ends.
    for (double scale : {1e-300, 1e300}) {
        SCOPED_TRACE(scale);
        const std::string table = scale < 1 ? "Tiny" : "Huge";
        makeData({{Variant::Null(), "r", "a", 2 * scale, 1.0}, {Variant::Null(), "r", "a", 4 * scale, 1.0},
                  {Variant::Null(), "r", "a", 9 * scale, 1.0}, {Variant::Null(), "s", "a", 1 * scale, 1.0},
                  {Variant::Null(), "s", "a", 3 * scale, 1.0}},
                 table);
        auto on = [&](const char* letter) {
            vtest::ScenarioSpec spec = xtabSpec(letter, "NNNNNN", kRCX);
            spec.inputTable = table;
            return runIntoNewTable(spec);
        };
        auto sd = on("D");
        EXPECT_TRUE(AgreesTo(std::sqrt(13.0) * scale, find(sd, "Data: StDev", "r")->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(std::sqrt(2.0) * scale, find(sd, "Data: StDev", "s")->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(std::sqrt(38.8 / 4) * scale, find(sd, "GROUP Total", "")->Num("a"), 13));
        auto se = on("E");
        EXPECT_TRUE(AgreesTo(std::sqrt(13.0 / 3) * scale, find(se, "Data: StError", "r")->Num("a"), 13));
    }
}

TEST_P(CrosstabTest, TheSpreadOfHugeWeightsIsNotOverflowedWhereCellsAreMerged) {
    // Cell (r, a): 2, 4, 9 with weights 1, 2, 1 times c; cell (s, a): 1, 3
    // with weights 2, 1 times c. With W near 1e200 the sample variance
    // M2/(W − 1) is the population one, M2/W, of the integer weights: by hand
    // 26.75/4 for (r, a) and (8/3)/3 for (s, a); over column a the seven
    // weights give it below. Merging cells multiplied their two weight sums
    // (near 1e400) and the run failed ("Numeric field overflow.").
    struct Value {
        const char* r;
        double x, k;
    };
    const Value values[] = {{"r", 2, 1}, {"r", 4, 2}, {"r", 9, 1}, {"s", 1, 2}, {"s", 3, 1}};
    long double W = 0, S = 0, M2 = 0;
    for (const auto& v : values) {
        W += v.k;
        S += v.k * v.x;
    }
    for (const auto& v : values) M2 += v.k * (v.x - S / W) * (v.x - S / W);
    const long double varAll = M2 / W;
    for (double c : {1e200, 1e300}) {
        SCOPED_TRACE(c);
        const std::string table = c < 1e250 ? "Heavy" : "Heavier";
        std::vector<XRec> recs;
        for (const auto& v : values) recs.push_back({Variant::Null(), v.r, "a", v.x, v.k * c});
        makeData(recs, table);
        std::vector<vtest::ScenarioFieldRow> fields = kRCX;
        fields.push_back({"W", "W"});
        auto on = [&](const char* letter) {
            vtest::ScenarioSpec spec = xtabSpec(letter, "NNNNNN", fields);
            spec.inputTable = table;
            return runIntoNewTable(spec);
        };
        auto var = on("V");
        EXPECT_TRUE(AgreesTo(26.75 / 4, find(var, "Data: Var", "r")->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(8.0 / 9, find(var, "Data: Var", "s")->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(varAll), find(var, "GROUP Total", "")->Num("a"), 13));
        auto sd = on("D");
        EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(varAll)), find(sd, "GROUP Total", "")->Num("a"), 13));
        auto se = on("E");
        EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(varAll / (W * c))), find(se, "GROUP Total", "")->Num("a"), 13));
    }
}

TEST_P(CrosstabTest, ASpreadBeyondADoubleIsLeftNullNotFailingTheRun) {
    // Cell (r, a): 1, 2, 3 times 10^154; cell (r, b): 4, 5, 6 times 10^154.
    // By hand each cell's sample variance is 1·10^308, a double; the row's
    // and the group's summary over all six, 3.5·10^308, is not. The run
    // failed on writing it ("Numeric field overflow.").
    std::vector<XRec> recs;
    for (int k = 1; k <= 6; ++k) recs.push_back({Variant::Null(), "r", k <= 3 ? "a" : "b", k * 1e154, 1.0});
    makeData(recs, "Wide");
    vtest::ScenarioSpec spec = xtabSpec("V", "NNNNNN", kRCX);
    spec.inputTable = "Wide";
    auto out = runIntoNewTable(spec);
    for (const auto& [type, r] : {std::pair<const char*, const char*>{"Data: Var", "r"}, {"GROUP Total", ""}}) {
        SCOPED_TRACE(type);
        const OutRow* row = find(out, type, r);
        ASSERT_TRUE(row);
        EXPECT_TRUE(AgreesTo(1e308, row->Num("a"), 13));
        EXPECT_TRUE(AgreesTo(1e308, row->Num("b"), 13));
        EXPECT_TRUE(row->IsNull("RowSummary"));
    }
}

TEST_P(CrosstabTest, TheSpreadOfValuesSpanningBeyondADoubleIsNotWrittenAsZero) {
    // Column a: −1.5, −1, 1 times 10^308; column b: 1.7, 0.5, −0.2 times
    // 10^308. Their differences lie beyond a double; merging the cells into
    // the row's and the group's summary made the sum of squares NaN, which
    // was written as a standard deviation of 0. By hand the deviation of
    // all six is √(Σ(x − x̄)²/5)·10^308 with x̄ = 0.5/6, a double: the
    // summary must be that, or Null, never 0.
    const double xs[] = {-1.5, -1, 1, 1.7, 0.5, -0.2};
    std::vector<XRec> recs;
    long double mean = 0, ss = 0;
    for (int i = 0; i < 6; ++i) {
        recs.push_back({Variant::Null(), "r", i < 3 ? "a" : "b", xs[i] * 1e308, 1.0});
        mean += xs[i] / 6.0L;
    }
    for (double x : xs) ss += (x - mean) * (x - mean);
    const double sd = static_cast<double>(std::sqrt(ss / 5) * 1e308L);
    makeData(recs, "Ends");
    vtest::ScenarioSpec spec = xtabSpec("D", "NNNNNN", kRCX);
    spec.inputTable = "Ends";
    auto out = runIntoNewTable(spec);
    for (const auto& [type, r] : {std::pair<const char*, const char*>{"Data: StDev", "r"}, {"GROUP Total", ""}}) {
        SCOPED_TRACE(type);
        const OutRow* row = find(out, type, r);
        ASSERT_TRUE(row);
        EXPECT_TRUE(row->IsNull("RowSummary") || AgreesTo(sd, row->Num("RowSummary"), 12)) << row->Num("RowSummary");
    }
}

TEST_P(CrosstabTest, PercentageAndExpectedRowsAndTheChiSquareTable) {
    // Counts 10, 20 / 30, 40 (N = 100): expected 12, 18, 28, 42;
    // chi = 4/12 + 4/18 + 4/28 + 4/42 = 150/189.
    makeData(cellCounts({{"r1", "a", 10}, {"r1", "b", 20}, {"r2", "a", 30}, {"r2", "b", 40}}, Variant::Null()));
    auto out = run(xtabSpec("C", "YYYYYY", {{"R", "G"}, {"C", "C"}}));
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "R", "DataType", "RowSummary", "a", "b"}));
    ASSERT_EQ(out.size(), 18u);
    // type, row, a, b, RowSummary, each from the counts above.
    const struct {
        const char* type;
        const char* r;
        double a, b, sum;
    } want[] = {
        {"Data: Count", "r1", 10, 20, 30},      {"% Row", "r1", 1 / 3.0, 2 / 3.0, 1},
        {"% Col", "r1", 0.25, 1 / 3.0, 0.3},   {"% Total", "r1", 0.1, 0.2, 0.3},
        {"% Expected", "r1", 0.12, 0.18, 0.3}, {"Expected", "r1", 12, 18, 30},
        {"Expected", "r2", 28, 42, 70},        {"GROUP Total", "", 40, 60, 100},
        {"GROUP % Row", "", 0.4, 0.6, 1},      {"GROUP % Col", "", 1, 1, 1},
        {"GROUP % Total", "", 0.4, 0.6, 1},    {"GROUP Expected", "", 40, 60, 100},
    };
    for (const auto& w : want) {
        SCOPED_TRACE(std::string(w.type) + " " + w.r);
        const OutRow* row = find(out, w.type, w.r);
        ASSERT_TRUE(row);
        EXPECT_TRUE(AgreesTo(w.a, row->Num("a"), 14));
        EXPECT_TRUE(AgreesTo(w.b, row->Num("b"), 14));
        EXPECT_TRUE(AgreesTo(w.sum, row->Num("RowSummary"), 14));
        EXPECT_EQ((*row)["DataField"].ToString(), "-");
    }
    auto chi = ReadTable("Chi");
    ASSERT_EQ(chi.size(), 1u);
    const double x2 = 150.0 / 189;
    for (auto [col, v] : std::vector<std::pair<const char*, double>>{
             {"Count", 100}, {"MinExpected", 12}, {"MaxExpected", 42}, {"Columns", 2}, {"Rows", 2}, {"DF", 1},
             {"Chi-Square", x2}, {"Prob", std::erfc(std::sqrt(x2 / 2))}, {"Phi-Coefficient", std::sqrt(x2 / 100)},
             {"Coeff_of_Contingency", std::sqrt(x2 / (x2 + 100))}, {"Cramer's_V", std::sqrt(x2 / 100)}})
        EXPECT_TRUE(AgreesTo(v, chi[0].Num(col), col == std::string("Prob") ? 6 : 13)) << col;
}

TEST_P(CrosstabTest, ChiSquareOfHugeWeightsScalesWithThem) {
    // The counts 10, 20 / 30, 40 of the table above as one record per cell
    // weighted 10c, 20c, 30c, 40c: every expected value and the chi-square
    // are c times those of the counts (12, 18, 28, 42; 150/189), phi and
    // Cramer's V (√(χ²/N)) are theirs. For c = 1e200 the products of a
    // column and a row total (near 1e403) and the squared differences
    // overflowed, and the run failed ("Numeric field overflow.").
    for (const double c : {1e200, 1e300}) {
        SCOPED_TRACE(c);
        makeData({{Variant::Null(), "r1", "a", 1.0, 10 * c},
                  {Variant::Null(), "r1", "b", 1.0, 20 * c},
                  {Variant::Null(), "r2", "a", 1.0, 30 * c},
                  {Variant::Null(), "r2", "b", 1.0, 40 * c}},
                 c < 1e250 ? "Heavy" : "Heavier");
        std::vector<vtest::ScenarioFieldRow> fields = {{"R", "G"}, {"C", "C"}, {"W", "W"}};
        vtest::ScenarioSpec spec = xtabSpec("C", "NNNNNY", fields, c < 1e250 ? "Chi1" : "Chi2");
        spec.inputTable = c < 1e250 ? "Heavy" : "Heavier";
        runIntoNewTable(spec);
        auto chi = ReadTable(spec.outputTable2);
        ASSERT_EQ(chi.size(), 1u);
        const double x2 = 150.0 / 189;
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Count", 100 * c}, {"MinExpected", 12 * c}, {"MaxExpected", 42 * c}, {"Chi-Square", x2 * c},
                 {"Phi-Coefficient", std::sqrt(x2 / 100)}, {"Cramer's_V", std::sqrt(x2 / 100)}})
            EXPECT_TRUE(AgreesTo(v, chi[0].Num(col), 13)) << col;
    }
}

TEST_P(CrosstabTest, ChiSquareCountsACellWithoutRecordsAsObservedZero) {
    // r1: a 5, b none; r2: a 5, b 10 (N = 20). Expected 2.5, 2.5 / 7.5, 7.5;
    // chi = 2.5 + 2.5 (the empty cell: (0 − 2.5)²/2.5) + 2·(2.5²/7.5) = 20/3.
    makeData(cellCounts({{"r1", "a", 5}, {"r2", "a", 5}, {"r2", "b", 10}}, 1.0));
    run(xtabSpec("S", "NNNNNY", kRCX));
    auto chi = ReadTable("Chi");
    ASSERT_EQ(chi.size(), 1u);
    EXPECT_TRUE(AgreesTo(20.0 / 3, chi[0].Num("Chi-Square"), 13));
    EXPECT_EQ(chi[0].Num("MinExpected"), 2.5);
    EXPECT_EQ(chi[0]["DataField"].ToString(), "X");
}

TEST_P(CrosstabTest, DegreesOfFreedomBeyond32767AreWrittenAsTheyAreNotWrappedBelowZero) {
    // 183 row values by 183 columns, one record in each cell: every expected
    // value is 183 · 183 / 183² = 1, so chi-square is 0 on 182² = 33124 DF.
    std::vector<XRec> recs;
    for (int r = 0; r < 183; ++r)
        for (int c = 0; c < 183; ++c)
            recs.push_back({Variant::Null(), "r" + std::to_string(r), "c" + std::to_string(c), 1.0, 1.0});
    makeData(recs);
    run(xtabSpec("C", "NNNNNY", kRCX));
    auto chi = ReadTable("Chi");
    ASSERT_EQ(chi.size(), 1u);
    for (auto [col, v] : std::vector<std::pair<const char*, double>>{
             {"Count", 33489}, {"Rows", 183}, {"Columns", 183}, {"DF", 33124}, {"Chi-Square", 0}})
        EXPECT_EQ(chi[0].Num(col), v) << col;
}

TEST_P(CrosstabTest, GroupsOfTheLeadingRowFieldEachGetTheirRowsAndChiSquareRow) {
    std::vector<XRec> recs = {{"g1", "r1", "a", 1.0, 1.0}, {"g1", "r2", "b", 1.0, 1.0}, {"g2", "r1", "a", 1.0, 1.0},
                              {"g2", "r1", "b", 1.0, 1.0}, {"g2", "r1", "b", 1.0, 1.0}};
    makeData(recs);
    auto out = run(xtabSpec("C", "NNNNNY", {{"G", "G"}, {"R", "G"}, {"C", "C"}, {"X", "X"}}));
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"G", "DataField", "R", "DataType", "RowSummary", "a", "b"}));
    // g1: rows r1, r2, group; g2: row r1, group.
    std::vector<std::string> seen;
    for (const auto& r : out) seen.push_back(r["G"].ToString() + " " + (r.IsNull("R") ? "-" : r["R"].ToString()) + " " +
                                            r["DataType"].ToString());
    EXPECT_EQ(seen, (std::vector<std::string>{"g1 r1 Data: Count", "g1 r2 Data: Count", "g1 - GROUP Total",
                                              "g2 r1 Data: Count", "g2 - GROUP Total"}));
    auto chi = ReadTable("Chi");
    ASSERT_EQ(chi.size(), 2u);
    EXPECT_EQ(chi[1]["G"].ToString(), "g2");
    EXPECT_EQ(chi[1].Num("Rows"), 1.0); // one row value: no statistic
    EXPECT_TRUE(chi[1].IsNull("Chi-Square"));
}

TEST_P(CrosstabTest, ChiSquareOfSumsOfZeroOrBelowHasNoPhantomDegreesOfFreedomOrNegativeStatistic) {
    // Sums per cell (row, column, value); by hand: the rows of positive sum,
    // the columns of positive total, DF (r − 1)(c − 1) only where both are
    // counted, and no statistic without two of each or with an expected
    // value below 0.
    const struct {
        const char* why;
        std::vector<std::tuple<const char*, const char*, double>> cells;
        double count, rows, columns, df;
    } cases[] = {
        {"every sum 0: no row, no column (DF was 1)", {{"r1", "a", 0}, {"r2", "b", 0}}, 0, 0, 0, 0},
        {"a total of -1: no row, two positive columns (DF was -1)", {{"r1", "a", 2}, {"r1", "b", 3}, {"r2", "c", -6}}, -1, 0, 2, 0},
        // Column c's total -1 gives expected values -0.55 and -0.45: the terms
        // summed to chi-square -0.20 and its root failed the run ("Numeric
        // field overflow.").
        {"a column of negative total", {{"r1", "a", 10}, {"r1", "b", 1}, {"r2", "a", 10}, {"r2", "c", -1}}, 20, 2, 2, 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<XRec> recs;
        for (const auto& [r, col, x] : c.cells) recs.push_back({Variant::Null(), r, col, x, 1.0});
        vtest::ScenarioSpec scenario = xtabSpec("S", "NNNNNY", kRCX);
        scenario.inputTable = "Data" + std::to_string(++n);
        makeData(recs, scenario.inputTable);
        run(scenario);
        auto chi = ReadTable("Chi");
        ASSERT_EQ(chi.size(), 1u);
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Count", c.count}, {"Rows", c.rows}, {"Columns", c.columns}, {"DF", c.df}})
            EXPECT_EQ(chi[0].Num(col), v) << col;
        for (const char* col : {"MinExpected", "MaxExpected", "Chi-Square", "Prob", "Phi-Coefficient",
                                "Coeff_of_Contingency", "Cramer's_V"})
            EXPECT_TRUE(chi[0].IsNull(col)) << col;
    }
}

TEST_P(CrosstabTest, ColumnNamesFromDataValuesAreUniqueWithin64Characters) {
    const std::string long1 = std::string(64, 'x') + "1", long2 = std::string(64, 'x') + "2";
    std::vector<XRec> recs;
    for (const char* c : {"  ", "a", "A", " b ", "b", "DataType", "R"}) recs.push_back({Variant::Null(), "r", c, 1.0, 1.0});
    recs.push_back({Variant::Null(), "r", long1, 1.0, 1.0});
    recs.push_back({Variant::Null(), "r", long2, 1.0, 1.0});
    recs.push_back({Variant::Null(), "r", Variant::Null(), 1.0, 1.0});
    makeData(recs);
    auto out = run(xtabSpec("C", "NNNNNN", kRCX));
    const std::string x62 = std::string(62, 'x');
    EXPECT_EQ(ColumnNames("Out"),
              (std::vector<std::string>{"DataField", "R", "DataType", "RowSummary", "<NULL>", "<BLANK>", "b", "a",
                                        "DataType~2", "R~2", std::string(64, 'x'), x62 + "~2"}));
    ASSERT_EQ(out.size(), 2u);
    // In the order of the values (" b " sorts first); "a" and "A", " b " and "b" share their columns.
    for (auto [col, v] : std::vector<std::pair<std::string, double>>{
             {"<NULL>", 1}, {"<BLANK>", 1}, {"a", 2}, {"b", 2}, {"DataType~2", 1}, {std::string(64, 'x'), 1},
             {x62 + "~2", 1}})
        EXPECT_EQ(out[0].Num(col), v) << col;
}

TEST_P(CrosstabTest, ColumnValueHoldingANulCharacterGetsItsColumn) {
    // Another program's text "x<NUL>y" (a NUL cannot stand in a name) is
    // named with a blank in its place; "<NUL>" alone is a blank value.
    const std::string xNulY("x\0y", 3), nul(1, '\0');
    makeData({{Variant::Null(), "r", xNulY, 1.0, 1.0},
              {Variant::Null(), "r", xNulY, 2.0, 1.0},
              {Variant::Null(), "r", "p", 4.0, 1.0},
              {Variant::Null(), "r", nul, 8.0, 1.0}});
    auto out = run(xtabSpec("S", "NNNNNN", kRCX));
    EXPECT_EQ(ColumnNames("Out"),
              (std::vector<std::string>{"DataField", "R", "DataType", "RowSummary", "<BLANK>", "p", "x y"}));
    const OutRow* sums = find(out, "Data: Sum", "r");
    ASSERT_NE(sums, nullptr);
    EXPECT_EQ(sums->Num("x y"), 1.0 + 2.0);
    EXPECT_EQ(sums->Num("p"), 4.0);
    EXPECT_EQ(sums->Num("<BLANK>"), 8.0);
    EXPECT_EQ(sums->Num("RowSummary"), 1.0 + 2.0 + 4.0 + 8.0);
}

TEST_P(CrosstabTest, ValuesDifferingOnlyInTheCaseOfALetterBeyondAsciiShareTheirRowAndColumn) {
    // Rows "\u00C9mile" / "\u00E9mile" and columns "\u00C4pfel" / "\u00E4pfel" are one row and one
    // column each, read by the grouped query (C, S) and record by record (R):
    // the column of the two spellings holds 2, 1, 3; column b holds 5.
    makeData({{Variant::Null(), "\u00C9mile", "\u00C4pfel", 2.0, 1.0},
              {Variant::Null(), "\u00E9mile", "\u00E4pfel", 1.0, 1.0},
              {Variant::Null(), "\u00C9mile", "\u00C4pfel", 3.0, 1.0},
              {Variant::Null(), "\u00E9mile", "b", 5.0, 1.0}});
    const struct {
        const char* letter;
        double apfel, b, row;
    } cases[] = {{"C", 3, 1, 4}, {"S", 6, 5, 11}, {"R", 2, 0, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto out = runIntoNewTable(xtabSpec(c.letter, "NNNNNN", kRCX));
        // Texts sort by letter without regard to case: "b" before the umlaut.
        const auto names = ColumnNames("Out" + std::to_string(m_outputs - 1));
        ASSERT_EQ(names.size(), 6u);
        EXPECT_EQ(names[4], "b");
        std::vector<const OutRow*> data;
        for (const auto& r : out)
            if (r["DataType"].ToString().rfind("Data: ", 0) == 0) data.push_back(&r);
        ASSERT_EQ(data.size(), 1u);
        EXPECT_EQ(data[0]->Num(names[5]), c.apfel);
        EXPECT_EQ(data[0]->Num("b"), c.b);
        EXPECT_EQ(data[0]->Num("RowSummary"), c.row);
    }
}

TEST_P(CrosstabTest, ColumnNamesFromNonAsciiValuesAreCutAtWholeCharactersNotInsideOne) {
    // "Ω" takes two bytes: 64 characters of "a" and Ω are 127 bytes, and no
    // name ends in half a character.
    std::string omegas;
    for (int i = 0; i < 70; ++i) omegas += "\u03A9";
    const std::string long1 = "a" + omegas + "1", long2 = "a" + omegas + "2";
    std::vector<XRec> recs;
    for (const std::string& c : {long1, long2}) recs.push_back({Variant::Null(), "r", c, 1.0, 1.0});
    makeData(recs);
    run(xtabSpec("C", "NNNNNN", kRCX));
    auto first = [&](std::size_t chars) { return "a" + omegas.substr(0, 2 * (chars - 1)); };
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "R", "DataType", "RowSummary", first(64),
                                                             first(62) + "~2"}));
}

TEST_P(CrosstabTest, ScenariosTheCrosstabCannotComputeAreRefused) {
    makeData(baseData());
    const struct {
        const char* letter;
        std::vector<vtest::ScenarioFieldRow> fields;
        const char* message;
    } cases[] = {
        {"Z", kRCX, "Unknown crosstab cell function: Z"},
        {"C", {{"R", "G"}, {"X", "X"}}, "Exactly one column field must be assigned"},
        {"C", {{"R", "G"}, {"C", "C"}, {"G", "C"}, {"X", "X"}}, "Exactly one column field must be assigned"},
        {"S", {{"R", "G"}, {"C", "C"}}, "At least one X field must be assigned"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(xtabSpec(c.letter, "NNNNNN", c.fields)), &err));
        EXPECT_EQ(err, c.message);
    }
    EXPECT_FALSE(TableExists("Out"));
}

TEST_P(CrosstabTest, MissingValueRuleLeavesValuesOutOfTheCells) {
    // Rule "Both" from 2 to 8: r1,a keeps 2 and 4; r2,b keeps 3, 7 and 8.
    makeData(baseData());
    const struct {
        const char* letter;
        const char* label;
        double r1a, r2b;
    } cases[] = {{"S", "Sum", 6, 18}, {"X", "Max", 4, 8}, {"C", "Count", 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        auto scenario = xtabSpec(c.letter, "NNNNNN", kRCX);
        scenario.missingType = "2";
        scenario.missingLow = 2.0;
        scenario.missingHigh = 8.0;
        auto out = runIntoNewTable(scenario);
        EXPECT_EQ(find(out, std::string("Data: ") + c.label, "r1")->Num("a"), c.r1a);
        EXPECT_EQ(find(out, std::string("Data: ") + c.label, "r2")->Num("b"), c.r2b);
    }
}

TEST_P(CrosstabTest, ATextDataFieldUnderAnyMissingValueRuleLosesOnlyItsNullsOrItsNumbersTheRuleLeavesOut) {
    // The base data with two text fields: T holds "t" (Null in the first
    // record, of r1,a), N the values as texts ("2"). A count of T loses only
    // the Null, whatever the rule; a sum of N compares its numbers with the
    // bounds. Under "High" and "Both" every text was taken as above the bound
    // (the count came out empty), and "3" as above 8.
    std::vector<Row> rows;
    for (const XRec& r : baseData()) rows.push_back({r.r, r.c, ValueText(r.x), rows.empty() ? Variant::Null() : Variant("t")});
    MakeTable("Data", {{"R", dbText, 5}, {"C", dbText, 80}, {"N", dbText, 10}, {"T", dbText, 5}}, rows);
    // r1,a: 2 4 9; r2,b: 3 7 8 10.
    const struct {
        const char* type;
        Variant equal, low, high;
        double sumR1a, sumR2b;
    } rules[] = {{"1", 3.0, Variant(), Variant(), 15, 25}, {"2", Variant(), 2.0, Variant(), 15, 28},
                 {"2", Variant(), Variant(), 8.0, 6, 18}, {"2", Variant(), 2.0, 8.0, 6, 18}};
    for (const auto& r : rules) {
        SCOPED_TRACE(std::string(r.type) + " low " + ValueText(r.low) + " high " + ValueText(r.high));
        for (const char* letter : {"C", "S"}) {
            const bool count = std::string(letter) == "C";
            auto scenario = xtabSpec(letter, "NNNNNN", {{"R", "G"}, {"C", "C"}, {count ? "T" : "N", "X"}});
            scenario.missingType = r.type;
            scenario.missingEqual = r.equal;
            scenario.missingLow = r.low;
            scenario.missingHigh = r.high;
            auto out = runIntoNewTable(scenario);
            const OutRow* r1 = find(out, count ? "Data: Count" : "Data: Sum", "r1");
            const OutRow* r2 = find(out, count ? "Data: Count" : "Data: Sum", "r2");
            if (r1) {
                EXPECT_EQ(r1->Num("a"), count ? 2 : r.sumR1a) << letter;
            }
            if (r2) {
                EXPECT_EQ(r2->Num("b"), count ? 4 : r.sumR2b) << letter;
            }
        }
    }
}

TEST_P(CrosstabTest, ExpectedRowsAndTheChiSquareTableBelongToCountsAndSumsOnly) {
    makeData(baseData());
    auto out = run(xtabSpec("A", "YYYYYY", kRCX));
    std::vector<std::string> types;
    for (const auto& r : out)
        if (!r.IsNull("R") && r["R"].ToString() == "r1") types.push_back(r["DataType"].ToString());
    EXPECT_EQ(types, (std::vector<std::string>{"Data: Average", "Count", "% Row", "% Col", "% Total"}));
    EXPECT_FALSE(TableExists("Chi"));
    // r1: a 15/3 = 5, b 5; row 20/4 = 5; column a 17/5: % Col of a = 5 / 3.4.
    EXPECT_DOUBLE_EQ(find(out, "% Row", "r1")->Num("a"), 1.0);
    EXPECT_DOUBLE_EQ(find(out, "% Col", "r1")->Num("a"), 5 / 3.4);
}

TEST_P(CrosstabTest, AnEmptySourceSaysTheColumnFieldHasNoValueForEveryCellLetter) {
    // The column values are read first: without a record there is none,
    // whichever query the letter would read.
    makeData({});
    for (const char* letter : {"C", "U", "S", "A", "M", "X", "R", "O", "V", "F", "D", "E", "1", "L"}) {
        SCOPED_TRACE(letter);
        std::string err;
        EXPECT_FALSE(Run(Store(xtabSpec(letter, "NNNNNN", {{"R", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}})), &err));
        EXPECT_EQ(err, "Column field must have at least one value");
        EXPECT_FALSE(TableExists("Out"));
    }
}

TEST_P(CrosstabTest, TheOutputTableIsMadeBeforeTheRecordsAreReadAndGroupBreaksSendNoCount) {
    // Group g1 holds records 1 to 7, g2 records 8 to 12: a count at the break
    // would read "Analyzing record: 7".
    std::vector<XRec> recs;
    for (int i = 0; i < 12; ++i) recs.push_back({i < 7 ? "g1" : "g2", "r", "a", 1.0 * i, 1.0});
    makeData(recs);
    struct Log : IVarnelloEvents {
        std::vector<std::string> texts;
        void StatStatus(std::string& msg) override { texts.push_back(msg); }
    } log;
    std::string err;
    ASSERT_TRUE(Run(Store(xtabSpec("M", "NNNNNN", {{"G", "G"}, {"R", "G"}, {"C", "C"}, {"X", "X"}})), &err, &log)) << err;
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Retrieving and sorting data...", "Creating output table...",
                                                   "Analyzing records...", "Analyzing record: 5",
                                                   "Analyzing record: 10", "Analyzing record: 12"}));
}

TEST_P(CrosstabTest, RowValuesOfEachTypeComeBackAsTheSourceHoldsThem) {
    // row field type, its two values (the first sorts first), why
    const struct {
        int type;
        long size;
        Variant first, second;
        const char* why;
    } cases[] = {
        {dbLong, 0, Variant(7), Variant(123456789), "whole numbers"},
        {dbDouble, 0, Variant(0.1 + 0.2), Variant(1e300), "doubles to the last bit (0.30000000000000004)"},
        {dbDate, 0, Variant::Date(45000.25), Variant::Date(45001.5), "dates with their time"},
        {dbText, 40, Variant("Row one"), Variant("row two, longer"), "texts"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string table = "T" + std::to_string(n++);
        MakeTable(table, {{"R", c.type, c.size}, {"C", dbText, 5}, {"X", dbDouble}},
                  {{c.second, "a", 2.0}, {c.first, "a", 1.0}, {c.first, "b", 4.0}});
        auto scenario = xtabSpec("S", "NNNNNN", kRCX);
        scenario.inputTable = table;
        auto out = runIntoNewTable(scenario);
        // Data and count rows of the first value, then of the second.
        ASSERT_GE(out.size(), 4u);
        EXPECT_EQ(out[0]["R"].ToString(), c.first.ToString());
        if (c.type != dbText) {
            EXPECT_EQ(out[0].Num("R"), c.first.ToDouble());
        }
        EXPECT_EQ(out[0].Num("RowSummary"), 5.0);
        EXPECT_EQ(out[2]["R"].ToString(), c.second.ToString());
        EXPECT_EQ(out[2].Num("RowSummary"), 2.0);
    }
}

TEST_P(CrosstabTest, ACountOfRecordsRunsAgainWhenTheLastRunsOutputTableIsDropped) {
    // The second run finds a new column value: the old output table cannot
    // be emptied, it is dropped while the grouped query is open, and the
    // query (counting "*") is opened again as it was first built.
    makeData({{Variant::Null(), "r", "a", 1.0, 1.0}, {Variant::Null(), "r", "b", 1.0, 1.0}});
    const auto scenario = xtabSpec("C", "NNNNNY", {{"R", "G"}, {"C", "C"}});
    run(scenario);
    db->Execute("INSERT INTO [Data] ([R], [C], [X], [W]) VALUES ('r', 'c', 1, 1)");
    const std::int32_t id = Store(scenario);
    std::string err;
    ASSERT_TRUE(Run(id, &err)) << err;
    auto out = ReadTable("Out");
    ASSERT_FALSE(out.empty());
    // a, b and c once each: 3 records in row r.
    for (const char* col : {"a", "b", "c"}) EXPECT_EQ(out[0].Num(col), 1.0) << col;
    EXPECT_EQ(out[0].Num("RowSummary"), 3.0);
}
