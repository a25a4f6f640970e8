// The engine's road from RunScenario to its result, on real database files:
// loading, checks, the missing-value rule, the field list, dispatch, the
// runners' argument lists, events, clean-up and database ownership.
#include "db/Dao.h"
#include "analyses/descriptive/CFrequency.h"
#include "analyses/descriptive/CCorrMatrix.h"
#include "analyses/descriptive/CCompare.h"
#include "analyses/descriptive/CPercentiles.h"
#include "analyses/descriptive/CDescribe.h"
#include "analyses/group/CAnova.h"
#include "analyses/group/CXTab.h"
#include "analyses/nonparametric/CNonParamChiSquare.h"
#include "analyses/nonparametric/CNonParamMannKruskalKS.h"
#include "analyses/nonparametric/CNonParamSign.h"
#include "analyses/nonparametric/CNonParamWald.h"
#include "analyses/nonparametric/CNonParametric.h"
#include "analyses/regression/RegressionRun.h"
#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"
#include "support/AnalysisSeam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace dao;

namespace {

// Records the events in the order they come.
struct EventLog : IVarnelloEvents {
    std::vector<std::string> events;
    void StatStatus(std::string& Msg) override { events.push_back("StatStatus:" + Msg); }
    void RunScenarioBegin() override { events.push_back("Begin"); }
    void RunScenarioComplete(bool& Success, std::string& Msg) override {
        events.push_back(std::string("Complete:") + (Success ? "True" : "False") + ":" + Msg);
    }
};

// A listener that changes each text it is given (the event passes it by
// reference): the next text must come whole all the same.
struct ScribblingLog : EventLog {
    void StatStatus(std::string& Msg) override {
        EventLog::StatStatus(Msg);
        Msg.assign("scribbled over the text");
    }
};

using Options = std::vector<std::pair<std::string, Variant>>;

// A scenario of that group and type on these fields, with these options.
vtest::ScenarioSpec Spec(const std::string& group, const std::string& type, std::vector<vtest::ScenarioFieldRow> fields,
                         Options options = {}) {
    vtest::ScenarioSpec s;
    s.analysisType = group;
    s.subType = type;
    s.fields = std::move(fields);
    s.options = std::move(options);
    return s;
}

// An engine on that scenario database.
struct EngineOn : VarnelloCore {
    explicit EngineOn(const DatabasePtr& db) { SetScenarioDatabase(db); }
};

struct Column { const char* name; int type; long size = 0; };

// A table of these columns in db.
void AddTable(const DatabasePtr& db, const std::string& name, std::initializer_list<Column> columns) {
    auto td = db->CreateTableDef(name);
    for (const auto& c : columns) td->Fields().Append(td->CreateField(c.name, c.type, c.size));
    db->TableDefs().Append(td);
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        db = DBEngine().CreateDatabase(tmp.file("scen.db"), dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        // Data: Region (Text), Sales and Cost (Double), W (weight).
        AddTable(db, "Data", {{"Region", dbText, 20}, {"Sales", dbDouble}, {"Cost", dbDouble}, {"W", dbDouble}});
        auto rs = db->OpenRecordset("Data");
        const struct { const char* r; double s, c, w; } rows[] = {
            {"north", 10, 4, 1}, {"north", 14, 6, 2}, {"south", 3, 1, 1}, {"south", 9, 2, 0}, {"south", 6, 7, 3}};
        for (const auto& r : rows) {
            rs->AddNew();
            rs->Fields("Region")->SetValue(r.r);
            rs->Fields("Sales")->SetValue(r.s);
            rs->Fields("Cost")->SetValue(r.c);
            rs->Fields("W")->SetValue(r.w);
            rs->Update();
        }
        AddTable(db, "Empty", {{"Sales", dbDouble}});
        db->CreateQueryDef("qData", "SELECT * FROM Data WHERE Sales > 0");
        db->CreateQueryDef("qAsk", "SELECT * FROM Data WHERE Sales > [Minimum sales]");
    }
    void TearDown() override { DBEngine().Reset(); }

    std::int32_t store(vtest::ScenarioSpec s) {
        if (s.inputTable.empty()) s.inputTable = "Data";
        if (s.outputTable1.empty()) s.outputTable1 = "Out1";
        return vtest::StoreScenario(*db, s);
    }
    // A scenario of that type on the one X field Sales of Data.
    std::int32_t storeSales(const char* type) { return store(Spec("P", type, {{"Sales", "X"}})); }

    // The settings the analysis `name` is handed when s runs (the run must succeed).
    template <class S>
    S settingsOf(const vtest::ScenarioSpec& s, const char* name) {
        std::int32_t id = store(s);
        EngineOn eng(db);
        S seen;
        vtest::AnalysisOf<S>(eng, name) = [&](S& a, RunContext&) { seen = a; return std::string(); };
        EXPECT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
        return seen;
    }
    // A fresh engine's run of the stored scenario id fails with `expected`.
    void expectFailure(std::int32_t id, const std::string& expected) {
        EngineOn eng(db);
        EXPECT_FALSE(eng.RunScenario(id));
        EXPECT_EQ(eng.ErrorInfo(), expected);
    }

    vtest::TempDir tmp;
    DatabasePtr db;
};

TEST_F(EngineTest, EveryFailureTextOfTheRunIsReached) {
    vtest::ScenarioSpec noOptions = Spec("P", "Describe", {{"Sales", "X"}}), nowhere = noOptions;
    noOptions.writeOptionsRow = false; // the join drops a scenario without options
    nowhere.inputTable = "Nowhere";
    const std::vector<vtest::ScenarioFieldRow> mixed = {{"Region", "C"}, {"Sales", "X"}, {"Cost", "Y"}};
    const struct { const char* name; vtest::ScenarioSpec spec; const char* expected; } cases[] = {
        {"no options row", noOptions, "Scenario not found"},
        {"no fields", Spec("P", "Describe", {}), "No fields found for this scenario"},
        {"missing table", nowhere, "Data Table [Nowhere] not found."},
        {"chi-square without compare", Spec("N", "Chi-Square", {{"Sales", "X"}}), "At least one Compare field required"},
        // No Y and no X: the Y message comes first.
        {"compare without Y", Spec("P", "Compare", {{"Region", "G"}}), "Y Field must be assigned"},
        {"regression without X", Spec("P", "Regression", {{"Sales", "Y"}}), "At least one X field must be assigned"},
        {"describe without X", Spec("P", "Describe", {{"Region", "G"}}), "At least one X field must be assigned"},
        {"crosstab without row field", Spec("P", "Crosstab", {{"Sales", "X"}}), "At least one row field must be assigned"},
        {"two compare fields", Spec("N", "2 Sample", {{"Region", "C"}, {"Cost", "C"}, {"Sales", "X"}}),
         "Only one Compare field may be assigned"},
        {"no compare field", Spec("N", "N Sample", {{"Sales", "X"}}), "At least one Compare field must be assigned"},
        // The weight is read right after the one Y field: a second Y was taken for the weights.
        {"two Y fields", Spec("P", "Regression", {{"Sales", "X"}, {"Cost", "Y"}, {"W", "Y"}}),
         "Only one Y field may be assigned"},
        // AnUnknownAnalysisTypeIsAFailureNamingTheType: the type, the regression's or the two-sample test's.
        {"AnUnknownAnalysisTypeIsAFailureNamingTheType: Histogram", Spec("P", "Histogram", mixed),
         "Unknown analysis type: Histogram"},
        {"AnUnknownAnalysisTypeIsAFailureNamingTheType: Regression",
         Spec("P", "Regression", mixed, {{"RegressType", Variant("Q")}}), "Unknown regression type: Q"},
        {"AnUnknownAnalysisTypeIsAFailureNamingTheType: 2 Sample", Spec("N", "2 Sample", mixed, {{"NPTwoType", Variant("Rank")}}),
         "Unknown two-sample test type: Rank"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectFailure(store(c.spec), c.expected);
    }
    EngineOn eng(db);
    for (std::int32_t id : {4711, -3}) {
        EXPECT_FALSE(eng.RunScenario(id));
        EXPECT_EQ(eng.ErrorInfo(), "Scenario not found");
    }
}

TEST_F(EngineTest, DataServicesReportEmptyTablesAndParameterQueries) {
    std::int32_t id = storeSales("Percentiles");
    EngineOn eng(db);
    vtest::AnalysisOf<PercentileSettings>(eng, "Percentiles") = [](PercentileSettings& a, RunContext& e) {
        std::vector<long> types, sizes;
        return e.Quorb_InitDataTable(a.Table, a.fields, a.nG, types, sizes);
    };
    Varnello::RunScenarioArgs args;
    args.SourceTableName = "Empty";
    EXPECT_FALSE(eng.RunScenario(id, args));
    EXPECT_EQ(eng.ErrorInfo(), "No records found in Empty");

    EngineOn eng2(db);
    eng2.ReplaceAnalysis("Percentiles", eng.Analysis("Percentiles"));
    args.SourceTableName = "qAsk"; // a query passes the table check, then asks for a parameter
    EXPECT_FALSE(eng2.RunScenario(id, args));
    EXPECT_EQ(eng2.ErrorInfo(), "The selected query expects parameters and cannot be used by Pelloran.");

    EngineOn eng3(db);
    std::vector<long> seenTypes;
    vtest::AnalysisOf<PercentileSettings>(eng3, "Percentiles") = [&](PercentileSettings& a, RunContext& e) {
        std::vector<long> sizes;
        return e.Quorb_InitDataTable(a.Table, a.fields, a.nG, seenTypes, sizes);
    };
    args.SourceTableName = "qData";
    EXPECT_TRUE(eng3.RunScenario(id, args)) << eng3.ErrorInfo();
    EXPECT_EQ(seenTypes, (std::vector<long>{0, dbDouble}));
    // The override stays in the property after the run.
    EXPECT_EQ(eng3.SourceTableName(), "qData");
}

TEST_F(EngineTest, EventsArriveInOrderWithTheirArguments) {
    std::int32_t id = storeSales("Describe");
    EngineOn eng(db);
    ScribblingLog log;
    eng.SetEvents(&log);
    vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [](DescribeSettings&, RunContext& e) {
        e.Quorb_Msg(0, false, "Retrieving and sorting data");
        for (long r = 1; r <= 11; ++r) e.Quorb_Msg(r, false, "");
        e.Quorb_Msg(7, true, "Writing");
        return std::string();
    };
    Varnello::RunScenarioArgs args;
    args.ShowProgress = true;
    EXPECT_TRUE(eng.RunScenario(id, args));
    EXPECT_EQ(log.events, (std::vector<std::string>{"Begin", "StatStatus:Retrieving and sorting data...",
                                                     "StatStatus:Analyzing record: 5", "StatStatus:Analyzing record: 10",
                                                     "StatStatus:Writing", "Complete:True:"}));
    // Without ShowProgress no progress event is raised.
    log.events.clear();
    EXPECT_TRUE(eng.RunScenario(id));
    EXPECT_EQ(log.events, (std::vector<std::string>{"Begin", "Complete:True:"}));
}

TEST_F(EngineTest, AnEngineWithoutScenarioDatabaseCompletesWithItsMessage) {
    VarnelloCore eng;
    EventLog log;
    eng.SetEvents(&log);
    EXPECT_FALSE(eng.RunScenario(1));
    EXPECT_EQ(eng.ErrorInfo(), "Scenario database property not assigned or opened");
    EXPECT_EQ(log.events, (std::vector<std::string>{
                              "Begin", "Complete:False:Scenario database property not assigned or opened"}));
    EXPECT_EQ(eng.ScenarioTbl(), "USysQuorbScenarios");
    EXPECT_EQ(eng.OptionsTbl(), "USysQuorbOptions");
    EXPECT_EQ(eng.FieldTbl(), "USysQuorbFields");
}

TEST_F(EngineTest, AnUnexpectedErrorInsideRunScenarioStillCleansUpAndCompletes) {
    std::int32_t id = storeSales("Describe");
    EngineOn eng(db);
    EventLog log;
    eng.SetEvents(&log);
    Varnello::RunScenarioArgs args;
    args.SourceDatabase = Varnello::DatabaseArg(tmp.file("missing.db")); // cannot be opened
    EXPECT_FALSE(eng.RunScenario(id, args));
    EXPECT_NE(eng.ErrorInfo().find("Unexpected error number: 3024"), std::string::npos) << eng.ErrorInfo();
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1].rfind("Complete:False:Unexpected error number: 3024", 0), 0u);
    EXPECT_EQ(eng.SourceDatabase(), nullptr); // put back as it was
}

