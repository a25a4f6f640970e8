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

