#pragma once
// The one list of a scenario's properties. Everything that knows a scenario
// option by name is made from VARNELLO_SCENARIO_OPTIONS: the record's
// accessors (CMelvarsScenario), the columns of usysQuorbOptions
// (ScenarioTables.cpp), the values of a new scenario and the save routine
// (ScenarioSave.cpp), the reading of a stored options row by the engine and
// the application (ScenarioOptions.cpp), and the designer's properties
// (CMelvarsPropWiz). A new option is one line here.
//
// Each macro calls X once per property, in the order of the columns of the
// stored table (which is also the order in which a save writes them).
#include "db/Variant.h"

#include <cstdint>
#include <string>
#include <type_traits>

// The value types of the properties. A Variant property mirrors a numeric
// column that may be Null: it holds Null or a number (and is Empty until it
// is set).
enum class OptionKind { Text, Boolean, Integer, Double, Variant };

template <OptionKind K>
struct OptionKindTraits;
template <>
struct OptionKindTraits<OptionKind::Text> {
    using type = std::string;
};
template <>
struct OptionKindTraits<OptionKind::Boolean> {
    using type = bool;
};
template <>
struct OptionKindTraits<OptionKind::Integer> {
    using type = std::int16_t;
};
template <>
struct OptionKindTraits<OptionKind::Double> {
    using type = double;
};
template <>
struct OptionKindTraits<OptionKind::Variant> {
    using type = dao::Variant;
};
// The C++ type of a property of that kind.
template <OptionKind K>
using PropertyType = typename OptionKindTraits<K>::type;

// Which readers of a stored options row fill the property: Run (the engine's
// run and the designer) or Designer (the designer only, which carries the
// value through to the next save; a run keeps the record's initial value).
enum class OptionReader { Run, Designer };

// The properties of the scenario row that are not options:
//   X(property, kind)
// Scenario_Type is not listed: its setter keeps only "P", "G" or "N" and is
// written out in CMelvarsScenario.
#define VARNELLO_SCENARIO_HEADER(X) \
    X(Scenario_Description, Text)   \
    X(CalcType, Text)               \
    X(Table, Text)                  \
    X(OutputTable1, Text)           \
    X(OutputTable2, Text)           \
    X(MissingType, Text)            \
    X(MissingEqual, Variant)        \
    X(MissingLow, Variant)          \
    X(MissingHigh, Variant)         \
    X(Scenario_Version, Text)

