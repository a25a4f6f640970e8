// Engines on several threads at once, each with its own databases: no run of
// one may see the transactions, recordsets or errors of the other.
#include "db/Dao.h"
#include "engine/VarnelloCore.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using namespace dao;

namespace {

struct Prepared {
    std::string path;
    std::vector<std::int32_t> ids; // Describe with the median (work database), Chi-Square
};

// A database with the scenario tables, a data table whose values are offset
// by `offset`, and two scenarios; closed again before the threads start.
Prepared prepare(const vtest::TempDir& tmp, const std::string& name, double offset) {
    Prepared p{tmp.file(name), {}};
    const auto [describe, chi] = vtest::MakeDescribeAndChiSquareFile(p.path, offset);
    p.ids = {describe, chi};
    return p;
}

// 100 runs on this thread's own engine and databases; every failure is
// collected as text.
std::vector<std::string> runMany(const Prepared& p, double offset) {
    std::vector<std::string> failures;
    try {
        auto db = DBEngine().OpenDatabase(p.path);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        for (int i = 0; i < 100; ++i) {
            std::int32_t id = p.ids[static_cast<std::size_t>(i % 2)];
            if (!eng.RunScenario(id)) {
                failures.push_back("run " + std::to_string(i) + ": " + eng.ErrorInfo());
                continue;
            }
            if (i % 2 == 0) {
                // Group a: offset + 1..4, mean and median offset + 2.5; group b: offset + 5..9, offset + 7.
                auto rs = db->OpenRecordset("SELECT Mean FROM OutD ORDER BY G", dbOpenSnapshot);
                double a = rs->Fields("Mean")->Value().ToDouble();
                rs->MoveNext();
                double b = rs->Fields("Mean")->Value().ToDouble();
                if (a != offset + 2.5 || b != offset + 7)
                    failures.push_back("run " + std::to_string(i) + ": means " + std::to_string(a) + ", " +
                                       std::to_string(b));
            }
        }
        db->Close();
    } catch (const std::exception& e) {
        failures.push_back(std::string("exception: ") + e.what());
    }
    DBEngine().Reset();
    return failures;
}

TEST(EngineThreads, TwoEnginesOnTwoThreadsRunAHundredScenariosEachWithoutAFailure) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    Prepared one = prepare(tmp, "one.db", 0);
    Prepared two = prepare(tmp, "two.db", 1000);
    DBEngine().Reset();
    std::vector<std::string> f1, f2;
    std::thread t1([&] { f1 = runMany(one, 0); });
    std::thread t2([&] { f2 = runMany(two, 1000); });
    t1.join();
    t2.join();
    EXPECT_TRUE(f1.empty()) << f1.size() << " failures, first: " << f1.front();
    EXPECT_TRUE(f2.empty()) << f2.size() << " failures, first: " << f2.front();
}

void makeT(Database& db) {
    auto td = db.CreateTableDef("T");
    td->Fields().Append(td->CreateField("X", dbDouble));
    db.TableDefs().Append(td);
}

TEST(EngineThreads, ATransactionBegunOnOneThreadNeverReachesAnotherThreadsDatabase) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto mine = DBEngine().CreateDatabase(tmp.file("mine.db"), dbLangGeneral);
    makeT(*mine);
    DBEngine().Workspaces(0)->BeginTrans();
    int otherLevel = -1;
    std::thread other([&] {
        auto theirs = DBEngine().CreateDatabase(tmp.file("theirs.db"), dbLangGeneral);
        makeT(*theirs);
        theirs->Execute("INSERT INTO T VALUES (1)");
        otherLevel = DBEngine().Workspaces(0)->TransactionLevel();
        theirs->Close();
        DBEngine().Reset();
    });
    other.join();
    DBEngine().Workspaces(0)->Rollback();
    EXPECT_EQ(otherLevel, 0);
    // The other thread's insert was its own, outside this thread's transaction.
    auto theirs = DBEngine().OpenDatabase(tmp.file("theirs.db"));
    EXPECT_EQ(theirs->OpenRecordset("SELECT Count(*) AS n FROM T")->Fields("n")->Value().ToDouble(), 1.0);
    DBEngine().Reset();
}

TEST(EngineThreads, AThreadWorksAsTheUserLoggedOnWithoutLoggingOnAgain) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    const std::string wg = tmp.file("system.mdw");
    Workgroup::Create(wg);
    Workgroup::SetUser(wg, "Admin", "pw");
    DBEngine().SetSystemDB(wg);
    // Before anyone logs on, the default log-on (Admin, no password) is refused.
    std::string before;
    std::thread([&] {
        try {
            DBEngine().Workspaces(0);
        } catch (const DaoError& e) {
            before = e.Description();
        }
    }).join();
    EXPECT_EQ(before, "Not a valid account name or password.");
    DBEngine().CreateWorkspace("Stats", "Admin", "pw");
    std::string user;
    std::thread([&] { user = DBEngine().Workspaces(0)->UserName(); }).join();
    EXPECT_EQ(user, "Admin");
    DBEngine().Reset();
}

} // namespace
