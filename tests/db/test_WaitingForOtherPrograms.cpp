// Files that another program holds locked: what waits for the lock, and which
// file a failure names.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "db/Workgroup.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

using namespace dao;

namespace {

class WaitingForOtherProgramsTest : public daotest::FreshEngine {};

} // namespace

// The workgroup file is read and written as every database file is: another
// program's lock on it is waited for (and the waiting thread is told which
// file it waits for) instead of a log-on or a password change failing after
// a wait of its own.
TEST_F(WaitingForOtherProgramsTest, WorkgroupFileLockedByAnotherProgramIsWaitedForAsDatabaseFilesAre) {
    const struct {
        const char* what;
        std::function<void(const std::string& workgroup)> action;
        std::function<void(const std::string& workgroup)> check;
    } cases[] = {
        {"a log-on",
         [](const std::string&) { EXPECT_EQ(DBEngine().CreateWorkspace("w", "Clerk", "pw")->UserName(), "Clerk"); },
         [](const std::string&) {}},
        {"a password set",
         [](const std::string& wg) { Workgroup::SetUser(wg, "Clerk", "new one"); },
         [](const std::string& wg) {
             EXPECT_TRUE(Workgroup::Verify(wg, "Clerk", "new one"));
             EXPECT_FALSE(Workgroup::Verify(wg, "Clerk", "pw"));
         }},
    };
    // Far longer than any wait here lasts: the lock is released as soon as
    // the waiting thread hears that it waits.
    vtest::LockWaitLimitScope limit(std::chrono::minutes(5));
    for (const auto& c : cases) {
        const std::string wg = tmp.file(std::string(c.what) + ".mdw");
        Workgroup::Create(wg);
        Workgroup::SetUser(wg, "Clerk", "pw");
        DBEngine().SetSystemDB(wg);

        vtest::OtherProgram other(wg);
        other.Exec("BEGIN EXCLUSIVE");
        bool held = true;
        std::string toldOf;
        LockWaitScope told([&](const std::string& path, std::chrono::milliseconds, std::chrono::milliseconds) {
            toldOf = path;
            if (held) other.Exec("ROLLBACK");
            held = false;
        });
        const auto error = daotest::ErrorOf([&] { c.action(wg); });
        EXPECT_FALSE(error) << c.what << ": " << error->Description();
        EXPECT_EQ(toldOf, wg) << c.what;
        if (held) other.Exec("ROLLBACK");
        c.check(wg);
        DBEngine().Reset();
    }
}