TEST_F(EngineTest, TheErrorNumberIsClearedWhenARunStarts) {
    std::int32_t id = storeSales("Describe");
    EngineOn eng(db);
    bool fail = true;
    vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [&](DescribeSettings&, RunContext&) -> std::string {
        if (fail) throw RunTimeError(11, "Division by zero");
        return {};
    };
    EXPECT_FALSE(eng.RunScenario(id));
    // The operation names the step that was running: the analysis, before it named a step of its own.
    EXPECT_EQ(eng.ErrorInfo(), "Unexpected error number: 11\r\nError: Division by zero\r\nOperation: Running Describe analysis");
    fail = false;
    EXPECT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
    EXPECT_EQ(eng.ErrorInfo(), "");
}

// An analysis step that meets an unexpected error, handles it on the engine
// handler and leaves through its normal exit, as every analysis does.
std::string meetsAnUnexpectedError() {
    ProcGuard proc(gEngineErr, "CDescribe:Quorb_Describe");
    try {
        throw RunTimeError(6, "Overflow");
    } catch (...) {
        proc.HandleError();
    }
    return {};
}

// Two engines alive: an analysis of the older one meets an unexpected error.
// The failure must reach the engine that ran it.
TEST_F(EngineTest, AnUnexpectedErrorInTheOlderOfTwoEnginesFailsItsRun) {
    std::int32_t id = storeSales("Describe");
    EngineOn older(db);
    EngineOn newer(db);
    vtest::AnalysisOf<DescribeSettings>(older, "Describe") = [](DescribeSettings&, RunContext&) {
        return meetsAnUnexpectedError();
    };
    EXPECT_FALSE(older.RunScenario(id));
    EXPECT_EQ(older.ErrorInfo().rfind("Unexpected error number: 6\r\nError: Overflow", 0), 0u) << older.ErrorInfo();
    EXPECT_EQ(newer.ErrHandler()->ErrNumber(), 0);
    // And the newer engine's own runs stay clean.
    vtest::AnalysisOf<DescribeSettings>(newer, "Describe") = [](DescribeSettings&, RunContext&) { return std::string(); };
    EXPECT_TRUE(newer.RunScenario(id)) << newer.ErrorInfo();
}

