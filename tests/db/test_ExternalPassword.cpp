// A password-protected database reached through IN '<path>' from another
// database needs its password, as opening it directly does.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace dao;

namespace {

TEST(ExternalPassword, ADatabaseReachedThroughInNeedsItsPassword) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    const std::string prot = tmp.file("prot.db"), open = tmp.file("open.db");
    for (const auto& path : {prot, open}) {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        daotest::MakeTable(*db, "T", {{"X", dbDouble}});
        db->Execute("INSERT INTO T (X) VALUES (42)");
        if (path == prot) db->NewPassword("", "secret");
        db->Close();
    }
    auto from = DBEngine().CreateDatabase(tmp.file("from.db"), dbLangGeneral);
    const struct {
        std::string sql;
        bool read; // true: a select that returns the row; false: an action query
        long error; // 0: works
        const char* why;
    } cases[] = {
        {"SELECT X FROM T IN '" + prot + "'", true, err::NotValidPassword, "no password"},
        {"SELECT X FROM T IN '" + prot + "' [;PWD=wrong]", true, err::NotValidPassword, "a wrong password"},
        {"DELETE * FROM MSysDb IN '" + prot + "'", false, err::NotValidPassword, "removing the password"},
        {"SELECT X FROM T IN '" + open + "'", true, 0, "a database without password"},
        {"SELECT X FROM T IN '" + prot + "' [;PWD=secret]", true, 0, "the password"},
        {"SELECT X FROM T IN '' [MS Access;DATABASE=" + prot + ";PWD=secret]", true, 0, "path and password in brackets"},
    };
    for (const auto& c : cases) {
        // Each statement on a fresh connection: nothing stays attached from the one before.
        from->Close();
        from = DBEngine().OpenDatabase(tmp.file("from.db"));
        try {
            if (c.read) EXPECT_EQ(from->OpenRecordset(c.sql)->Fields("X")->Value().ToDouble(), 42.0) << c.why;
            else from->Execute(c.sql);
            EXPECT_EQ(c.error, 0) << c.why << ": no error";
        } catch (const DaoError& e) {
            EXPECT_EQ(e.Number(), c.error) << c.why << ": " << e.Description();
        }
    }
    // The password is still there: a direct open without it is refused.
    EXPECT_THROW(DBEngine().OpenDatabase(prot), DaoError);
    EXPECT_NO_THROW(DBEngine().OpenDatabase(prot, false, false, ";pwd=secret"));
    DBEngine().Reset();
}

// The stored password that could not be read (its page damaged, or the file
// locked by another program between two reads) was taken for no password,
// and the database opened without one.
TEST(ExternalPassword, APasswordThatCouldNotBeReadLetTheDatabaseOpenWithoutIt) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    const std::string prot = tmp.file("prot.db");
    {
        auto db = DBEngine().CreateDatabase(prot, dbLangGeneral);
        daotest::MakeTable(*db, "T", {{"X", dbDouble}});
        db->Execute("INSERT INTO T (X) VALUES (42)");
        db->NewPassword("", "secret");
        db->Close();
    }
    // The page that holds the password is overwritten with bytes that are no page.
    {
        long page = 0, size = 0;
        {
            vtest::OtherProgram other(prot);
            page = std::stol(other.Text("SELECT rootpage FROM sqlite_master WHERE name = 'MSysDb'"));
            size = std::stol(other.Text("PRAGMA page_size"));
        }
        ASSERT_GT(page, 1);
        std::fstream f(prot, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp((page - 1) * size);
        const std::string junk(static_cast<std::size_t>(size), '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    auto from = DBEngine().CreateDatabase(tmp.file("from.db"), dbLangGeneral);
    const std::string damaged = "Cannot open database '" + prot + "'. It may not be a database, or the file may be corrupt.";
    const struct {
        const char* what;
        std::function<void()> open;
    } cases[] = {
        {"opened directly", [&] { DBEngine().OpenDatabase(prot); }},
        {"read through IN", [&] { from->OpenRecordset("SELECT X FROM T IN '" + prot + "'"); }},
    };
    for (const auto& c : cases) {
        const auto error = daotest::ErrorOf(c.open);
        if (!error) {
            ADD_FAILURE() << c.what << ": opened without its password";
            continue;
        }
        EXPECT_EQ(error->Number(), 3049) << c.what;
        EXPECT_EQ(error->Description(), damaged) << c.what;
        // Asked again, the same answer: nothing was left half-opened.
        const auto again = daotest::ErrorOf(c.open);
        EXPECT_EQ(again ? again->Description() : "opened", damaged) << c.what << ", again";
    }
    DBEngine().Reset();
}

} // namespace
