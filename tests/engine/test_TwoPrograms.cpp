// Two programs on one database file: runs take turns on the file's write
// lock, waiting for each other as long as a user would, and say so in their
// progress text.
#include "db/Dao.h"
#include "engine/VarnelloCore.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace dao;

namespace {

struct Prepared {
    std::string path;
    std::int32_t describe = 0; // groups a and b, mean and median (a work database)
    std::int32_t chi = 0;      // a Chi-Square with its detail table
};

// Data: X 1..9, G "a" for 1..4 and "b" for 5..9; closed again before use.
Prepared prepare(const vtest::TempDir& tmp) {
    Prepared p;
    p.path = tmp.file("shared.db");
    std::tie(p.describe, p.chi) = vtest::MakeDescribeAndChiSquareFile(p.path);
    DBEngine().Reset();
    return p;
}

// The means of OutD, group a then b ("" when they cannot be read).
std::string means(Database& db) {
    try {
        auto rs = db.OpenRecordset("SELECT Mean FROM OutD ORDER BY G", dbOpenSnapshot);
        std::string out;
        for (; !rs->EOF_(); rs->MoveNext()) out += rs->Fields("Mean")->Value().ToString() + " ";
        return out;
    } catch (const DaoError& e) {
        return e.Description();
    }
}

// One program: `runs` runs on its own connection, alternating the two
// scenarios; each failure is one line of the returned text.
std::string program(const Prepared& p, int runs) {
    std::ostringstream failures;
    try {
        auto db = DBEngine().OpenDatabase(p.path);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        for (int i = 0; i < runs; ++i) {
            const bool describe = i % 2 == 0;
            if (!eng.RunScenario(describe ? p.describe : p.chi)) {
                failures << "run " << i << ": " << eng.ErrorInfo() << "\n";
                continue;
            }
            // Group a: 1..4, mean 2.5; group b: 5..9, mean 7 (whichever program wrote the table last).
            if (describe && means(*db) != "2.5 7 ") failures << "run " << i << ": means " << means(*db) << "\n";
        }
        db->Close();
    } catch (const std::exception& e) {
        failures << e.what() << "\n";
    }
    return failures.str();
}

class TwoProgramsTest : public ::testing::Test {
protected:
    void SetUp() override { DBEngine().Reset(); }
    void TearDown() override { DBEngine().Reset(); }
    vtest::TempDir tmp;
};

// Records the progress texts of a run.
struct Progress : IVarnelloEvents {
    std::vector<std::string> texts;
    void StatStatus(std::string& msg) override { texts.push_back(msg); }
};

} // namespace

TEST_F(TwoProgramsTest, TwoProcessesOfFortyRunsEachOnOneFileAllSucceed) {
    const Prepared p = prepare(tmp);
    constexpr int kRuns = 40;
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
        children[k] = ::fork();
        ASSERT_GE(children[k], 0);
        if (children[k] == 0) {
            const std::string failures = program(p, kRuns);
            std::ofstream(tmp.file("failures" + std::to_string(k) + ".txt")) << failures;
            ::_exit(failures.empty() ? 0 : 1);
        }
    }
    for (int k = 0; k < 2; ++k) {
        int status = 0;
        ASSERT_EQ(::waitpid(children[k], &status, 0), children[k]);
        std::ifstream in(tmp.file("failures" + std::to_string(k) + ".txt"));
        const std::string failures((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "process " << k << ":\n" << failures;
        EXPECT_EQ(failures, "") << "process " << k;
    }
    vtest::OtherProgram check(p.path);
    EXPECT_EQ(check.Text("PRAGMA integrity_check"), "ok");
}

TEST_F(TwoProgramsTest, ARunWaitsForAnotherProgramsLockSayingSoAndFailsOnlyAfterTheLimit) {
    const Prepared p = prepare(tmp);
    const struct {
        int holdMs;  // how long the other program keeps its write lock
        int limitMs; // how long a statement waits
        bool ok;
        const char* why;
    } cases[] = {
        {700, 5000, true, "the lock is released while the run waits"},
        {1500, 600, false, "the lock outlasts the wait"},
    };
    for (const auto& c : cases) {
        vtest::LockWaitLimitScope limit(std::chrono::milliseconds(c.limitMs));
        vtest::OtherProgram other(p.path);
        other.Exec("BEGIN IMMEDIATE");
        std::thread release([&other, &c] {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.holdMs));
            other.Exec("ROLLBACK");
        });
        Progress progress;
        auto db = DBEngine().OpenDatabase(p.path);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        eng.SetShowProgress(true);
        eng.SetEvents(&progress);
        const bool ok = eng.RunScenario(p.describe);
        release.join();
        EXPECT_EQ(ok, c.ok) << c.why << ": " << eng.ErrorInfo();
        if (!c.ok) {
            EXPECT_EQ(eng.ErrorInfo(), "The output table OutD could not be written: Could not use '" + p.path +
                                           "'; file already in use.")
                << c.why;
        }
        const std::string waiting = "Waiting for another program to release " + p.path + " (";
        bool told = false;
        for (const auto& t : progress.texts) told = told || t.rfind(waiting, 0) == 0;
        EXPECT_TRUE(told) << c.why;
        if (c.ok) {
            EXPECT_EQ(means(*db), "2.5 7 ") << c.why;
        }
        db->Close();
        DBEngine().Reset();
    }
}