// A client's listener that makes an engine of its own while a run is under
// way (to compute a probability for its progress text, say): the running
// engine's analyses must go on reporting to the running engine, or their
// unexpected errors pass unseen and the broken run counts as a success.
TEST_F(EngineTest, AnEngineCreatedInAnEventOfARunLeavesTheRunsErrorsToTheRun) {
    std::int32_t id = storeSales("Describe");
    struct MakesAnEngine : IVarnelloEvents {
        int where = 0; // 0: at the run's begin, 1: at a progress text
        double p = 0;
        void make() { p = Varnello().Probability("Z", 1.96, 0, 0); }
        void RunScenarioBegin() override { if (where == 0) make(); }
        void StatStatus(std::string&) override { if (where == 1) make(); }
    };
    for (int where : {0, 1}) {
        SCOPED_TRACE(where == 0 ? "engine made at the run's begin" : "engine made at a progress text");
        EngineOn eng(db);
        MakesAnEngine listener;
        listener.where = where;
        eng.SetEvents(&listener);
        eng.SetShowProgress(true);
        vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [](DescribeSettings&, RunContext& e) -> std::string {
            e.Quorb_Msg(0, false, "Retrieving and sorting data");
            return meetsAnUnexpectedError();
        };
        EXPECT_FALSE(eng.RunScenario(id));
        EXPECT_EQ(eng.ErrorInfo().rfind("Unexpected error number: 6\r\nError: Overflow", 0), 0u) << eng.ErrorInfo();
        EXPECT_GT(listener.p, 0.0); // the listener's engine did its work
    }
}

TEST_F(EngineTest, AGroupScenarioGoesToTheGroupRunnerWhateverItsType) {
    std::int32_t id = store(Spec("G", "Describe", {{"Region", "C"}, {"Sales", "X"}}));
    EngineOn eng(db);
    AnovaSettings seen;
    vtest::AnalysisOf<AnovaSettings>(eng, "ANOVA") = [&](AnovaSettings& a, RunContext&) { seen = a; return std::string(); };
    vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [](DescribeSettings&, RunContext&) { return std::string("wrong runner"); };
    EXPECT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
    EXPECT_EQ(seen.Kind, "A");
    EXPECT_EQ(seen.nC, 1);
    EXPECT_EQ(seen.nX, 1);
    EXPECT_TRUE(seen.KeepBlankCompare); // GroupIgnoreBlanks False
}

TEST_F(EngineTest, TheFieldListFollowsTheRoleOrderAndCounts) {
    // Rows come in ordinal order; the list regroups them by role.
    XtabSettings seen = settingsOf<XtabSettings>(Spec("P", "Crosstab", {{"W", "W", 1}, {"Cost", "G", 2}, {"Region", "G", 1}}), "Crosstab");
    EXPECT_EQ(seen.fields, (FieldList{"", "Region", "Cost", "*", "W"}));
    EXPECT_EQ(seen.nG, 2);
    EXPECT_EQ(seen.nX, 1);
    EXPECT_TRUE(seen.bW);
    // A compare field in a type that has none (left from a crosstab, say) was
    // read and named in the place of the first X field.
    DescribeSettings described = settingsOf<DescribeSettings>(
        Spec("P", "Describe", {{"Region", "C"}, {"Sales", "X"}, {"W", "W"}}, {{"Mean", Variant(true)}}), "Describe");
    EXPECT_EQ(described.fields, (FieldList{"", "Sales", "W"}));
    EXPECT_EQ(described.nC, 0);
    // So was a Y field in a type that has none, or an X field in the
    // chi-square: it summed the field as the weights.
    ChiSquareSettings counted = settingsOf<ChiSquareSettings>(
        Spec("N", "Chi-Square", {{"Region", "C"}, {"Sales", "X"}, {"Cost", "Y"}, {"W", "W"}}, {{"ChiDetail", Variant(false)}}),
        "Chi-Square");
    EXPECT_EQ(counted.fields, (FieldList{"", "Region", "W"}));
    EXPECT_FALSE(counted.bY);
}

TEST_F(EngineTest, TheMissingValueRuleIsResolvedFromTheScenario) {
    struct Case { const char* type; Variant eq, low, high; const char* rule; double lowV, highV, eqV; };
    const Case cases[] = {
        {"0", Variant(5.0), Variant(), Variant(), "", 0, 0, 0},
        {"1", Variant(-99.0), Variant(), Variant(), "Equal", 0, 0, -99},
        {"2", Variant(), Variant(), Variant(), "", 0, 0, 0},
        {"2", Variant(), Variant(), Variant(50.0), "High", 0, 50, 0},
        {"2", Variant(), Variant(2.5), Variant(), "Low", 2.5, 0, 0},
        {"2", Variant(), Variant(1.0), Variant(9.0), "Both", 1, 9, 0},
    };
    for (const auto& c : cases) {
        vtest::ScenarioSpec s = Spec("P", "Percentiles", {{"Sales", "X"}});
        s.missingType = c.type;
        s.missingEqual = c.eq;
        s.missingLow = c.low;
        s.missingHigh = c.high;
        std::int32_t id = store(s);
        EngineOn eng(db);
        vtest::AnalysisOf<PercentileSettings>(eng, "Percentiles") = [](PercentileSettings&, RunContext&) { return std::string(); };
        ASSERT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
        EXPECT_EQ(eng.Run().MissingRule(), c.rule) << c.type;
        std::string rule = c.rule;
        if (rule == "Equal") { EXPECT_EQ(eng.Run().MissingEqualValue(), c.eqV); }
        if (rule == "Low" || rule == "Both") { EXPECT_EQ(eng.Run().MissingLowValue(), c.lowV); }
        if (rule == "High" || rule == "Both") { EXPECT_EQ(eng.Run().MissingHighValue(), c.highV); }
    }
}

