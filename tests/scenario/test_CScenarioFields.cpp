// The designer's field collection and the scenario list entry.
#include "scenario/CScenarioFields.h"
#include "scenario/CScenarioInfo.h"
#include "support/RunTimeErrorOf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {


std::vector<std::string> names(const CScenarioFields& c) {
    std::vector<std::string> out;
    for (const CScenarioField& f : c) out.push_back(f.FieldName());
    return out;
}

// A field's four members: name, choice, type and ordinal position.
using Members = std::tuple<std::string, std::string, std::int32_t, std::int32_t>;
Members members(const CScenarioField& f) { return {f.FieldName(), f.Choice(), f.FieldType(), f.OrdinalPosition()}; }

TEST(CScenarioField, StartsEmptyAndStoresAsGiven) {
    CScenarioField f;
    EXPECT_EQ(members(f), (Members{"", "", 0, 0}));
    f.SetFieldName("Sales");
    f.SetChoice("q");
    f.SetFieldType(-4);
    f.SetOrdinalPosition(2147483647);
    EXPECT_EQ(members(f), (Members{"Sales", "q", -4, 2147483647}));
}

TEST(CScenarioFields, ANewCollectionAndAClearedOneCountZero) {
    CScenarioFields c;
    EXPECT_EQ(c.Count(), 0);
    EXPECT_TRUE(names(c).empty());
    auto held = c.Add("A", "X", "7", 1, "a");
    c.Add("B", "", "10", 0, "b");
    EXPECT_EQ(c.Count(), 2);
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_TRUE(names(c).empty());
    // A field the caller still holds stays valid; its key is free again.
    EXPECT_EQ(held->FieldName(), "A");
    c.Add("A2", "Y", "4", 1, "A");
    EXPECT_EQ(c.Item("a")->FieldName(), "A2");
}

TEST(CScenarioFields, AddSetsAllFourMembersAndReturnsTheEntry) {
    CScenarioFields c;
    auto f = c.Add("Region", "G", "10", 3, "k1");
    EXPECT_EQ(members(*f), (Members{"Region", "G", 10, 3}));
    EXPECT_EQ(c.Item(1).get(), f.get());
    EXPECT_EQ(c.Item("K1").get(), f.get());
}

TEST(CScenarioFields, FieldTypeTextConvertsAsALongOrFails) {
    struct Case {
        const char* text;
        long expected; // the stored type, or 0 when error is set
        long error;
    };
    const Case cases[] = {
        {"7", 7, 0},   {" 10 ", 10, 0}, {"-3", -3, 0}, {"4.5", 4, 0}, {"5.5", 6, 0}, {"1e1", 10, 0},
        {"abc", 0, 13}, {"", 0, 13},    {"7x", 0, 13}, {"99999999999", 0, 6},
    };
    CScenarioFields c;
    long count = 0;
    for (const auto& k : cases) {
        std::string key = std::string("key ") + k.text;
        if (k.error == 0) {
            auto f = c.Add("F", "", k.text, 0, key);
            ++count;
            EXPECT_EQ(f->FieldType(), k.expected) << '"' << k.text << '"';
        } else {
            EXPECT_EQ(vtest::RunTimeErrorNumberOf([&] { c.Add("F", "", k.text, 0, key); }), k.error) << '"' << k.text << '"';
            EXPECT_FALSE(c.Count() > count) << "added despite the error: " << k.text;
        }
        EXPECT_EQ(c.Count(), count);
    }
}

TEST(CScenarioFields, AKeyThatDiffersOnlyInCaseIsRefused) {
    CScenarioFields c;
    c.Add("A", "X", "7", 1, "Field1");
    EXPECT_EQ(vtest::RunTimeErrorNumberOf([&] { c.Add("B", "Y", "7", 1, "FIELD1"); }), 457);
    EXPECT_EQ(c.Count(), 1);
    EXPECT_EQ(names(c), (std::vector<std::string>{"A"}));
}

TEST(CScenarioFields, RemoveOfTheMiddleEntryKeepsTheOthersInOrder) {
    CScenarioFields c;
    c.Add("one", "X", "4", 1, "1");
    c.Add("two", "X", "4", 2, "2");
    c.Add("three", "Y", "4", 1, "3");
    c.Remove(2);
    EXPECT_EQ(names(c), (std::vector<std::string>{"one", "three"}));
    EXPECT_EQ(c.Item(2)->FieldName(), "three");
    c.Remove("1");
    EXPECT_EQ(names(c), (std::vector<std::string>{"three"}));
    c.Remove(dao::Variant("3"));
    EXPECT_EQ(c.Count(), 0);
}

TEST(CScenarioFields, TheDesignersTeardownFromCountDownToOne) {
    CScenarioFields c;
    for (int i = 1; i <= 5; ++i) c.Add("F" + std::to_string(i), "", "10", 0, "k" + std::to_string(i));
    for (long i = c.Count(); i >= 1; --i) c.Remove(i);
    EXPECT_EQ(c.Count(), 0);
}

TEST(CScenarioFields, BadPositionsAndKeysFailAndChangeNothing) {
    CScenarioFields c;
    c.Add("one", "X", "4", 1, "a");
    c.Add("two", "X", "4", 2, "b");
    struct Case {
        const char* what;
        std::function<void()> call;
        long error;
    };
    const Case cases[] = {
        {"Item(0)", [&] { c.Item(0); }, 9},         {"Item(3)", [&] { c.Item(3); }, 9},
        {"Item(\"c\")", [&] { c.Item("c"); }, 5},   {"Remove(0)", [&] { c.Remove(0); }, 9},
        {"Remove(3)", [&] { c.Remove(3); }, 9},     {"Remove(\"z\")", [&] { c.Remove("z"); }, 5},
        {"Item(Variant 9)", [&] { c.Item(dao::Variant(9)); }, 9},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(vtest::RunTimeErrorNumberOf(k.call), k.error) << k.what;
        EXPECT_EQ(names(c), (std::vector<std::string>{"one", "two"})) << k.what;
    }
}

TEST(CScenarioInfo, SixTextsStartEmptyAndAreKeptApart) {
    CScenarioInfo info;
    using Get = std::string (CScenarioInfo::*)() const;
    using Set = void (CScenarioInfo::*)(std::string);
    struct Prop {
        const char* name;
        Get get;
        Set set;
    };
    const Prop props[] = {
        {"ScenarioID", &CScenarioInfo::ScenarioID, &CScenarioInfo::SetScenarioID},
        {"ScenType", &CScenarioInfo::ScenType, &CScenarioInfo::SetScenType},
        {"Desc", &CScenarioInfo::Desc, &CScenarioInfo::SetDesc},
        {"Table", &CScenarioInfo::Table, &CScenarioInfo::SetTable},
        {"OutputTable1", &CScenarioInfo::OutputTable1, &CScenarioInfo::SetOutputTable1},
        {"OutputTable2", &CScenarioInfo::OutputTable2, &CScenarioInfo::SetOutputTable2},
    };
    for (const auto& p : props) EXPECT_EQ((info.*p.get)(), "") << p.name;
    for (const auto& p : props) (info.*p.set)(std::string(" value of ") + p.name);
    for (const auto& p : props) EXPECT_EQ((info.*p.get)(), std::string(" value of ") + p.name) << p.name;
}

} // namespace