// A query that reads another database file through IN '<path>' and meets
// that file locked or damaged names that file, not the database the query
// runs in (which may well be sound and free); so does the word that it waits.
TEST_F(WaitingForOtherProgramsTest, AFileReadThroughInThatIsLockedOrDamagedIsTheFileNamed) {
    // Long enough for the waiting thread to be told once.
    vtest::LockWaitLimitScope limit(std::chrono::milliseconds(1500));
    const std::string mainPath = tmp.file("main.db");
    {
        auto db = DBEngine().CreateDatabase(mainPath, dbLangGeneral);
        daotest::MakeTable(*db, "Here", {{"V", dbLong}});
    }
    // The other file: a small table, and a table of many pages whose pages
    // are read only when it is.
    auto makeOther = [&](const std::string& path) {
        vtest::OtherProgram other(path);
        other.Exec("CREATE TABLE Small (V INTEGER); INSERT INTO Small VALUES (1), (2);"
                   "CREATE TABLE Big (V TEXT)");
        other.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                   "INSERT INTO Big SELECT printf('%0500d', i) FROM n");
    };
    auto pageSize = [](const std::string& path) {
        vtest::OtherProgram other(path);
        return std::stol(other.Text("PRAGMA page_size"));
    };
    auto pageCount = [](const std::string& path) {
        vtest::OtherProgram other(path);
        return std::stol(other.Text("PRAGMA page_count"));
    };
    // Overwrites a page of Big (one near the end of the file) with bytes that
    // are no page.
    auto damageBig = [&](const std::string& path) {
        const long size = pageSize(path);
        const long page = pageCount(path) - 2;
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp((page - 1) * size);
        const std::string junk(static_cast<std::size_t>(size), '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    };
    const std::string locked = "file already in use.";
    const std::string damaged = ". It may not be a database, or the file may be corrupt.";
    const struct {
        const char* what;
        bool attachFirst;                                   // read through IN once before
        std::function<void(const std::string&)> spoil;      // done to the other file
        bool lockMain;                                      // the main file locked instead
        std::string sql;                                    // with %s for the other file
        std::function<std::string(const std::string&)> expected;
    } cases[] = {
        {"the other file locked when first named", false, nullptr, false, "SELECT V FROM Small IN '%s'",
         [&](const std::string& p) { return "Could not use '" + p + "'; " + locked; }},
        {"the other file locked after it was read", true, nullptr, false, "SELECT V FROM Small IN '%s'",
         [&](const std::string& p) { return "Could not use '" + p + "'; " + locked; }},
        {"the main file locked", true, nullptr, true,
         "SELECT V FROM Small IN '%s' WHERE V NOT IN (SELECT V FROM Here)",
         [&](const std::string&) { return "Could not use '" + mainPath + "'; " + locked; }},
        {"the other file is no database",
         false,
         [](const std::string& p) { std::ofstream(p, std::ios::binary | std::ios::trunc) << std::string(4096, 'x'); },
         false, "SELECT V FROM Small IN '%s'",
         [&](const std::string& p) { return "Unrecognized database format '" + p + "'."; }},
        {"a page of the other file damaged after it was read", true, damageBig, false,
         "SELECT Sum(Len(V)) FROM Big IN '%s'",
         [&](const std::string& p) { return "Cannot open database '" + p + "'" + damaged; }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string otherPath = tmp.file("other" + std::to_string(++n) + ".db");
        makeOther(otherPath);
        auto db = DBEngine().OpenDatabase(mainPath);
        auto sql = [&](const std::string& text) {
            std::string s = text;
            s.replace(s.find("%s"), 2, otherPath);
            return s;
        };
        if (c.attachFirst) {
            ASSERT_EQ(daotest::ColumnOf(*db, sql("SELECT V FROM Small IN '%s' ORDER BY V")), (std::vector<long>{1, 2}));
        }
        if (c.spoil) c.spoil(otherPath);
        vtest::OtherProgram holder(c.lockMain ? mainPath : otherPath);
        const bool lock = !c.spoil;
        if (lock) holder.Exec("BEGIN EXCLUSIVE");
        std::string toldOf;
        LockWaitScope told([&](const std::string& path, std::chrono::milliseconds, std::chrono::milliseconds) {
            toldOf = path;
        });
        const auto error = daotest::ErrorOf([&] { daotest::ColumnOf(*db, sql(c.sql)); });
        if (lock) holder.Exec("ROLLBACK");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Description(), c.expected(otherPath));
        if (lock) {
            EXPECT_EQ(toldOf, c.lockMain ? mainPath : otherPath);
        }
        db->Close();
        DBEngine().Reset();
    }
}

// Two programs change the database password at once, both from "old": the
// one that waited for the other's change checked "old" against the password
// as it was before that change, and then wrote over it.
TEST_F(WaitingForOtherProgramsTest, APasswordChangedByAnotherProgramMeanwhileIsTheOneTheOldPasswordIsCheckedAgainst) {
    const std::string path = tmp.file("pw.db");
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        db->NewPassword("", "old");
    }
    auto db = DBEngine().OpenDatabase(path, false, false, ";pwd=old");
    // The other program has begun its change from "old" to "theirs".
    vtest::OtherProgram other(path);
    other.Exec("BEGIN IMMEDIATE");
    vtest::LockWaitLimitScope limit(std::chrono::minutes(5));
    bool finished = false;
    LockWaitScope waiting([&](const std::string&, std::chrono::milliseconds, std::chrono::milliseconds) {
        if (finished) return;
        finished = true;
        const std::string salt = Workgroup::NewSalt();
        other.Exec("UPDATE MSysDb SET Value = ?1 WHERE Name = 'PasswordSalt'", vtest::Stored::Blob(salt));
        other.Exec("UPDATE MSysDb SET Value = ?1 WHERE Name = 'PasswordHash'",
                   vtest::Stored::Blob(Workgroup::Hash("theirs", salt)));
        other.Exec("COMMIT");
    });
    EXPECT_EQ(daotest::ErrorNumberOf([&] { db->NewPassword("old", "mine"); }), err::NotValidPassword);
    if (!finished) other.Exec("COMMIT");
    db->Close();
    // The other program's password stands.
    EXPECT_NO_THROW(DBEngine().OpenDatabase(path, false, false, ";pwd=theirs"));
    EXPECT_THROW(DBEngine().OpenDatabase(path, false, false, ";pwd=mine"), DaoError);
}

