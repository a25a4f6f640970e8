// Yes/No fields in the SQL a user writes. Another program (Python's sqlite3,
// an ORM, a spreadsheet export) stores True as 1 and may leave a Null where
// this layer writes -1 and 0; a recordset reads both as True and False. A
// criterion, a saved query or an expression written with True, False, Not,
// And or a comparison of two Yes/No fields selects and counts the records by
// what they are read as, on such a file as on this layer's own.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace dao;
using daotest::ColumnOf;

namespace {

// The same four records in both files: Active True, False, False (a Null
// in the other program's file), True; Member True, True, False, False;
// Score, a Long, 1, -1, 0, 1. Cards: Valid True (K 1) and False (K 2, a Null
// in the other program's file). Tallies: Active, a Long, 1 (K 1) and -1 (K 4).
class YesNoInUserSql : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        {
            vtest::OtherProgram other(tmp.file("theirs.db"));
            other.Exec("CREATE TABLE Members (K INTEGER PRIMARY KEY, Active BOOLEAN, Member BIT, Score INTEGER);"
                       "INSERT INTO Members VALUES (1, 1, 1, 1), (2, 0, 1, -1), (3, NULL, 0, 0), (4, 1, 0, 1);"
                       "CREATE TABLE Cards (K INTEGER PRIMARY KEY, Valid YESNO);"
                       "INSERT INTO Cards VALUES (1, 1), (2, NULL);"
                       "CREATE TABLE Tallies (K INTEGER PRIMARY KEY, Active INTEGER);"
                       "INSERT INTO Tallies VALUES (1, 1), (4, -1);");
        }
        theirs = DBEngine().OpenDatabase(tmp.file("theirs.db"));
        ours = DBEngine().CreateDatabase(tmp.file("ours.db"), dbLangGeneral);
        daotest::MakeTable(*ours, "Members",
                           {{"K", dbLong}, {"Active", dbBoolean}, {"Member", dbBoolean}, {"Score", dbLong}});
        auto rs = ours->OpenRecordset("Members", dbOpenTable);
        const struct { long k; bool active, member; long score; } rows[] = {
            {1, true, true, 1}, {2, false, true, -1}, {3, false, false, 0}, {4, true, false, 1}};
        for (const auto& r : rows) {
            rs->AddNew();
            rs->Fields("K")->SetValue(Variant(r.k));
            rs->Fields("Active")->SetValue(Variant(r.active));
            rs->Fields("Member")->SetValue(Variant(r.member));
            rs->Fields("Score")->SetValue(Variant(r.score));
            rs->Update();
        }
        rs->Close();
        daotest::MakeTable(*ours, "Cards", {{"K", dbLong}, {"Valid", dbBoolean}});
        ours->Execute("INSERT INTO Cards (K, Valid) VALUES (1, True)", dbFailOnError);
        ours->Execute("INSERT INTO Cards (K, Valid) VALUES (2, False)", dbFailOnError);
        daotest::MakeTable(*ours, "Tallies", {{"K", dbLong}, {"Active", dbLong}});
        ours->Execute("INSERT INTO Tallies (K, Active) VALUES (1, 1)", dbFailOnError);
        ours->Execute("INSERT INTO Tallies (K, Active) VALUES (4, -1)", dbFailOnError);
    }
    void TearDown() override {
        if (theirs) theirs->Close();
        if (ours) ours->Close();
        FreshEngine::TearDown();
    }

    DatabasePtr theirs, ours;
};

struct Criterion {
    const char* where;
    std::vector<long> keys; // the records selected
};