TEST_F(TwoProgramsTest, StopPressedWhileARunWaitsForAnotherProgramsLockEndsTheWaitAndTheRunIsStopped) {
    const Prepared p = prepare(tmp);
    // Long enough for a wait that ignored the stop to be told of more than
    // once (the waiting thread hears of it about once a second).
    vtest::LockWaitLimitScope limit(std::chrono::seconds(3));
    vtest::OtherProgram other(p.path);
    other.Exec("BEGIN IMMEDIATE");
    auto db = DBEngine().OpenDatabase(p.path);
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    eng.SetShowProgress(true);
    // Stop is pressed as soon as the progress text says the run waits.
    struct StopWhenWaiting : IVarnelloEvents {
        VarnelloCore* engine = nullptr;
        int waitsTold = 0;
        void StatStatus(std::string& msg) override {
            if (msg.rfind("Waiting for another program to release ", 0) != 0) return;
            if (++waitsTold == 1) engine->RequestStop();
        }
    } progress;
    progress.engine = &eng;
    eng.SetEvents(&progress);
    EXPECT_FALSE(eng.RunScenario(p.describe));
    other.Exec("ROLLBACK");
    EXPECT_EQ(eng.ErrorInfo(), Varnello::StoppedMessage);
    EXPECT_EQ(progress.waitsTold, 1) << "the run went on waiting after Stop";
    // Nothing of the stopped run was written.
    EXPECT_EQ(means(*db).rfind("The database engine cannot find the input table or query 'OutD'", 0), 0u) << means(*db);
    db->Close();
}

TEST_F(TwoProgramsTest, ARunOnAFileAnotherProgramHoldsLockedFailsAfterOneWaitNotOneForEveryLookup) {
    const Prepared p = prepare(tmp);
    // One word of waiting for each wait (told first after a short while,
    // then once a second).
    vtest::LockWaitLimitScope limit(std::chrono::milliseconds(1000));
    auto db = DBEngine().OpenDatabase(p.path);
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    eng.SetShowProgress(true);
    ASSERT_TRUE(eng.RunScenario(p.describe)) << eng.ErrorInfo();
    Progress progress;
    eng.SetEvents(&progress);
    vtest::OtherProgram other(p.path);
    other.Exec("BEGIN EXCLUSIVE");
    EXPECT_FALSE(eng.RunScenario(p.describe));
    other.Exec("ROLLBACK");
    EXPECT_NE(eng.ErrorInfo().find("Could not use '" + p.path + "'; file already in use."), std::string::npos)
        << eng.ErrorInfo();
    int waits = 0;
    for (const auto& t : progress.texts) waits += t.rfind("Waiting for another program to release ", 0) == 0;
    EXPECT_EQ(waits, 1);
    db->Close();
}