TEST_F(EngineTest, MissingValueConditionsAndTestsKeepTheBoundsPresent) {
    VarnelloCore eng;
    struct Case { const char* rule; double eq, low, high; const char* where; bool at1, at5, at9; };
    const Case cases[] = {
        {"", 0, 0, 0, "", true, true, true},
        {"Equal", 5, 0, 0, "([X] <> 5.0)", true, false, true},
        {"Low", 0, 5, 0, "([X] >= 5.0)", false, true, true},
        {"High", 0, 0, 5, "([X] <= 5.0)", true, true, false},
        {"Both", 0, 1, 5, "([X] Between 1.0 And 5.0)", true, true, false},
    };
    for (const auto& c : cases) {
        eng.Run().SetMissingRule(c.rule);
        eng.Run().SetMissingEqualValue(c.eq);
        eng.Run().SetMissingLowValue(c.low);
        eng.Run().SetMissingHighValue(c.high);
        EXPECT_EQ(eng.Run().Quorb_DataWhere("[X]"), c.where) << c.rule;
        EXPECT_EQ(eng.Run().Quorb_DataOk_b(1, false), c.at1) << c.rule;
        EXPECT_EQ(eng.Run().Quorb_DataOk_b(5, false), c.at5) << c.rule;
        EXPECT_EQ(eng.Run().Quorb_DataOk_b(9, false), c.at9) << c.rule;
    }
}

TEST_F(EngineTest, MissingValueBoundsGoIntoSqlExactlyInEveryLocale) {
    VarnelloCore eng;
    eng.Run().SetMissingRule("Both");
    eng.Run().SetMissingLowValue(0.1);
    eng.Run().SetMissingHighValue(1e-7 / 3);
    std::string where = eng.Run().Quorb_DataWhere("[Sales]");
    // The text reads back as the very same doubles, with '.' as the decimal point.
    auto pos = where.find("Between ") + 8;
    auto andPos = where.find(" And ");
    double low = 0, high = 0;
    ASSERT_TRUE(ParseDouble(where.substr(pos, andPos - pos), low));
    ASSERT_TRUE(ParseDouble(where.substr(andPos + 5, where.size() - andPos - 6), high));
    EXPECT_EQ(low, 0.1);
    EXPECT_EQ(high, 1e-7 / 3);
    EXPECT_EQ(where.find(','), std::string::npos);
}

TEST_F(EngineTest, WeightsCountOnlyWhenPresentAndPositive) {
    VarnelloCore eng;
    vtest::BeginRun(eng.Run(), db);
    ASSERT_EQ(eng.Run().OpenDataRecordset("SELECT W FROM Data ORDER BY Sales"), "");
    FieldList f{"", "W"};
    std::vector<double> got;
    eng.Run().SetMissingRule("Equal");
    eng.Run().SetMissingEqualValue(3);
    for (auto rs = eng.Run().DataRecordset(); !rs->EOF_(); rs->MoveNext()) got.push_back(eng.Run().Quorb_WeightCalc(true, f, 1));
    // Sales order 3, 6, 9, 10, 14 → weights 1, 3 (the missing value), 0, 1, 2.
    EXPECT_EQ(got, (std::vector<double>{1, 0, 0, 1, 2}));
    EXPECT_EQ(eng.Run().Quorb_WeightCalc(false, f, 1), 1.0);
}

TEST_F(EngineTest, GroupBreaksFollowTheCollatingOrder) {
    VarnelloCore eng;
    std::vector<Variant> prev{Variant(), Variant("North"), Variant::Null()};
    std::vector<Variant> cur{Variant(), Variant("north"), Variant::Null()};
    eng.Run().SetBinaryCompare(false);
    EXPECT_FALSE(eng.Run().Quorb_SameRecords_b(2, true, prev, cur)); // General order: one group
    eng.Run().SetBinaryCompare(true);
    EXPECT_TRUE(eng.Run().Quorb_SameRecords_b(2, true, prev, cur));
    cur[1] = Variant("North");
    cur[2] = Variant(1);
    EXPECT_TRUE(eng.Run().Quorb_SameRecords_b(2, true, prev, cur)); // Null against a value
    eng.Run().Quorb_SameRecords_b(2, false, prev, cur);
    EXPECT_EQ(prev[2].ToLong(), 1);
}

TEST_F(EngineTest, DescribeArgumentsAreMarshalledFromTheOptions) {
    Options options = {{"VarStd", Variant(true)}, {"VarNRadio", Variant("N")}, {"Percentile", Variant(true)},
                       {"PercentileRadio", Variant("Quartiles")}, {"CI", Variant(true)}, {"CITypeRadio", Variant("Normal")},
                       {"CIStdDev", Variant(1.5)}, {"TTestMean", Variant(true)}, {"TTestValue", Variant::Null()},
                       {"FreqN", Variant(true)}, {"FreqP", Variant(true)}, {"FreqDispRadio", Variant("Cumulative")},
                       {"FreqIncRadio", Variant("Upper")}, {"FreqGroupRadio", Variant("Specified")},
                       {"InterV", Variant(std::int16_t(4))}, {"FreqInit", Variant(2.0)}, {"FreqWidth", Variant(3.0)}};
    DescribeSettings seen = settingsOf<DescribeSettings>(
        Spec("P", "Describe", {{"Region", "G"}, {"Sales", "X"}, {"Cost", "X"}, {"W", "W"}}, options), "Describe");
    EXPECT_EQ(seen.OutputTable1, "Out1");
    EXPECT_EQ(seen.Table, "Data");
    EXPECT_EQ(seen.fields, (FieldList{"", "Region", "Sales", "Cost", "W"}));
    EXPECT_EQ(seen.nG, 1);
    EXPECT_EQ(seen.nX, 2);
    EXPECT_TRUE(seen.bW);
    EXPECT_TRUE(seen.Range);   // stored default True
    EXPECT_EQ(seen.VarMethod, "N");
    EXPECT_TRUE(seen.Sum);     // default True
    EXPECT_FALSE(seen.Mean);   // default False
    EXPECT_EQ(seen.PercentileLetter, "Q");
    EXPECT_EQ(seen.IntervalLetter, "N");
    EXPECT_TRUE(seen.CI95);
    EXPECT_EQ(seen.CIStdDev, (std::vector<double>{0, 1.5, 1.5}));
    EXPECT_TRUE(seen.TTestMean);
    EXPECT_EQ(seen.TTestValues, (std::vector<double>{0, 0, 0})); // a Null t-test value is 0
    EXPECT_EQ(seen.FreqCode, "BCYNY");
    EXPECT_EQ(seen.Intervals, 4);
    EXPECT_EQ(seen.Start, 2.0);
    EXPECT_EQ(seen.Width, 3.0);
}

TEST_F(EngineTest, DescribeWithoutFrequencyPassesDashAndZeros) {
    DescribeSettings seen = settingsOf<DescribeSettings>(
        Spec("P", "Describe", {{"Sales", "X"}}, {{"VarStd", Variant(false)}, {"Percentile", Variant(false)}}), "Describe");
    EXPECT_EQ(seen.FreqCode, "-");
    EXPECT_EQ(seen.Intervals, 0);
    EXPECT_EQ(seen.Start, 0);
    EXPECT_EQ(seen.Width, 0);
    EXPECT_EQ(seen.VarMethod, "");
    EXPECT_EQ(seen.PercentileLetter, "-");
    EXPECT_EQ(seen.IntervalLetter, "-");
}