const std::vector<Criterion> kCriteria = {
    {"[Active] = True", {1, 4}},
    {"[Active] = -1", {1, 4}},
    {"[Active] <> False", {1, 4}},
    {"[Active]", {1, 4}},
    {"Not [Active]", {2, 3}},
    {"[Active] = False", {2, 3}},
    {"[Active] = 0", {2, 3}},
    {"[Active] And [Member]", {1}},
    {"[Active] Or [Member]", {1, 2, 4}},
    {"[Active] = [Member]", {1, 3}},
    {"[Members].[Active] = True", {1, 4}},
    {"IIf([Active], 1, 0) = 1", {1, 4}},
    {"[Active] In (True)", {1, 4}},
    {"[Active] Is Null", {}},
    // A subquery's Yes/No values are the values read.
    {"[Active] In (SELECT Valid FROM Cards)", {1, 2, 3, 4}},
    {"[Active] = (SELECT Valid FROM Cards WHERE K = 2)", {2, 3}},
    {"[Member] = (SELECT Valid FROM Cards WHERE K = 1)", {1, 2}},
    {"[Members].[K] In (SELECT K FROM Cards WHERE Valid = [Members].[Active])", {1, 2}},
    {"Exists (SELECT * FROM Cards WHERE Cards.K = Members.K And Cards.Valid)", {1}},
    // A column of the outer query named without its table in a subquery.
    {"[K] In (SELECT K FROM Cards WHERE Active = True)", {1}},
    {"Exists (SELECT * FROM Cards WHERE Cards.K = Members.K And Active = True)", {1}},
    {"(SELECT Count(*) FROM Cards WHERE Active = True) = 2", {1, 4}},
    {"[K] In (SELECT K FROM Cards WHERE Valid = Active)", {1, 2}},
    // ... unless the subquery's own table has a column of that name: a Long.
    {"Exists (SELECT * FROM Tallies WHERE Tallies.K = Members.K And Active = 1)", {1}},
    {"[K] In (SELECT K FROM Tallies WHERE Active = True)", {4}},
    // A Long holding 1 is no True: True is -1.
    {"[Score] = True", {2}},
    {"[Score] = 1", {1, 4}},
};

TEST_F(YesNoInUserSql, ACriterionOnAYesNoFieldAnotherProgramStoredAs1OrNullSelectsTheRecordsReadAsTrueOrFalse) {
    for (const auto& c : kCriteria) {
        const std::string sql = std::string("SELECT K FROM Members WHERE ") + c.where + " ORDER BY K";
        EXPECT_EQ(ColumnOf(*theirs, sql), c.keys) << "another program's file: " << c.where;
        EXPECT_EQ(ColumnOf(*ours, sql), c.keys) << "this layer's own file: " << c.where;
    }
}

struct Total {
    const char* select;
    long value;
};

TEST_F(YesNoInUserSql, ASumOrCountOfAYesNoFieldAnotherProgramStoredAs1OrNullCountsTheRecordsReadAsTrue) {
    const std::vector<Total> totals = {
        {"Sum([Active])", -2},                   // True is -1
        {"Sum(Abs([Active]))", 2},
        {"Count(IIf([Active], 1, Null))", 2},
        {"Sum(IIf([Active] = True, 1, 0))", 2},
        {"Sum(IIf(Not [Active], 1, 0))", 2},
        {"Sum([Active] And [Member])", -1},
        {"Min([Active])", -1},
        {"Sum(IIf([Score] = True, 1, 0))", 1},   // the Long -1 only
    };
    for (const auto& t : totals) {
        const std::string sql = std::string("SELECT ") + t.select + " FROM Members";
        EXPECT_EQ(ColumnOf(*theirs, sql), std::vector<long>{t.value}) << "another program's file: " << t.select;
        EXPECT_EQ(ColumnOf(*ours, sql), std::vector<long>{t.value}) << "this layer's own file: " << t.select;
    }
}

TEST_F(YesNoInUserSql, GroupingByAYesNoFieldAnotherProgramStoredAs1OrNullGivesOneGroupOfTrueAndOneOfFalse) {
    // True (-1) before False (0), as the engine sorts a Yes/No field.
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        auto rs = db->OpenRecordset("SELECT Active, Count(*) AS N FROM Members GROUP BY Active", dbOpenSnapshot);
        std::vector<std::pair<bool, long>> groups;
        for (; !rs->EOF_(); rs->MoveNext())
            groups.emplace_back(rs->Fields("Active")->Value().ToBool(), rs->Fields("N")->Value().ToLong());
        const std::vector<std::pair<bool, long>> expected = {{true, 2}, {false, 2}};
        EXPECT_EQ(groups, expected) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT DISTINCT Active FROM Members"), (std::vector<long>{-1, 0})) << which;
    }
}

TEST_F(YesNoInUserSql, ASavedQueryOnAYesNoFieldAnotherProgramStoredAs1IsReadWithTheRecordsThatAreTrue) {
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        db->CreateQueryDef("ActiveOnes", "SELECT K, Score FROM Members WHERE [Active] = True");
        // Opened by its name, and read by other SQL through its view.
        EXPECT_EQ(ColumnOf(*db, "ActiveOnes"), (std::vector<long>{1, 4})) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM ActiveOnes ORDER BY K"), (std::vector<long>{1, 4})) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT Count(*) FROM ActiveOnes"), std::vector<long>{2}) << which;
    }
    // A file whose view of the query an earlier build made, comparing what
    // is stored, has it made again when it is opened.
    theirs->Close();
    theirs.reset();
    {
        vtest::OtherProgram other(tmp.file("theirs.db"));
        other.Exec("DROP VIEW ActiveOnes");
        other.Exec("CREATE VIEW \"ActiveOnes\" AS SELECT \"K\", \"Score\" FROM \"Members\" WHERE \"Active\" = -1");
    }
    theirs = DBEngine().OpenDatabase(tmp.file("theirs.db"));
    EXPECT_EQ(ColumnOf(*theirs, "SELECT K FROM ActiveOnes ORDER BY K"), (std::vector<long>{1, 4}));
}

