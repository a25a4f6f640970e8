// Names are names and deep text is refused: table names that read like SQL,
// bracketed names, and expressions nested deeper than the parser follows.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "db/JetSqlTranslator.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dao;

namespace {

class NamesTest : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        db = DBEngine().CreateDatabase(tmp.file("n.db"), dbLangGeneral);
    }

    // A table with one text column "Mark" holding `mark`.
    void table(const std::string& name, const std::string& mark) {
        daotest::MakeTable(*db, name, {{"Mark", dbText, 40}});
        auto rs = db->OpenRecordset(name, dbOpenDynaset);
        rs->AddNew();
        rs->Fields("Mark")->SetValue(mark);
        rs->Update();
    }

    DatabasePtr db;
};

TEST_F(NamesTest, ATableWhoseNameReadsLikeSqlOpensAsThatTable) {
    const char* names[] = {"Select Summary", "With weights", "Parameters p", "Transform t", "(Select) x"};
    for (const char* n : names) table(n, std::string("mark of ") + n);
    db->CreateQueryDef("Select Query", "SELECT Mark FROM [With weights]");
    for (const char* n : names)
        for (int type : {0, int(dbOpenDynaset), int(dbOpenSnapshot)}) {
            auto rs = db->OpenRecordset(n, type);
            ASSERT_FALSE(rs->EOF_()) << n;
            EXPECT_EQ(rs->Fields("Mark")->Value().ToString(), std::string("mark of ") + n) << n << " type " << type;
        }
    EXPECT_EQ(db->OpenRecordset("Select Query")->Fields("Mark")->Value().ToString(), "mark of With weights");
    // SQL is still SQL when no table or query has the text as its name.
    EXPECT_EQ(db->OpenRecordset("SELECT Mark FROM [Select Summary]")->Fields("Mark")->Value().ToString(),
              "mark of Select Summary");
}

TEST_F(NamesTest, FieldNamesWithBracketsAreWrittenBracketedWithTheClosingOneDoubled) {
    // Each column holds its own name, so that reading it back shows which
    // column a bracketed text named.
    const char* names[] = {"a]b", "[c", "d[1]", "]]", "e]]f", "g[]"};
    auto td = db->CreateTableDef("Odd");
    for (const char* n : names) td->Fields().Append(td->CreateField(n, dbText, 20));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("Odd", dbOpenDynaset);
    rs->AddNew();
    for (const char* n : names) rs->Fields(n)->SetValue(std::string(n));
    rs->Update();
    for (const char* n : names) {
        const std::string b = JetSqlTranslator::BracketName(n);
        auto r = db->OpenRecordset("SELECT " + b + " FROM Odd WHERE " + b + " Is Not Null ORDER BY " + b,
                                   dbOpenSnapshot);
        ASSERT_FALSE(r->EOF_()) << b;
        EXPECT_EQ(r->Fields(0)->Value().ToString(), n) << b;
        EXPECT_EQ(r->Fields(n)->Value().ToString(), n) << b;
    }
    // A lone "]" inside the brackets still ends the name.
    EXPECT_THROW(db->OpenRecordset("SELECT [a]b] FROM Odd", dbOpenSnapshot), DaoError);
}

TEST_F(NamesTest, ABracketedNameIsRefusedAndNeverReachesTheTableInside) {
    table("OutSorted", "kept");
    const struct {
        const char* name;
        const char* why;
    } bad[] = {{"[OutSorted]", "brackets"}, {"Out.Sorted", "a dot"}, {"Out!Sorted", "an exclamation mark"},
               {"Out`Sorted", "a grave accent"}, {" Leading", "a leading blank"},
               {"N23456789012345678901234567890123456789012345678901234567890123456", "65 characters"},
               {"Äéééééééééééééééééééééééééééééééééééééééééééééééééééééééééééééééé", "65 characters of two bytes"}};
    for (const auto& b : bad) {
        auto td = daotest::NewTableDef(*db, b.name, {{"Mark", dbText, 20}});
        const auto e = daotest::ErrorOf([&] { db->TableDefs().Append(td); });
        EXPECT_TRUE(e) << b.why << ": appended";
        EXPECT_EQ(e ? e->Number() : 0, 3125) << b.why;
        EXPECT_NE((e ? e->Description() : "").find(b.name), std::string::npos) << b.why;
    }
    EXPECT_EQ(daotest::ErrorNumberOf([&] { db->OpenRecordset("[OutSorted]"); }), err::InputTableNotFound)
        << "the bracketed name opened a table";
    auto rs = db->OpenRecordset("OutSorted");
    EXPECT_EQ(rs->RecordCount(), 1);
}