TEST_F(EngineTest, DefaultFrequencyIntervals) {
    // Values of the X fields: min 1, max 1001 (a range of 1000): pad 100, width (1001 + 100 - 1) / 10 = 110.
    AddTable(db, "Range", {{"A", dbDouble}, {"B", dbDouble}});
    db->Execute("INSERT INTO Range (A, B) VALUES (1, 500)");
    db->Execute("INSERT INTO Range (A, B) VALUES (300, 1001)");
    VarnelloCore eng;
    vtest::BeginRun(eng.Run(), db);
    double start = -1, width = -1;
    // Ten intervals over the nX fields of Range after no group field.
    auto init = [&](bool roundWidth, bool lowerIncluded, const FieldList& f, std::int16_t nX) {
        return CFrequency::DescFreqInit_ZUR(eng.Run(), roundWidth, 10, lowerIncluded, "Range", f, 0, nX, start, width);
    };
    FieldList f{"", "A", "B"};
    EXPECT_EQ(init(true, true, f, 2), "");
    EXPECT_DOUBLE_EQ(width, 110);
    EXPECT_DOUBLE_EQ(start, 1);
    EXPECT_EQ(init(true, false, f, 2), "");
    EXPECT_DOUBLE_EQ(start, -99);

    // A small range: 0.1 .. 0.4 gives L = log10(0.3) < 0, pad 10^(L-2) = 0.003,
    // width (0.303)/10 = 0.0303 → rounded up to two digits 0.031, or 1 without rounding.
    db->Execute("DELETE * FROM Range");
    db->Execute("INSERT INTO Range (A) VALUES (0.1)");
    db->Execute("INSERT INTO Range (A) VALUES (0.4)");
    FieldList one{"", "A"};
    EXPECT_EQ(init(true, true, one, 1), "");
    EXPECT_DOUBLE_EQ(width, 0.031);
    EXPECT_EQ(init(false, true, one, 1), "");
    EXPECT_DOUBLE_EQ(width, 1);
    // Under rule "Low" the query skips the values below the bound.
    eng.Run().SetMissingRule("Low");
    eng.Run().SetMissingLowValue(0.2);
    EXPECT_EQ(init(false, true, one, 1), "");
    EXPECT_DOUBLE_EQ(start, 0.4);
    eng.Run().SetMissingRule("");
    db->Execute("DELETE * FROM Range");
    EXPECT_EQ(init(false, true, one, 1), "No data found");
}

TEST_F(EngineTest, RoundedDefaultWidthOnConstantDataIsOne) {
    AddTable(db, "Const", {{"A", dbDouble}});
    db->Execute("INSERT INTO Const (A) VALUES (7)");
    db->Execute("INSERT INTO Const (A) VALUES (7)");
    VarnelloCore eng;
    vtest::BeginRun(eng.Run(), db);
    double start = 0, width = 0;
    EXPECT_EQ(CFrequency::DescFreqInit_ZUR(eng.Run(), true, 5, false, "Const", FieldList{"", "A"}, 0, 1, start, width), "");
    EXPECT_EQ(width, 1);
    // With the upper border included the first interval, (6, 7], holds the values.
    EXPECT_EQ(start, 6);
}