// The options, one per column of usysQuorbOptions after Scenario_ID:
//   X(property, kind, value of a new scenario, column, column type, size,
//     column default, validation rule, description, reader)
// - value of a new scenario: what the designer starts a new scenario with
//   ({}: the initial value of the kind: "", False, 0, Empty);
// - column type: the database's field type (Boolean, Integer, Double, Text);
//   every Text column refuses the empty text;
// - column default: the column's DefaultValue text (nullptr: none);
// - validation rule: NoRule, or Rule(rule, text);
// - description: the column's "Description" property (nullptr: none).
// clang-format off
#define VARNELLO_SCENARIO_OPTIONS(X) \
    X(Range,             Boolean, true,      "Range",             Boolean, 1,  "True",    NoRule, "Describe: Range", Run) \
    X(VarStd,            Boolean, true,      "VarStd",            Boolean, 1,  "True",    NoRule, "Describe: Stanard deviation, variance", Run) \
    X(VarNRadio,         Text,    "N-1",     "VarNRadio",         Text,    3,  "N-1",     NoRule, "Describe: N or N-1 Method", Run) \
    X(Mean,              Boolean, {},        "Mean",              Boolean, 1,  "False",   NoRule, "Describe: Harmonic, Geometric, RMS", Run) \
    X(Skew,              Boolean, {},        "Skew",              Boolean, 1,  "False",   NoRule, "Describe: Skewness, Kurtosis", Run) \
    X(Sum,               Boolean, true,      "Sum",               Boolean, 1,  "True",    NoRule, "Describe: Sum, Sum Squared", Run) \
    X(Mode,              Boolean, {},        "Mode",              Boolean, 1,  "False",   NoRule, "Describe: Mode, Mode Count", Run) \
    X(CI,                Boolean, {},        "CI",                Boolean, 1,  "False",   NoRule, "Describe: Confidence Intervals", Run) \
    X(CITypeRadio,       Text,    "t-Test",  "CITypeRadio",       Text,    7,  "t-Test",  NoRule, "Describe: t-Test or Normal CI method", Run) \
    X(CIStdDev,          Variant, {},        "CIStdDev",          Double,  8,  nullptr,   NoRule, "Describe: std. dev. for Normal calc", Run) \
    X(CI95,              Boolean, true,      "CI95",              Boolean, 1,  "True",    NoRule, "Describe: CI 95% option", Run) \
    X(CIUser,            Variant, {},        "CIUser",            Integer, 2,  nullptr,   NoRule, "Describe: CI User % option", Run) \
    X(TTestMean,         Boolean, {},        "TTestMean",         Boolean, 1,  "False",   NoRule, "Describe: t-Test vs. Mean", Run) \
    X(TTestValue,        Double,  {},        "TTestValue",        Double,  8,  nullptr,   NoRule, "Describe: t-Test vs. Mean value to test", Run) \
    X(Percentile,        Boolean, {},        "Percentile",        Boolean, 1,  "False",   NoRule, "Describe: Percentile", Run) \
    X(PercentileRadio,   Text,    "Median",  "PercentileRadio",   Text,    11, "Median",  NoRule, "Percentile type: Median, Quartiles, etc.", Run) \
    X(FreqN,             Boolean, {},        "FreqN",             Boolean, 1,  "False",   NoRule, "Describe: Frequency Count", Run) \
    X(FreqP,             Boolean, {},        "FreqP",             Boolean, 1,  "False",   NoRule, "Describe: Frequency Percent", Run) \
    X(InterV,            Integer, 10,        "InterV",            Integer, 2,  "10",      NoRule, "Frequency: Number of intervals", Run) \
    X(FreqIncRadio,      Text,    "Lower",   "FreqIncRadio",      Text,    11, "Lower",   NoRule, "Frequency: Include border in lower or upper range", Run) \
    X(FreqDispRadio,     Text,    "Count",   "FreqDispRadio",     Text,    10, "Count",   NoRule, "Frequency: Count or cumulative", Run) \
    X(FreqGroupRadio,    Text,    "Default", "FreqGroupRadio",    Text,    10, "Default", NoRule, "Frequency: Default or specified", Run) \
    X(FreqWidth,         Variant, {},        "FreqWidth",         Double,  8,  nullptr,   Rule("Is Null Or >0", "Interval Width must be greater than zero"), "Frequency: Specified interval width", Run) \
    X(FreqInit,          Variant, {},        "FreqInit",          Double,  8,  nullptr,   NoRule, "Frequency: Specified initial interval value", Run) \
    X(FreqSum,           Boolean, {},        "FreqSum",           Boolean, 1,  nullptr,   NoRule, "Frequency: Sum intervals", Run) \
    X(FreqType,          Text,    {},        "FreqType",          Text,    1,  nullptr,   NoRule, nullptr, Designer) \
    X(CountXY,           Boolean, true,      "CountXY",           Boolean, 1,  "True",    NoRule, "Compare: Count", Run) \
    X(MeanXY,            Boolean, true,      "MeanXY",            Boolean, 1,  "True",    NoRule, "Compare: Mean X-Y", Run) \
    X(CorrXY,            Boolean, true,      "CorrXY",            Boolean, 1,  "True",    NoRule, "Compare: Correlation", Run) \
    X(TTest,             Boolean, true,      "TTest",             Boolean, 1,  "True",    NoRule, "Compare: t-Test", Run) \
    X(Chi,               Boolean, {},        "Chi",               Boolean, 1,  "False",   NoRule, "Compare: Chi-Square", Designer) \
    X(MCnt,              Boolean, true,      "MCnt",              Boolean, 1,  "False",   NoRule, "Matrix: Count", Run) \
    X(MMis,              Boolean, {},        "MMis",              Boolean, 1,  "False",   NoRule, "Matrix: Missing", Run) \
    X(MMean,             Boolean, {},        "MMean",             Boolean, 1,  "False",   NoRule, "Matrix: Mean X-Y", Run) \
    X(MDev,              Boolean, {},        "MDev",              Boolean, 1,  "False",   NoRule, "Matrix: Std. Dev X-Y", Run) \
    X(MCov,              Boolean, {},        "MCov",              Boolean, 1,  "False",   NoRule, "Matrix: Covariance", Run) \
    X(MCor,              Boolean, {},        "MCor",              Boolean, 1,  "False",   NoRule, "Matrix: Correlation", Run) \
    X(MR2,               Boolean, {},        "MR2",               Boolean, 1,  "False",   NoRule, "Matrix: R-Square", Run) \
    X(MT,                Boolean, {},        "MT",                Boolean, 1,  "False",   NoRule, "Matrix: t-Test", Run) \
    X(MProb,             Boolean, {},        "MProb",             Boolean, 1,  "False",   NoRule, "Matrix: Probability", Run) \
    X(MProbTail,         Text,    "2-tail",  "MProbTail",         Text,    6,  nullptr,   NoRule, "Matrix: Probability tails", Run) \
    X(RegressType,       Text,    "S",       "RegressType",       Text,    1,  "S",       NoRule, "Regression: Type", Run) \
    X(RPoly,             Integer, 2,         "RPoly",             Integer, 2,  "2",       NoRule, "Regression: Polynomial order", Run) \
    X(RYInt,             Boolean, true,      "RYInt",             Boolean, 1,  "True",    NoRule, "Regression: Y-intercept", Run) \
    X(RAnova,            Boolean, true,      "RANova",            Boolean, 1,  "True",    NoRule, "Regression: ANOVA", Run) \
    X(Residual,          Boolean, {},        "Residual",          Boolean, 1,  "False",   NoRule, "Regression: Residual table", Designer) \
    X(XType,             Text,    "C",       "XType",             Text,    1,  "C",       NoRule, "Crosstab: Type", Run) \
    X(XRowPCnt,          Boolean, {},        "XRowPCnt",          Boolean, 1,  nullptr,   NoRule, "Crosstab: % of row", Run) \
    X(XColPcnt,          Boolean, {},        "XColPcnt",          Boolean, 1,  nullptr,   NoRule, "Crosstab: % of column", Run) \
    X(XTotPcnt,          Boolean, {},        "xTotPcnt",          Boolean, 1,  nullptr,   NoRule, "Crosstab: % of total", Run) \
    X(XExpectPcnt,       Boolean, {},        "xExpectPcnt",       Boolean, 1,  nullptr,   NoRule, "Crosstab: % of expected", Run) \
    X(XExpect,           Boolean, {},        "xExpect",           Boolean, 1,  nullptr,   NoRule, "Crosstab: Expected", Run) \
    X(XChi,              Boolean, {},        "xChi",              Boolean, 1,  nullptr,   NoRule, "Crosstab: Chi-Square", Run) \
    X(GroupIgnoreBlanks, Boolean, {},        "GroupIgnoreBlanks", Boolean, 1,  "False",   NoRule, "Group: Ignore blanks", Run) \
    X(GroupDetail,       Boolean, {},        "GroupDetail",       Boolean, 1,  "False",   NoRule, "Group: Create detail table", Run) \
    X(ChiAll,            Boolean, {},        "ChiAll",            Boolean, 1,  "False",   NoRule, "Chi-Square: All groups use the compare values", Run) \
    X(ChiIgnoreBlanks,   Boolean, {},        "ChiIgnoreBlanks",   Boolean, 1,  "False",   NoRule, "Chi-Square: Ignore blanks", Run) \
    X(ChiDetail,         Boolean, true,      "ChiDetail",         Boolean, 1,  "True",    NoRule, "Chi-Square: Detail table", Run) \
    X(SignMean,          Boolean, true,      "SignMean",          Boolean, 1,  "True",    NoRule, "Sign Test: Mean", Run) \
    X(SignMedian,        Boolean, {},        "SignMedian",        Boolean, 1,  "False",   NoRule, "Sign Test: Median", Run) \
    X(SignCustom,        Boolean, {},        "SignCustom",        Boolean, 1,  "False",   NoRule, "Sign Test: Custom", Run) \
    X(SignValue,         Variant, {},        "SignValue",         Integer, 2,  nullptr,   NoRule, "Sign Test: Custom value", Run) \
    X(FitUniform,        Boolean, true,      "FitUniform",        Boolean, 1,  "True",    NoRule, "K-S Fit: Uniform distribution", Run) \
    X(FitNormal,         Boolean, {},        "FitNormal",         Boolean, 1,  "False",   NoRule, "K-S Fit: Normal distribution", Run) \
    X(FitPoisson,        Boolean, true,      "FitPoisson",        Boolean, 1,  "True",    NoRule, "K-S Fit: Poisson distribution", Run) \
    X(NPPair_Sign,       Boolean, true,      "NPPair_Sign",       Boolean, 1,  "True",    NoRule, "Paired: Sign Test", Run) \
    X(NPPair_Wilcoxon,   Boolean, true,      "NPPair_Wilcoxon",   Boolean, 1,  "True",    NoRule, "Paired: Wilcoxon", Run) \
    X(NPPair_Spearman,   Boolean, true,      "NPPair_Spearman",   Boolean, 1,  "True",    NoRule, "Paired: Spearman", Run) \
    X(NPPair_Tau,        Boolean, {},        "NPPair_Tau",        Boolean, 1,  "False",   NoRule, "Paired: Tau - disabled", Designer) \
    X(NPFriedmanDetail,  Boolean, true,      "NPFriedmanDetail",  Boolean, 1,  "True",    NoRule, "N Fields: Friedman Detail", Run) \
    X(NPTwoType,         Text,    "Mann",    "NPTwoType",         Text,    4,  "Mann",    NoRule, "2 Sample: Wald-Wolfowitz Runs or Mann-Whitney", Run) \
    X(NPKruskalDetail,   Boolean, true,      "NPKruskalDetail",   Boolean, 1,  "True",    NoRule, "N Sample: Kruskal Wallis detail table", Run)
// clang-format on
