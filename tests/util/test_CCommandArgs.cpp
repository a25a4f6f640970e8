// The switch parser.
#include <gtest/gtest.h>

#include "errors/RunTimeError.h"
#include "util/CCommandArgs.h"

namespace {

CCommandArgs parsed(const std::string& text, const std::string& delim = "/") {
    CCommandArgs a;
    a.SetDelim(delim);
    a.SetTestString(text);
    a.Parse();
    return a;
}

struct PairCase {
    std::string text;
    std::vector<std::pair<std::string, std::string>> pairs;
};

TEST(CCommandArgs, PairsOfKnownTexts) {
    const PairCase cases[] = {
        {"/WG c:\\app\\system.mdw/UID admin/PWD",
         {{"WG", "c:\\app\\system.mdw"}, {"UID", "admin"}, {"PWD", "PWD"}}},
        {"abc /UID admin", {{"UID", "admin"}}},
        {"/WG c:\\my files\\a.mdw", {{"WG", "c:\\my files\\a.mdw"}}},
        {"//UID x", {{"", ""}, {"UID", "x"}}},
        {"/WG /UID /PWD ", {{"WG", "WG"}, {"UID", "UID"}, {"PWD", "PWD"}}},
        {"/UID   padded value   ", {{"UID", "padded value"}}},
        {"no switches here", {}},
        {"/", {{"", ""}}},
    };
    for (const auto& c : cases) {
        CCommandArgs a = parsed(c.text);
        ASSERT_EQ(a.Count(), static_cast<int>(c.pairs.size())) << c.text;
        for (size_t i = 0; i < c.pairs.size(); ++i) {
            EXPECT_EQ(a.Key(static_cast<int>(i) + 1), c.pairs[i].first) << c.text;
            EXPECT_EQ(a.Value(static_cast<int>(i) + 1), c.pairs[i].second) << c.text;
        }
    }
}

TEST(CCommandArgs, ItemByKeyOrPosition) {
    CCommandArgs a = parsed("/WG c:\\app\\system.mdw/UID admin/PWD");
    EXPECT_EQ(a.Item("wg"), "c:\\app\\system.mdw");
    EXPECT_EQ(a.Item(1), "c:\\app\\system.mdw");
    EXPECT_EQ(a.Item("1"), "c:\\app\\system.mdw");
    EXPECT_EQ(a.Item(" 2 "), "admin");
    EXPECT_EQ(a.Item(2.5), "admin"); // half to even
    EXPECT_EQ(a.Item("Pwd"), "PWD");
    EXPECT_EQ(a.Item("XYZ"), "");
    EXPECT_EQ(a.Item(0), "");
    EXPECT_EQ(a.Item(4), "");
    EXPECT_EQ(a.Item("-1"), "");
    EXPECT_EQ(a.Item(""), "");
}

TEST(CCommandArgs, FirstMatchingKeyWins) {
    CCommandArgs a = parsed("/X one/x two");
    EXPECT_EQ(a.Item("X"), "one");
}

TEST(CCommandArgs, EmptyDelimiterOrTextKeepsThePreviousPairs) {
    CCommandArgs a = parsed("/UID admin");
    a.SetTestString("");
    a.Parse();
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Item("UID"), "admin");
    a.SetTestString("/WG w");
    a.SetDelim("");
    a.Parse();
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Item("UID"), "admin");
}

TEST(CCommandArgs, DelimiterIsFoundWithoutRegardToCaseAndMayBeLong) {
    CCommandArgs a = parsed("xxKEYa 1 KeYb 2", "key");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Item("a"), "1");
    EXPECT_EQ(a.Item("b"), "2");
}

TEST(CCommandArgs, KeyAndValueOutsideTheRangeFail) {
    CCommandArgs a = parsed("/WG c:\\app\\system.mdw/UID admin/PWD");
    EXPECT_EQ(a.Key(0), "");
    EXPECT_EQ(a.Value(0), "");
    for (int bad : {4, -1}) {
        try {
            a.Key(bad);
            ADD_FAILURE() << bad;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.Number(), 9);
        }
        EXPECT_THROW(a.Value(bad), RunTimeError);
    }
}

struct EscapeCase {
    std::string value;
    std::string escaped;
};

TEST(CCommandArgs, EscapedValuesHoldNoDelimiterAndRoundTrip) {
    const EscapeCase cases[] = {
        {"c:\\app\\system.mdw", "c:\\app\\system.mdw"},
        {"/home/ann/system.mdw", "%2Fhome%2Fann%2Fsystem.mdw"},
        {"100% sure", "100%25 sure"},
        {" lead and trail  ", "%20lead and trail%20%20"},
        {"pa/ss wo%rd", "pa%2Fss wo%25rd"},
        {"", ""},
        {"   ", "%20%20%20"},
        {"%2F literally", "%252F literally"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CCommandArgs::EscapeValue(c.value), c.escaped);
        EXPECT_EQ(CCommandArgs::UnescapeValue(c.escaped), c.value);
        if (c.value.find_first_not_of(' ') == std::string::npos) continue; // parses as the key
        CCommandArgs a = parsed("/WG " + c.escaped + "/UID u");
        EXPECT_EQ(a.Item("WG"), c.value) << c.escaped;
        EXPECT_EQ(a.Item("UID"), "u");
    }
    EXPECT_EQ(CCommandArgs::UnescapeValue("%41%2f%2F%zz%"), "%41//%zz%"); // only the three sequences
}

} // namespace