TEST_F(EngineTest, SwitchStringsOfTheOtherRunners) {
    struct Case {
        const char* type;
        const char* group;
        std::vector<std::pair<std::string, Variant>> options;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"Compare", "P", {{"CountXY", Variant(true)}, {"MeanXY", Variant(false)}, {"CorrXY", Variant(true)}, {"TTest", Variant(false)}},
         {{"Sales", "X"}, {"Cost", "Y"}}, "YNYNN"},
        {"Matrix", "P", {{"MCnt", Variant(true)}, {"MProb", Variant(true)}, {"MProbTail", Variant("Two")}},
         {{"Sales", "X"}}, "T:YNNNNNNNY"},
        {"Crosstab", "P", {{"XType", Variant("S")}, {"XRowPCnt", Variant(true)}, {"XChi", Variant(true)}},
         {{"Region", "G"}, {"Sales", "X"}}, "S:YNNNNY"},
        {"Chi-Square", "N", {{"ChiDetail", Variant(true)}, {"ChiIgnoreBlanks", Variant(true)}, {"ChiAll", Variant(false)}},
         {{"Region", "C"}}, "detail keep=N all=N"},
        {"K-S Fit", "N", {{"FitUniform", Variant(false)}, {"FitNormal", Variant(true)}, {"FitPoisson", Variant(false)}, {"SignMean", Variant(true)}},
         {{"Sales", "X"}}, "fit 0,1,0 mean=N"},
        // SignValue is an Integer column: 2.5 is stored as 2 (half to even).
        {"Sign Test", "N", {{"SignCustom", Variant(true)}, {"SignValue", Variant(2.5)}}, {{"Sales", "X"}}, "sign custom 2"},
        {"Paired Fields", "N", {{"NPPair_Sign", Variant(false)}, {"NPPair_Wilcoxon", Variant(true)}}, {{"Region", "G"}, {"Sales", "X"}, {"Cost", "Y"}}, "Y at 3, W"},
        {"2 Sample", "N", {{"NPTwoType", Variant("Mann")}}, {{"Region", "C"}, {"Sales", "X"}}, "groups 1 MW KS"},
        {"2 Sample", "N", {{"NPTwoType", Variant("wald")}}, {{"Region", "C"}, {"Sales", "X"}}, "runs 1"},
        {"N Sample", "N", {}, {{"Region", "G"}, {"Cost", "C"}, {"Sales", "X"}}, "groups 2 KW"},
        {"Regression", "P", {{"RegressType", Variant("p")}, {"RPoly", Variant(std::int16_t(3))}, {"RAnova", Variant(true)}},
         {{"Sales", "X"}, {"Cost", "Y"}}, "P order 3 anova"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.type);
        std::int32_t id = store(Spec(c.group, c.type, c.fields, c.options));
        EngineOn eng(db);
        std::string got;
        vtest::AnalysisOf<CompareSettings>(eng, "Compare") = [&](CompareSettings& a, RunContext&) { got = a.Switches; return std::string(); };
        vtest::AnalysisOf<MatrixSettings>(eng, "Matrix") = [&](MatrixSettings& a, RunContext&) { got = a.ProbTail + ":" + a.Switches; return std::string(); };
        vtest::AnalysisOf<XtabSettings>(eng, "Crosstab") = [&](XtabSettings& a, RunContext&) { got = a.CellFunction + ":" + a.Switches; return std::string(); };
        vtest::AnalysisOf<ChiSquareSettings>(eng, "Chi-Square") = [&](ChiSquareSettings& a, RunContext&) {
            got = std::string(a.Detail ? "detail" : "none") + " keep=" + (a.KeepBlanks ? "Y" : "N") + " all=" + (a.AllCategories ? "Y" : "N");
            return std::string();
        };
        vtest::AnalysisOf<SignFitSettings>(eng, {"Sign Test", "K-S Fit"}) = [&](SignFitSettings& a, RunContext&) {
            if (a.Fit)
                got = "fit " + std::to_string(int(a.Distributions[1])) + "," + std::to_string(int(a.Distributions[2])) + "," +
                      std::to_string(int(a.Distributions[3])) + " mean=" + (a.AgainstMean ? "Y" : "N");
            else
                got = std::string("sign ") + (a.AgainstCustom ? "custom " : "") + FormatDouble(a.CustomValue);
            return std::string();
        };
        vtest::AnalysisOf<PairedFieldsSettings>(eng, "Paired Fields") = [&](PairedFieldsSettings& a, RunContext&) {
            got = "Y at " + std::to_string(a.YPosition()) + (a.Wilcoxon ? ", W" : "") + (a.Sign ? ", S" : "");
            return std::string();
        };
        vtest::AnalysisOf<MannKruskalSettings>(eng, {"2 Sample", "N Sample"}) = [&](MannKruskalSettings& a, RunContext&) {
            got = "groups " + std::to_string(a.ComparePosition()) + (a.MannWhitney ? " MW" : "") + (a.KolmogorovSmirnov ? " KS" : "") +
                  (a.KruskalWallis ? " KW" : "");
            return std::string();
        };
        vtest::AnalysisOf<RunsSettings>(eng, "2 Sample") = [&](RunsSettings& a, RunContext&) { got = "runs " + std::to_string(a.ComparePosition()); return std::string(); };
        vtest::AnalysisOf<RegressionSettings>(eng, "Regression") = [&](RegressionSettings& a, RunContext&) {
            got = std::string(1, a.Kind) + " order " + std::to_string(a.PolyOrder) + (a.Anova ? " anova" : "");
            return std::string();
        };
        EXPECT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(EngineTest, DatabasePropertiesFollowTheOwnershipRule) {
    std::string path = tmp.file("scen.db");
    {
        VarnelloCore eng;
        eng.SetScenarioDatabase(path); // opened by the engine
        ASSERT_TRUE(eng.ScenarioDatabase());
        EXPECT_TRUE(eng.ScenarioDatabase()->IsOpen());
    }
    // The client's database is never closed by the engine.
    {
        EngineOn eng(db);
        std::int32_t id = storeSales("Percentiles");
        Varnello::RunScenarioArgs args;
        args.ScenarioDatabase = Varnello::DatabaseArg(path); // this run only, opened by the engine
        DatabasePtr during;
        vtest::AnalysisOf<PercentileSettings>(eng, "Percentiles") = [&](PercentileSettings&, RunContext&) {
            during = eng.ScenarioDatabase();
            return std::string();
        };
        EXPECT_TRUE(eng.RunScenario(id, args)) << eng.ErrorInfo();
        EXPECT_NE(during, db);
        EXPECT_EQ(eng.ScenarioDatabase(), db); // put back
        EXPECT_TRUE(db->IsOpen());
        ASSERT_TRUE(during);
        EXPECT_TRUE(during->IsOpen());
    }
    EXPECT_TRUE(db->IsOpen()); // after the engine is gone, the client's database is still open
}

TEST_F(EngineTest, ADatabasePropertyRefusesOtherValuesWithTheirTypeNumber) {
    VarnelloCore eng;
    eng.SetSourceDatabase(db);
    try {
        eng.SetSourceDatabase(Variant(std::int16_t(3)));
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.Number(), -2147220504L);
        EXPECT_EQ(e.Description(), "Invalid object type: 2");
    }
    try {
        eng.SetOutputDatabase(Variant(2.5));
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.Description(), "Invalid object type: 5");
    }
    EXPECT_EQ(eng.SourceDatabase(), db); // kept
}

TEST_F(EngineTest, EachRunHasItsOwnTemporaryDatabaseAndLeavesNothingBehind) {
    std::int32_t id = storeSales("Percentiles");
    std::vector<std::string> paths;
    auto entry = [&](PercentileSettings&, RunContext& e) {
        EXPECT_TRUE(e.Quorb_UTIL_MakeTempDB());
        paths.push_back(e.TempDbPath());
        EXPECT_TRUE(std::filesystem::exists(e.TempDbPath()));
        auto td = e.TempDatabase()->CreateTableDef("statTemp1");
        td->Fields().Append(td->CreateField("Data", dbDouble));
        e.TempDatabase()->TableDefs().Append(td);
        return std::string();
    };
    EngineOn a(db), b(db);
    vtest::AnalysisOf<PercentileSettings>(a, "Percentiles") = entry;
    vtest::AnalysisOf<PercentileSettings>(b, "Percentiles") = entry;
    EXPECT_TRUE(a.RunScenario(id));
    EXPECT_TRUE(b.RunScenario(id));
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_NE(paths[0], paths[1]);
    for (const auto& p : paths) {
        EXPECT_EQ(std::filesystem::path(p).filename().string().rfind("vrl", 0), 0u);
        EXPECT_FALSE(std::filesystem::exists(p));
    }
}

TEST_F(EngineTest, AddTableFieldRefusesAColumnNameUsedTwice) {
    auto td = db->CreateTableDef("Out");
    std::int16_t counter = 0;
    AddTableField(td, "DataField", dbText, counter, 20);
    EXPECT_THROW(AddTableField(td, "datafield", dbDouble, counter, 0), RunTimeError);
    EXPECT_EQ(td->Fields().Count(), 1);
    td = db->CreateTableDef("Out2");
    try {
        CreateLeadFields(td, 1, FieldList{"", "Observations"}, {0, dbText}, {0, 10}, true, 0, 0, true, "Count", "Missing");
        FAIL() << "a second Observations column was accepted";
    } catch (const RunTimeError& e) {
        EXPECT_NE(e.Description().find("\"Observations\""), std::string::npos);
    }
}