TEST_F(NamesTest, ANameOfUpTo64CharactersIsValidHoweverManyBytesTheyTake) {
    const struct {
        const char* name;
        const char* why;
    } good[] = {
        {"Äééééééééééééééééééééééééééééééééééééééééééééééééééééééééééééééé", "64 characters, 128 bytes"},
        {"売上集計の結果売上集計の結果売上集計の結果表", "22 characters, 66 bytes"},
        {"O'Brien \"Q1\" - Übersicht", "quotes, a dash and blanks"},
    };
    for (const auto& g : good) {
        table(g.name, g.why);
        auto rs = db->OpenRecordset(g.name);
        ASSERT_FALSE(rs->EOF_()) << g.why;
        EXPECT_EQ(rs->Fields("Mark")->Value().ToString(), g.why);
    }
}

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

TEST(TranslatorNesting, DeepTextIsRefusedWithAnErrorInsteadOfExhaustingTheStack) {
    const struct {
        std::string sql;
        bool accepted;
        const char* why;
    } cases[] = {
        {"SELECT " + repeat("(", 150) + "1" + repeat(")", 150), true, "150 parentheses"},
        {"SELECT " + repeat("(", 3000) + "1" + repeat(")", 3000), false, "3,000 parentheses"},
        {"SELECT " + repeat("Not ", 100000) + "1", false, "100,000 chained Not"},
        {"SELECT " + repeat("-", 100000) + "1", false, "100,000 signs"},
        {"SELECT " + repeat("+ ", 100000) + "1", false, "100,000 plus signs"},
        {"SELECT " + repeat("Abs(", 3000) + "1" + repeat(")", 3000), false, "3,000 nested calls"},
        {"SELECT * FROM " + repeat("(SELECT * FROM ", 3000) + "t" + repeat(")", 3000), false, "3,000 subqueries"},
        {"SELECT * FROM " + repeat("(", 3000) + "t" + repeat(")", 3000), false, "3,000 parentheses in FROM"},
    };
    for (const auto& c : cases) {
        const auto e = daotest::ErrorOf([&] { JetSqlTranslator::Translate(c.sql); });
        EXPECT_EQ(!e, c.accepted) << c.why << ": " << (e ? e->Description() : "no error");
        if (e) {
            EXPECT_EQ(e->Number(), err::SyntaxError) << c.why;
            EXPECT_NE(e->Description().find("nested more than 200 levels"), std::string::npos) << c.why;
        }
    }
}

} // namespace

TEST_F(NamesTest, FieldsAreFoundByNameWhateverTheirCaseAfterEveryChangeOfTheCollection) {
    auto td = daotest::NewTableDef(*db, "Wide", {{"Alpha", dbDouble}, {"beta", dbDouble}, {"Gamma", dbDouble}});
    Fields& f = td->Fields();
    // Each step changes the definition; then each name is looked up.
    const struct {
        std::function<void()> change;
        std::vector<std::pair<const char*, int>> expected; // name as looked up, its position (-1: none)
        const char* why;
    } steps[] = {
        {[] {}, {{"ALPHA", 0}, {"Beta", 1}, {"gamma", 2}, {"Delta", -1}}, "found in any case"},
        {[&] { f.Append(td->CreateField("Delta", dbLong)); }, {{"delta", 3}, {"Alpha", 0}}, "an appended field"},
        {[&] { f.Delete("beta"); }, {{"Beta", -1}, {"Gamma", 1}, {"Delta", 2}}, "after a deletion the later ones move up"},
        {[&] { f("Gamma")->SetName("Omega"); }, {{"Gamma", -1}, {"omega", 1}}, "a renamed field under its new name only"},
        {[&] { f.Append(td->CreateField("Epsilon", dbLong)); }, {{"Omega", 1}, {"Epsilon", 3}}, "and after the next append"},
    };
    for (const auto& s : steps) {
        s.change();
        for (const auto& [name, position] : s.expected) EXPECT_EQ(f.IndexOf(name), position) << s.why << ": " << name;
    }
    EXPECT_THROW(f.Append(td->CreateField("OMEGA", dbLong)), DaoError) << "a name it has in another case";
    // A field renamed onto another's name once appended: the table is refused before anything is made.
    f("Omega")->SetName("alpha");
    EXPECT_EQ(daotest::ErrorNumberOf([&] { db->TableDefs().Append(td); }), 3191);
    EXPECT_EQ(db->TableDefs().Find("Wide"), nullptr);
}

