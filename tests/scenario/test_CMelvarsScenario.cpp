// The engine's scenario record: its 83 properties and its field collection.
#include "scenario/CMelvarsScenario.h"
#include "support/RunTimeErrorOf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

std::string repr(const dao::Variant& v) {
    if (v.IsEmpty()) return "V:Empty";
    if (v.IsNull()) return "V:Null";
    return "V:" + v.ToString();
}

// One property: how to read it as a tagged text, how to give it a value that
// differs from its initial one, and what it then reads.
struct Prop {
    const char* name;
    std::function<std::string(const CMelvarsScenario&)> get;
    std::function<void(CMelvarsScenario&)> set;
    std::string afterSet;
    std::string initial;
};

std::string showText(const std::string& v) { return "S:" + v; }
std::string showBool(bool v) { return v ? "B:True" : "B:False"; }
std::string showInt(std::int16_t v) { return "I:" + std::to_string(v); }
std::string showDouble(double v) { return "D:" + dao::FormatDouble(v); }

// Property P of type T, read through show(); set to `value` it reads `after`.
#define PROP(P, T, show, value, after, initial)                            \
    Prop{#P,                                                               \
         [](const CMelvarsScenario& s) {                                   \
             static_assert(std::is_same_v<decltype(s.P()), T>);            \
             return show(s.P());                                           \
         },                                                                \
         [](CMelvarsScenario& s) { s.Set##P(value); }, after, initial}
#define STR(P) PROP(P, std::string, showText, "x" #P, "S:x" #P, "S:")
#define VAR(P) PROP(P, dao::Variant, repr, dao::Variant(3.25), "V:3.25", "V:Empty")
#define BOOL(P) PROP(P, bool, showBool, true, "B:True", "B:False")
#define INT(P) PROP(P, std::int16_t, showInt, std::int16_t(-32768), "I:-32768", "I:0")
#define DBL(P) PROP(P, double, showDouble, -0.125, "D:-0.125", "D:0")

// The properties with the types the stored scenario gives them.
std::vector<Prop> allProps() {
    std::vector<Prop> p = {
        STR(Scenario_Description), STR(CalcType), STR(Table), STR(OutputTable1), STR(OutputTable2),
        STR(MissingType), VAR(MissingEqual), VAR(MissingLow), VAR(MissingHigh), STR(Scenario_Version),
        BOOL(CI), BOOL(CI95), BOOL(FreqN), BOOL(FreqP), BOOL(Mean), BOOL(Mode), BOOL(Percentile),
        BOOL(Range), BOOL(Skew), BOOL(Sum), BOOL(TTestMean), BOOL(VarStd), BOOL(FreqSum), STR(FreqType),
        BOOL(CountXY), BOOL(MeanXY), BOOL(CorrXY), BOOL(TTest), BOOL(MCnt), BOOL(MMis), BOOL(MMean),
        BOOL(MDev), BOOL(MCov), BOOL(MCor), BOOL(MR2), BOOL(MT), BOOL(MProb), BOOL(RAnova), BOOL(Residual),
        BOOL(RYInt), BOOL(XRowPCnt), BOOL(XColPcnt), BOOL(XTotPcnt), BOOL(XExpectPcnt), BOOL(XExpect),
        BOOL(XChi), BOOL(Chi), BOOL(ChiAll), BOOL(ChiIgnoreBlanks), BOOL(ChiDetail), VAR(CIStdDev),
        VAR(FreqInit), VAR(FreqWidth), DBL(TTestValue), STR(CITypeRadio), STR(FreqDispRadio),
        STR(FreqGroupRadio), STR(FreqIncRadio), STR(PercentileRadio), STR(VarNRadio), STR(MProbTail),
        STR(RegressType), STR(XType), VAR(CIUser), INT(InterV), INT(RPoly), BOOL(FitUniform),
        BOOL(FitNormal), BOOL(FitPoisson), BOOL(SignMean), BOOL(SignMedian), BOOL(SignCustom),
        VAR(SignValue), BOOL(NPPair_Sign), BOOL(NPPair_Wilcoxon), BOOL(NPPair_Spearman), BOOL(NPPair_Tau),
        BOOL(NPFriedmanDetail), BOOL(NPKruskalDetail), STR(NPTwoType), BOOL(GroupIgnoreBlanks),
        BOOL(GroupDetail)};
    // Scenario_Type keeps only "P", "G" or "N".
    p.insert(p.begin() + 1, PROP(Scenario_Type, std::string, showText, "N", "S:N", "S:"));
    return p;
}

TEST(CMelvarsScenario, HasEightyThreeProperties) { EXPECT_EQ(allProps().size(), 83u); }

TEST(CMelvarsScenario, ANewRecordHoldsTheInitialValueOfEachType) {
    CMelvarsScenario s;
    for (const auto& p : allProps()) EXPECT_EQ(p.get(s), p.initial) << p.name;
}

TEST(CMelvarsScenario, EachLetStoresIntoItsOwnPropertyOnly) {
    const auto props = allProps();
    for (std::size_t i = 0; i < props.size(); ++i) {
        CMelvarsScenario s;
        props[i].set(s);
        for (std::size_t j = 0; j < props.size(); ++j)
            EXPECT_EQ(props[j].get(s), j == i ? props[i].afterSet : props[j].initial)
                << "set " << props[i].name << ", read " << props[j].name;
    }
}

TEST(CMelvarsScenario, ScenarioTypeKeepsOnlyExactGroupLetters) {
    struct Case {
        const char* value;
        const char* expected; // after setting it on a new record
    };
    const Case cases[] = {{"P", "P"}, {"G", "G"}, {"N", "N"}, {"p", ""}, {"g", ""}, {"n", ""},
                          {"X", ""},  {"", ""},   {"PG", ""}, {" P", ""}, {"P ", ""}};
    for (const auto& c : cases) {
        CMelvarsScenario s;
        s.SetScenario_Type(c.value);
        EXPECT_EQ(s.Scenario_Type(), c.expected) << '"' << c.value << '"';
    }
    // A refused value leaves the one stored before.
    for (const char* refused : {"X", "g", ""}) {
        CMelvarsScenario s;
        s.SetScenario_Type("G");
        s.SetScenario_Type(refused);
        EXPECT_EQ(s.Scenario_Type(), "G") << refused;
    }
}

TEST(CMelvarsScenario, VariantPropertiesTellEmptyNullAndZeroApart) {
    CMelvarsScenario s;
    EXPECT_TRUE(s.MissingLow().IsEmpty());
    EXPECT_FALSE(s.MissingLow().IsNull());
    EXPECT_EQ(s.MissingLow().Type(), dao::vbEmpty);
    s.SetMissingLow(dao::Variant::Null());
    EXPECT_TRUE(s.MissingLow().IsNull());
    s.SetMissingHigh(0.0);
    EXPECT_EQ(s.MissingHigh().Type(), dao::vbDouble);
    EXPECT_EQ(s.MissingHigh().ToDouble(), 0.0);
    s.SetSignValue(std::int16_t(12));
    EXPECT_EQ(s.SignValue().Type(), dao::vbInteger);
    EXPECT_EQ(s.SignValue().ToLong(), 12);
    // Texts are stored untouched.
    s.SetTable("  My Table  ");
    EXPECT_EQ(s.Table(), "  My Table  ");
}

// ---- the field collection ---------------------------------------------------

std::vector<std::string> names(const CMelvarsScenario& s) {
    std::vector<std::string> out;
    for (const CMelvarsScenarioField& f : s) out.push_back(f.Field_Name() + "/" + f.Choice());
    return out;
}


TEST(CMelvarsScenarioFields, ANewRecordHasNoFields) {
    CMelvarsScenario s;
    EXPECT_EQ(s.FieldCount(), 0);
    EXPECT_TRUE(names(s).empty());
}

TEST(CMelvarsScenarioFields, ANewFieldStartsEmpty) {
    CMelvarsScenarioField f;
    EXPECT_EQ(f.Field_Name(), "");
    EXPECT_EQ(f.Choice(), "");
    f.SetChoice("w");
    f.SetField_Name(" x ");
    EXPECT_EQ(f.Choice(), "w");
    EXPECT_EQ(f.Field_Name(), " x ");
}

TEST(CMelvarsScenarioFields, AddFieldStoresNameAndChoiceAndReturnsTheEntry) {
    CMelvarsScenario s;
    auto f = s.AddField("Sales", "X");
    EXPECT_EQ(f->Field_Name(), "Sales");
    EXPECT_EQ(f->Choice(), "X");
    EXPECT_EQ(s.Item(1).get(), f.get());
    f->SetChoice("Y");
    EXPECT_EQ(s.Item(1)->Choice(), "Y");
}

TEST(CMelvarsScenarioFields, SameNameWithoutKeysAddsTwoEntriesInOrder) {
    CMelvarsScenario s;
    s.AddField("A", "X", "");
    s.AddField("A", "Y", "");
    EXPECT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(names(s), (std::vector<std::string>{"A/X", "A/Y"}));
}

TEST(CMelvarsScenarioFields, AKeyInUseIsRefusedWithoutRegardToCase) {
    CMelvarsScenario s;
    s.AddField("A", "G", "key");
    try {
        s.AddField("B", "X", "KEY");
        FAIL() << "a second entry under the same key was accepted";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.Number(), 457);
        EXPECT_EQ(e.Description(), "This key is already associated with an element of this collection");
    }
    EXPECT_EQ(s.FieldCount(), 1);
    EXPECT_EQ(names(s), (std::vector<std::string>{"A/G"}));
}

TEST(CMelvarsScenarioFields, ItemByPositionAndByKey) {
    CMelvarsScenario s;
    s.AddField("A", "G", "ga");
    s.AddField("B", "X");
    s.AddField("C", "Y", "yc");
    EXPECT_EQ(s.Item(2)->Field_Name(), "B");
    EXPECT_EQ(s.Item("YC")->Field_Name(), "C");
    EXPECT_EQ(s.Item(std::string("ga"))->Field_Name(), "A");
    // A Variant is a key when it is text and a position otherwise
    // (numbers round half to even).
    struct Case {
        dao::Variant index;
        const char* expected;
    };
    const Case cases[] = {{dao::Variant(3), "C"},       {dao::Variant(std::int16_t(1)), "A"},
                          {dao::Variant(2.0), "B"},     {dao::Variant(1.5), "B"},
                          {dao::Variant(2.5), "B"},     {dao::Variant(2.51), "C"},
                          {dao::Variant("Ga"), "A"},    {dao::Variant(true), ""}};
    for (const auto& c : cases) {
        if (*c.expected) {
            EXPECT_EQ(s.Item(c.index)->Field_Name(), c.expected) << c.index.ToString();
        } else {
            // True is -1: no such position
            EXPECT_EQ(vtest::RunTimeErrorNumberOf([&] { s.Item(c.index); }), 9);
        }
    }
}

TEST(CMelvarsScenarioFields, BadPositionsAndKeysFailAndChangeNothing) {
    CMelvarsScenario s;
    s.AddField("A", "G", "ga");
    s.AddField("B", "X");
    struct Case {
        const char* what;
        std::function<void()> call;
        long error;
    };
    const Case cases[] = {
        {"Item(0)", [&] { s.Item(0); }, 9},
        {"Item(3)", [&] { s.Item(3); }, 9},
        {"Item(-1)", [&] { s.Item(-1); }, 9},
        {"Item(\"gb\")", [&] { s.Item("gb"); }, 5},
        {"Item(\"\")", [&] { s.Item(""); }, 5},
        {"Item(Empty)", [&] { s.Item(dao::Variant()); }, 9},
        {"Item(Null)", [&] { s.Item(dao::Variant::Null()); }, 5},
        {"Remove(0)", [&] { s.Remove(0); }, 9},
        {"Remove(3)", [&] { s.Remove(3); }, 9},
        {"Remove(\"x\")", [&] { s.Remove("x"); }, 5},
        {"Remove(Variant 7)", [&] { s.Remove(dao::Variant(7)); }, 9},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vtest::RunTimeErrorNumberOf(c.call), c.error) << c.what;
        EXPECT_EQ(names(s), (std::vector<std::string>{"A/G", "B/X"})) << c.what;
    }
}

TEST(CMelvarsScenarioFields, RemoveMovesLaterEntriesUp) {
    CMelvarsScenario s;
    s.AddField("first", "G");
    s.AddField("second", "X", "k2");
    s.AddField("third", "Y");
    s.Remove(1);
    EXPECT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(s.Item(1)->Field_Name(), "second");
    s.Remove("K2");
    EXPECT_EQ(names(s), (std::vector<std::string>{"third/Y"}));
    // The key of a removed entry is free again.
    s.AddField("again", "W", "k2");
    EXPECT_EQ(s.Item("k2")->Field_Name(), "again");
    s.Remove(dao::Variant(1));
    EXPECT_EQ(names(s), (std::vector<std::string>{"again/W"}));
}

TEST(CMelvarsScenarioFields, AFieldHeldByTheCallerOutlivesItsRemoval) {
    CMelvarsScenario::FieldPtr held;
    {
        CMelvarsScenario s;
        held = s.AddField("kept", "C");
        s.Remove(1);
        EXPECT_EQ(s.FieldCount(), 0);
    }
    EXPECT_EQ(held->Field_Name(), "kept");
}

} // namespace