TEST_F(EngineTest, LeadColumnsGetTheirOrderTypesAndValues) {
    auto td = db->CreateTableDef("Lead");
    FieldList f{"", "Region", "Cost", "Sales", std::string(70, 'p')};
    std::vector<long> types{0, dbText, dbLong, dbDouble, dbInteger};
    std::vector<long> sizes{0, 20, 4, 8, 2};
    std::int16_t next = CreateLeadFields(td, 2, f, types, sizes, true, 0, 4, true, "Count", "Missing");
    EXPECT_EQ(next, 8);
    AddTableField(td, "Mean", dbDouble, next, 0);
    db->TableDefs().Append(td);
    auto back = db->TableDefs()("Lead");
    const char* names[] = {"Region", "Cost", "DataField", nullptr, nullptr, "Count", "Observations", "Missing", "Mean"};
    for (int i = 0; i < 9; ++i) {
        if (names[i]) {
            EXPECT_EQ(back->Fields()(i)->Name(), names[i]);
        }
        EXPECT_EQ(back->Fields()(i)->OrdinalPosition(), i);
    }
    EXPECT_EQ(back->Fields()(3)->Name(), std::string(62, 'p') + "-1");
    EXPECT_EQ(back->Fields()(4)->Name(), std::string(62, 'p') + "-2");
    EXPECT_EQ(back->Fields()("DataField")->Size(), 64);
    EXPECT_EQ(back->Fields()("Missing")->Type(), dbLong);

    auto rs = db->OpenRecordset("Lead", dbOpenDynaset);
    rs->AddNew();
    WriteLeadFields(*rs, 2, f, {Variant(), Variant("north"), Variant::Null()}, 3, "Count", "Missing", true, 4.5, 10, 7, 4,
                    Variant(std::int16_t(1)), Variant(std::int16_t(2)));
    rs->Fields("Mean")->SetValue(1.25);
    rs->Update();
    auto r = db->OpenRecordset("SELECT * FROM Lead", dbOpenSnapshot);
    EXPECT_EQ(r->Fields("Region")->Value().ToString(), "north");
    EXPECT_TRUE(r->Fields("Cost")->Value().IsNull()); // a Null group value is not written
    EXPECT_EQ(r->Fields("DataField")->Value().ToString(), "Sales");
    EXPECT_EQ(r->Fields("Count")->Value().ToDouble(), 4.5);
    EXPECT_EQ(r->Fields("Observations")->Value().ToDouble(), 7);
    EXPECT_EQ(r->Fields("Missing")->Value().ToLong(), 3);
}

// The lead columns found once for one output recordset must not be used for
// the next: rows written by turns into two tables each land in their own.
TEST_F(EngineTest, LeadColumnsFoundForOneRecordsetWroteIntoAnother) {
    FieldList f{"", "Region", "Sales"};
    std::vector<long> types{0, dbText, dbDouble};
    std::vector<long> sizes{0, 20, 8};
    for (const char* name : {"LeadA", "LeadB"}) {
        auto td = db->CreateTableDef(name);
        std::int16_t next = CreateLeadFields(td, 1, f, types, sizes, true, 0, 0, false, "Count", "");
        if (std::string(name) == "LeadB") AddTableField(td, "Extra", dbDouble, next, 0);
        db->TableDefs().Append(td);
    }
    auto a = db->OpenRecordset("LeadA", dbOpenDynaset), b = db->OpenRecordset("LeadB", dbOpenDynaset);
    const struct {
        const char* table;
        const char* region;
        double count;
    } rows[] = {{"LeadA", "north", 1}, {"LeadB", "south", 2}, {"LeadA", "east", 3}, {"LeadB", "west", 4}};
    LeadColumns lead;
    for (const auto& r : rows) {
        const dao::RecordsetPtr& rs = std::string(r.table) == "LeadA" ? a : b;
        rs->AddNew();
        lead.Write(rs, 1, f, {Variant(), Variant(r.region)}, 2, "Count", "", false, r.count, 0, 0, 0, Variant::Null(),
                   Variant::Null());
        rs->Update();
    }
    for (const auto& r : rows) {
        auto back = db->OpenRecordset(std::string("SELECT * FROM ") + r.table + " WHERE Count = " +
                                          std::to_string(static_cast<int>(r.count)),
                                      dbOpenSnapshot);
        ASSERT_FALSE(back->EOF_()) << r.table << " " << r.region;
        EXPECT_EQ(back->Fields("Region")->Value().ToString(), r.region);
        EXPECT_EQ(back->Fields("DataField")->Value().ToString(), "Sales");
    }
}

TEST_F(EngineTest, ARecordPassWithoutAnOpenInputRecordsetFailsTheRunInsteadOfCrashing) {
    // An analysis that goes on to read its input though no data service
    // opened it gets run-time error 91, and the run fails with it.
    std::int32_t id = storeSales("Percentiles");
    EngineOn eng(db);
    vtest::AnalysisOf<PercentileSettings>(eng, "Percentiles") = [](PercentileSettings&, RunContext& e) {
        ProcGuard proc(gEngineErr, "Quorb_Percentile");
        try {
            e.InputRecordset()->MoveNext();
        } catch (...) {
            proc.HandleError();
        }
        return std::string();
    };
    EXPECT_FALSE(eng.RunScenario(id));
    EXPECT_NE(eng.ErrorInfo().find("Unexpected error number: 91"), std::string::npos) << eng.ErrorInfo();
}

TEST(RoundUpToTwoDigits, RaisesAWidthToTwoSignificantDigitsAtAnyMagnitude) {
    // The expected widths are the decimal texts themselves, read as doubles.
    const struct { double width; const char* expected; const char* why; } cases[] = {
        {0.0345, "0.035", "a third digit raises the second"},
        {0.123, "0.13", "three digits"},
        {0.5, "0.5", "one digit stays"},
        {0.05, "0.05", "exactly two digits stay"},
        {0.0303, "0.031", "a zero second digit"},
        {0.099, "0.099", "two nines stay"},
        {0.0991, "0.1", "two nines raised carry into the next power"},
        {8.08e-31, "8.1e-31", "below the decimal type's 28 places"},
        {3.0277e-300, "3.1e-300", "near the bottom of the normal range"},
        {1.23e-310, "1.3e-310", "below the normal range"},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundUpToTwoDigits(c.width), std::strtod(c.expected, nullptr)) << c.why;
}

TEST_F(EngineTest, CommonFieldTypeOfARunOfFields) {
    struct Case { std::vector<long> types, sizes; long type, size; };
    const Case cases[] = {
        {{0, dbText, dbLong}, {0, 10, 4}, dbText, 25},
        {{0, dbText, dbLong}, {0, 30, 4}, dbText, 30},
        {{0, dbText, dbDouble}, {0, 20, 8}, dbText, 20},
        {{0, dbText, dbText}, {0, 10, 15}, dbText, 15},
        {{0, dbLong, dbLong}, {0, 4, 4}, dbLong, 0},
        {{0, dbLong, dbDouble}, {0, 4, 8}, dbText, 25},
    };
    for (const auto& c : cases) {
        long type = -1, size = -1;
        CommonFieldType(0, 2, c.types, c.sizes, type, size);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.size);
    }
    long type = -1, size = -1;
    CommonFieldType(0, 0, {0}, {0}, type, size);
    EXPECT_EQ(type, dbText);
    EXPECT_EQ(size, 25);
}