// A query on a file that another program holds locked waited for the lock
// once for every column the translation of the query looked up (whether it
// holds numbers, whether it is a Yes/No field), each wait as long as the
// limit, and only then failed: minutes instead of the limit.
TEST_F(WaitingForOtherProgramsTest, AQueryOnAFileAnotherProgramHoldsLockedWaitsForItOnceNotOnceForEveryColumnLookedUp) {
    // Each wait long enough for the waiting thread to be told of it.
    vtest::LockWaitLimitScope limit(std::chrono::milliseconds(1000));
    const std::string mainPath = tmp.file("main.db"), otherPath = tmp.file("other.db");
    {
        auto db = DBEngine().CreateDatabase(mainPath, dbLangGeneral);
        daotest::MakeTable(*db, "Here", {{"V", dbLong}, {"Flag", dbBoolean}, {"Name", dbText, 10}});
        auto other = DBEngine().CreateDatabase(otherPath, dbLangGeneral);
        daotest::MakeTable(*other, "There", {{"V", dbLong}, {"Flag", dbBoolean}, {"Name", dbText, 10}});
    }
    const struct {
        const char* what;
        std::string locked; // the file another program holds
        std::string sql;
    } cases[] = {
        {"a query on the database", mainPath, "SELECT V FROM Here WHERE Flag = True AND Name = 'a' AND V > 1"},
        {"a query through IN on the other file", otherPath,
         "SELECT V FROM There IN '" + otherPath + "' WHERE Flag = True AND Name = 'a' AND V > 1"},
        {"a query through IN that reads the database too", mainPath,
         "SELECT V FROM There IN '" + otherPath + "' WHERE Flag = True AND V NOT IN (SELECT V FROM Here)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto db = DBEngine().OpenDatabase(mainPath);
        // Read once while nothing is locked, as a user who has been at work.
        ASSERT_EQ(daotest::ColumnOf(*db, c.sql), std::vector<long>{});
        vtest::OtherProgram holder(c.locked);
        holder.Exec("BEGIN EXCLUSIVE");
        // A wait is told first after a short while, then about once a
        // second: a time waited shorter than the one told before starts
        // another wait.
        int waits = 0;
        std::chrono::milliseconds last{-1};
        LockWaitScope told([&](const std::string&, std::chrono::milliseconds waited, std::chrono::milliseconds) {
            if (waited <= last || last.count() < 0) ++waits;
            last = waited;
        });
        const auto error = daotest::ErrorOf([&] { daotest::ColumnOf(*db, c.sql); });
        holder.Exec("ROLLBACK");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Description(), "Could not use '" + c.locked + "'; file already in use.");
        EXPECT_EQ(waits, 1);
        db->Close();
        DBEngine().Reset();
    }
}