struct Statement {
    std::string sql;
    std::vector<long> keys; // the first column of the rows read
};

TEST_F(YesNoInUserSql, AYesNoFieldAnotherProgramStoredAs1OrNullReadThroughASubqueryOrSavedQuerySelectsTheRecordsReadAsTrueOrFalse) {
    const std::vector<Statement> statements = {
        {"SELECT * FROM (SELECT * FROM Members) AS S WHERE S.Active = True ORDER BY K", {1, 4}},
        {"SELECT K FROM (SELECT * FROM Members) AS S WHERE Active = True ORDER BY K", {1, 4}},
        {"SELECT K FROM (SELECT K, Active FROM Members) WHERE Active = True ORDER BY K", {1, 4}},
        {"SELECT K FROM (SELECT K, Active AS A FROM Members) AS S WHERE S.A = False ORDER BY K", {2, 3}},
        {"SELECT K FROM (SELECT M.* FROM Members AS M) AS S WHERE S.Active = S.Member ORDER BY K", {1, 3}},
        {"SELECT K FROM (SELECT * FROM (SELECT * FROM Members) AS T) AS S WHERE Active = True ORDER BY K", {1, 4}},
        {"SELECT Count(*) FROM (SELECT * FROM Members) AS S GROUP BY S.Active", {2, 2}},
        {"SELECT K FROM (SELECT K, Active FROM Members UNION ALL SELECT K + 10, Valid FROM Cards) AS U"
         " WHERE Active = True ORDER BY K",
         {1, 4, 11}},
        {"SELECT K FROM Members WHERE K In (SELECT K FROM (SELECT * FROM Members) AS S WHERE S.Active)", {1, 4}},
        // A computed column of a subquery keeps its value; a Long is no Yes/No field.
        {"SELECT K FROM (SELECT K, Score AS Active FROM Members) AS S WHERE Active = True ORDER BY K", {2}},
        // A saved query read as a table.
        {"SELECT K FROM Shown WHERE Active = True ORDER BY K", {1, 4}},
        {"SELECT K FROM Everything WHERE Active = [Member] ORDER BY K", {1, 3}},
        {"SELECT K FROM Shown AS Q WHERE Q.Active = False ORDER BY K", {2, 3}},
    };
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        db->CreateQueryDef("Shown", "SELECT K, Active FROM Members");
        db->CreateQueryDef("Everything", "SELECT * FROM Members");
        for (const auto& s : statements) EXPECT_EQ(ColumnOf(*db, s.sql), s.keys) << which << ": " << s.sql;
    }
}

TEST_F(YesNoInUserSql, AYesNoFieldOfATableOfAnotherFileNamedWithInSelectsTheRecordsReadAsTrueOrFalse) {
    // Each file reads the other's Members: this layer's from another
    // program's file and the other program's from this layer's.
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        const std::string other = tmp.file(db == theirs.get() ? "ours.db" : "theirs.db");
        const std::vector<Statement> statements = {
            {"SELECT K FROM Members IN '" + other + "' WHERE Active = True ORDER BY K", {1, 4}},
            {"SELECT K FROM Members AS M IN '" + other + "' WHERE M.Active = M.Member ORDER BY K", {1, 3}},
            {"SELECT Count(*) FROM Members IN '" + other + "' WHERE Not Active", {2}},
            {"SELECT K FROM Members WHERE K In (SELECT K FROM Members IN '" + other + "' WHERE Active = True)", {1, 4}},
        };
        for (const auto& s : statements) EXPECT_EQ(ColumnOf(*db, s.sql), s.keys) << which << ": " << s.sql;
        // A saved query of the other file's table, which the file holds no view of.
        db->CreateQueryDef("OtherMembers", "SELECT * FROM Members IN '" + other + "'");
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM OtherMembers WHERE Active = True ORDER BY K"), (std::vector<long>{1, 4}))
            << which;
        db->Execute("UPDATE Members IN '" + other + "' SET Score = 7 WHERE Active = True", dbFailOnError);
        EXPECT_EQ(db->RecordsAffected(), 2) << which;
    }
}