TEST_F(EngineTest, EmptyTableNeverClosesTheCallersDatabase) {
    VarnelloCore eng;
    eng.SetOutputDatabase(db);
    AddTable(db, "Small", {{"V", dbLong}});
    for (int i = 0; i < 5; ++i) db->Execute("INSERT INTO Small (V) VALUES (" + std::to_string(i) + ")");
    eng.Run().Quorb_EmptyTable(false, "Small", 5, db); // row by row below 100 rows
    EXPECT_EQ(eng.ErrHandler()->ErrNumber(), 0) << eng.ErrHandler()->ErrDescription();
    EXPECT_TRUE(db->IsOpen());
    EXPECT_EQ(db->TableDefs()("Small")->RecordCount(), 0);
    for (int i = 0; i < 120; ++i) db->Execute("INSERT INTO Small (V) VALUES (" + std::to_string(i) + ")");
    eng.Run().Quorb_EmptyTable(false, "Small", 120, db); // one statement at 100 rows and more
    EXPECT_EQ(db->TableDefs()("Small")->RecordCount(), 0);
}

TEST_F(EngineTest, NamesFromScenarioRowsCannotChangeTheStatement) {
    // A table name that tries to close the bracket and add SQL of its own.
    vtest::ScenarioSpec s = Spec("P", "Percentiles", {{"Sales", "X"}});
    s.inputTable = "Data] WHERE 1=1; DROP TABLE [Data";
    std::int32_t id = store(s);
    EngineOn eng(db);
    vtest::AnalysisOf<PercentileSettings>(eng, "Percentiles") = [](PercentileSettings& a, RunContext& e) {
        std::vector<long> t, z;
        return e.Quorb_InitDataTable(a.Table, a.fields, a.nG, t, z);
    };
    EXPECT_FALSE(eng.RunScenario(id));
    EXPECT_TRUE(db->TableDefs().Find("Data")); // untouched
    // A field name with blanks and quotes is an ordinary name.
    AddTable(db, "Odd", {{"Sales 'in' \"EUR\"", dbDouble}});
    db->Execute("INSERT INTO Odd VALUES (1.5)");
    RunContext e2;
    vtest::BeginRun(e2, db);
    std::vector<long> types, sizes;
    EXPECT_EQ(e2.Quorb_InitDataTable("Odd", FieldList{"", "Sales 'in' \"EUR\""}, 0, types, sizes), "");
    EXPECT_EQ(e2.DataRecordset()->Fields(0)->Value().ToDouble(), 1.5);
}

// A work table statTemp1 (Data, Weight, Rank) in a fresh database.
class RankingAndVariance : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        db = DBEngine().CreateDatabase(tmp.file("r.db"), dbLangGeneral);
        AddTable(db, "statTemp1", {{"Data", dbDouble}, {"Weight", dbDouble}, {"Rank", dbDouble}});
    }
    void TearDown() override { DBEngine().Reset(); }
    void insert(double value, double weight) {
        db->Execute("INSERT INTO statTemp1 (Data, Weight) VALUES (" + FormatDoubleRoundTrip(value) + ", " +
                    FormatDoubleRoundTrip(weight) + ")");
    }

    vtest::TempDir tmp;
    DatabasePtr db;
};

TEST_F(RankingAndVariance, RanksWithTiesAgainstHandRankedData) {
    struct Case {
        std::vector<std::pair<double, double>> rows; // value, weight (sorted by value)
        std::vector<double> ranks;
        double obs, cube, groups, k1, k2, k3;
    };
    const Case cases[] = {
        {{{3, 1}, {5, 1}, {5, 1}, {8, 1}}, {1, 2.5, 2.5, 4}, 2, 6, 1, 2, 0, 18},
        {{{1, 1}, {1, 1}, {1, 1}}, {2, 2, 2}, 3, 24, 1, 6, 6, 66},
        {{{4, 2}, {7, 1}}, {1.5, 3}, 2, 6, 1, 2, 0, 18},
        {{{9, 1}}, {1}, 0, 0, 0, 0, 0, 0},
        {{{2, 3}}, {2}, 3, 24, 1, 6, 6, 66},
    };
    for (const auto& c : cases) {
        db->Execute("DELETE * FROM statTemp1");
        for (const auto& [v, w] : c.rows) insert(v, w);
        auto rs = db->OpenRecordset("SELECT * FROM statTemp1 ORDER BY Data");
        double obs, cube, groups, k1, k2, k3;
        RankWithTies(*rs, true, "Data", "Rank", obs, cube, groups, k1, k2, k3);
        std::vector<double> ranks;
        auto check = db->OpenRecordset("SELECT Rank FROM statTemp1 ORDER BY Data, Rank", dbOpenSnapshot);
        for (; !check->EOF_(); check->MoveNext()) ranks.push_back(check->Fields(0)->Value().ToDouble());
        EXPECT_EQ(ranks, c.ranks);
        EXPECT_EQ(obs, c.obs);
        EXPECT_EQ(cube, c.cube);
        EXPECT_EQ(groups, c.groups);
        EXPECT_EQ(k1, c.k1);
        EXPECT_EQ(k2, c.k2);
        EXPECT_EQ(k3, c.k3);
    }
}

TEST_F(RankingAndVariance, RankSumsDoNotOverflowAndWeightsBelowOneAreReported) {
    // One tied run of weight 100000 after a record of weight 40000: (2p + W - 1)·W
    // = (2·40001 + 99999)·100000 ≈ 1.8e10, past 2^31.
    insert(1, 40000);
    insert(2, 100000);
    auto rs = db->OpenRecordset("SELECT * FROM statTemp1 ORDER BY Data");
    double a, b, c, d, e, f;
    RankWithTies(*rs, false, "Data", "Rank", a, b, c, d, e, f);
    auto check = db->OpenRecordset("SELECT Rank FROM statTemp1 ORDER BY Data", dbOpenSnapshot);
    EXPECT_DOUBLE_EQ(check->Fields(0)->Value().ToDouble(), 20000.5); // positions 1 .. 40000
    check->MoveNext();
    EXPECT_DOUBLE_EQ(check->Fields(0)->Value().ToDouble(), 90000.5); // positions 40001 .. 140000

    db->Execute("DELETE * FROM statTemp1");
    insert(1, 0.5);
    auto rs2 = db->OpenRecordset("SELECT * FROM statTemp1 ORDER BY Data");
    EXPECT_THROW(RankWithTies(*rs2, false, "Data", "Rank", a, b, c, d, e, f), RunTimeError);
}

TEST_F(RankingAndVariance, CalcVarianceCases) {
    struct Case { const char* method; double n, ss, s, var, sd; };
    const Case cases[] = {
        {"N", 0, 0, 0, 0, 0},         {"N-1", 1, 9, 3, 0, 0},          {"N", 1, 9, 3, 0, 0},
        {"N", 2, 20, 6, 1, 1},        {"N-1", 2, 20, 6, 2, std::sqrt(2.0)}, {"n", 2, 20, 6, 2, std::sqrt(2.0)},
    };
    for (const auto& c : cases) {
        double var = -1;
        double sd = CalcVariance(c.method, c.n, c.ss, c.s, var);
        EXPECT_DOUBLE_EQ(var, c.var) << c.method << " n=" << c.n;
        EXPECT_DOUBLE_EQ(sd, c.sd) << c.method << " n=" << c.n;
    }
}

} // namespace