TEST_F(NamesTest, AStoredTableOrQueryRenamedOntoATakenOrInvalidNameIsRefusedAndKeepsItsOwn) {
    // A table or query renamed onto another's name (in any case) hid one of
    // the two from every lookup by that name.
    table("T", "mark of T");
    table("Other", "mark of Other");
    db->CreateQueryDef("qRead", "SELECT Mark FROM Other");
    db->CreateQueryDef("qAsk", "SELECT Mark FROM Other WHERE Mark = [Which]");
    const struct {
        bool query; // renames the query qRead, else the table T
        const char* to;
        long error;
        const char* name; // its name afterwards
        const char* why;
    } cases[] = {
        {false, "OTHER", err::ObjectExists, "T", "another table's name, in another case"},
        {false, "qread", err::ObjectExists, "T", "a saved query's name"},
        {false, "QASK", err::ObjectExists, "T", "a query that asks for a parameter"},
        {false, "Old]", 3125, "T", "a bracket would end the name in every query"},
        {false, "a.b", 3125, "T", "a dot would split it"},
        {false, "t", 0, "T", "its own name in other letters: nothing to do"},
        {false, "Renamed", 0, "Renamed", "a free name"},
        {true, "other", err::ObjectExists, "qRead", "a query onto a table's name, in another case"},
        {true, "QASK", err::ObjectExists, "qRead", "a query onto another query's name"},
        {true, "QREAD", 0, "QREAD", "a query's own name in other letters"},
        {true, "qFirst", 0, "qFirst", "a query onto a free name"},
    };
    auto td = db->TableDefs()("T");
    auto q = db->QueryDefs()("qRead");
    for (const auto& c : cases) {
        if (c.query) {
            EXPECT_EQ(daotest::ErrorNumberOf([&] { q->SetName(c.to); }), c.error) << c.why;
            EXPECT_EQ(q->Name(), c.name) << c.why;
        } else {
            EXPECT_EQ(daotest::ErrorNumberOf([&] { td->SetName(c.to); }), c.error) << c.why;
            EXPECT_EQ(td->Name(), c.name) << c.why;
        }
        // Each name still reads what it read.
        EXPECT_EQ(db->OpenRecordset(td->Name())->Fields("Mark")->Value().ToString(), "mark of T") << c.why;
        EXPECT_EQ(db->OpenRecordset(q->Name())->Fields("Mark")->Value().ToString(), "mark of Other") << c.why;
        EXPECT_EQ(db->OpenRecordset("Other")->Fields("Mark")->Value().ToString(), "mark of Other") << c.why;
    }
}

TEST_F(NamesTest, ATableOfMoreColumnsThanTheFileHoldsIsRefusedBeforeAnythingIsWritten) {
    const int limit = db->ColumnLimit();
    ASSERT_EQ(limit, 2000); // SQLite's own limit
    const struct {
        int columns;
        long error; // 0: made
        const char* why;
    } cases[] = {{limit, 0, "as many as the file holds"}, {limit + 1, 3190, "one more: too many fields defined"}};
    for (const auto& c : cases) {
        const std::string name = "T" + std::to_string(c.columns);
        auto td = db->CreateTableDef(name);
        for (int i = 0; i < c.columns; ++i) td->Fields().Append(td->CreateField("C" + std::to_string(i), dbDouble));
        EXPECT_EQ(daotest::ErrorNumberOf([&] { db->TableDefs().Append(td); }), c.error) << c.why;
        db->TableDefs().Refresh();
        EXPECT_EQ(db->TableDefs().Find(name) != nullptr, c.error == 0) << c.why;
    }
}