// The declared types of the other file's columns are read on a connection
// of its own before the statement reaches the file. That reading waited for
// no lock: while another program wrote the other file, it found no columns,
// and Active = True compared what was stored (1) with -1 once the statement
// had waited for the file.
TEST_F(YesNoInUserSql, AYesNoFieldOfAnotherFileThatAnotherProgramIsWritingSelectsTheRecordsReadAsTrue) {
    const std::string other = tmp.file("theirs.db");
    vtest::LockWaitLimitScope limit(std::chrono::seconds(20));
    vtest::OtherProgram writer(other);
    writer.Exec("BEGIN EXCLUSIVE");
    // The other program finishes as soon as a statement is found waiting for it.
    bool waited = false;
    LockWaitScope listen([&](const std::string&, std::chrono::milliseconds, std::chrono::milliseconds) {
        if (!waited) writer.Exec("COMMIT");
        waited = true;
    });
    EXPECT_EQ(ColumnOf(*ours, "SELECT K FROM Members IN '" + other + "' WHERE Active = True ORDER BY K"),
              (std::vector<long>{1, 4}));
    EXPECT_TRUE(waited);
    if (!waited) writer.Exec("COMMIT");
}

TEST_F(YesNoInUserSql, AppendingAllFieldsOfRecordsWithAYesNoFieldAnotherProgramStoredAs1OrNullWritesTrueAndFalse) {
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        daotest::MakeTable(*db, "Copies",
                           {{"K", dbLong}, {"Active", dbBoolean}, {"Member", dbBoolean}, {"Score", dbLong}});
        db->Execute("INSERT INTO Copies SELECT * FROM Members", dbFailOnError);
        EXPECT_EQ(db->RecordsAffected(), 4) << which;
        db->Execute("INSERT INTO Copies SELECT M.* FROM Members AS M WHERE M.K > 2", dbFailOnError);
        EXPECT_EQ(db->RecordsAffected(), 2) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM Copies WHERE Active = True ORDER BY K"), (std::vector<long>{1, 4, 4}))
            << which;
    }
    // As this layer stores them: -1 and 0; a Long as it was.
    theirs->Close();
    theirs.reset();
    vtest::OtherProgram other(tmp.file("theirs.db"));
    EXPECT_EQ(other.Text("SELECT group_concat(Active || '/' || Member || '/' || Score, ' ') FROM"
                         " (SELECT * FROM Copies ORDER BY rowid)"),
              "-1/-1/1 0/-1/-1 0/0/0 -1/0/1 0/0/0 -1/0/1");
}

TEST_F(YesNoInUserSql, AnUpdateWhereAYesNoFieldIsTrueChangesTheRecordsAnotherProgramStoredAs1) {
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        db->Execute("UPDATE Members SET Score = 7 WHERE [Active] = True", dbFailOnError);
        EXPECT_EQ(db->RecordsAffected(), 2) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM Members WHERE Score = 7 ORDER BY K"), (std::vector<long>{1, 4})) << which;
        // Not of a Null read as False is True.
        db->Execute("UPDATE Members SET Member = Not [Active]", dbFailOnError);
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM Members WHERE Member = True ORDER BY K"), (std::vector<long>{2, 3}))
            << which;
    }
}

TEST_F(YesNoInUserSql, AppendingAYesNoFieldAnotherProgramStoredAs1OrNullWritesTheTrueAndFalseItIsReadAs) {
    for (auto* db : {theirs.get(), ours.get()}) {
        const char* which = db == theirs.get() ? "another program's file" : "this layer's own file";
        daotest::MakeTable(*db, "Copies", {{"K", dbLong}, {"Active", dbBoolean}});
        db->Execute("INSERT INTO Copies (K, Active) SELECT K, Active FROM Members", dbFailOnError);
        EXPECT_EQ(db->RecordsAffected(), 4) << which;
        EXPECT_EQ(ColumnOf(*db, "SELECT K FROM Copies WHERE Active = True ORDER BY K"), (std::vector<long>{1, 4}))
            << which;
    }
    // As this layer stores them: -1 and 0.
    theirs->Close();
    theirs.reset();
    vtest::OtherProgram other(tmp.file("theirs.db"));
    EXPECT_EQ(other.Text("SELECT group_concat(Active, ' ') FROM (SELECT Active FROM Copies ORDER BY K)"), "-1 0 0 -1");
}

} // namespace
