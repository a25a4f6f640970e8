// A file of an earlier version (text declared with the collation GENERAL,
// which only this program knows) is repaired in one transaction: stopped at
// any step, by a failure or by a kill, it is left whole as it was, and the
// next open repairs it.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "db/RepairHook.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace dao;

namespace {

// The earlier version's order, as this test writes it: letters folded to
// small ones (ASCII and the Latin-1 capitals), then by code point.
std::vector<unsigned> folded(const void* p, int n) {
    const auto* s = static_cast<const unsigned char*>(p);
    std::vector<unsigned> out;
    for (int i = 0; i < n;) {
        unsigned c = s[i];
        if (c >= 0xC0 && i + 1 < n) {
            c = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            i += 2;
        } else {
            ++i;
        }
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
        out.push_back(c);
    }
    return out;
}

int compareFolded(void*, int n1, const void* p1, int n2, const void* p2) {
    const auto a = folded(p1, n1), b = folded(p2, n2);
    return a < b ? -1 : b < a ? 1 : 0;
}

// Names whose folded order interleaves capitals and small letters, where
// NOCASE (ASCII only) puts every "É" before every "é": an index left in the
// old order misses rows under the new one.
std::vector<std::string> names() {
    std::vector<std::string> out;
    for (int i = 0; i < 200; ++i) {
        std::string n = std::to_string(1000 + i);
        out.push_back((i % 2 ? "\xC3\x89" : "\xC3\xA9") + n); // "É" or "é"
    }
    return out;
}

void makeOldFile(const std::string& path) {
    vtest::OtherProgram old(path);
    sqlite3_create_collation(old.handle(), "GENERAL", SQLITE_UTF8, nullptr, compareFolded);
    old.Exec("CREATE TABLE T (K INTEGER PRIMARY KEY, Name VARCHAR(20) COLLATE GENERAL, Note TEXT COLLATE GENERAL);"
             "CREATE UNIQUE INDEX \"T.ByName\" ON T (Name);"
             "CREATE INDEX \"T.ByNote\" ON T (Note);");
    old.Exec("BEGIN");
    for (const std::string& n : names()) old.Exec("INSERT INTO T (Name, Note) VALUES (?1, ?1)", vtest::Stored::Text(n));
    old.Exec("COMMIT");
}

// How the file stands: "repaired", "old" (still declaring GENERAL), or what is
// wrong with it. A repaired file is checked by a connection that knows only
// SQLite's own collations; an old one by a connection that knows the old order.
std::string stateOf(const std::string& path) {
    vtest::OtherProgram reader(path);
    sqlite3* raw = reader.handle();
    // Reading rolls back what a killed process left half done.
    const bool old = reader.Text("SELECT count(*) FROM sqlite_master WHERE sql LIKE '%COLLATE GENERAL%'") != "0";
    if (old) sqlite3_create_collation(raw, "GENERAL", SQLITE_UTF8, nullptr, compareFolded);
    std::string state = old ? "old" : "repaired";
    const std::string check = reader.Text("PRAGMA integrity_check");
    if (check != "ok") state = "integrity_check: " + check;
    // Every row is found through each index.
    for (const char* index : {"T.ByName", "T.ByNote"}) {
        const std::string column = std::string(index) == "T.ByName" ? "Name" : "Note";
        const std::string sql = "SELECT count(*) FROM T INDEXED BY \"" + std::string(index) + "\" WHERE " + column + " = ?1";
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr);
        for (const std::string& n : names()) {
            sqlite3_reset(st);
            sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) != SQLITE_ROW || sqlite3_column_int(st, 0) != 1) {
                state = "the lookup of " + n + " through " + index + " misses";
                break;
            }
        }
        sqlite3_finalize(st);
    }
    return state;
}

class RepairOldFileTest : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        makeOldFile(tmp.file("template.db"));
        ASSERT_EQ(stateOf(tmp.file("template.db")), "old");
    }
    void TearDown() override {
        SetRepairStepHook(nullptr);
        FreshEngine::TearDown();
    }
    // A fresh copy of the old file.
    std::string oldFile() {
        const std::string path = tmp.file("old.db");
        std::filesystem::remove(path);
        std::filesystem::copy_file(tmp.file("template.db"), path);
        return path;
    }
    // Opens and closes the file through the layer: the open repairs it.
    static void openThroughTheLayer(const std::string& path) {
        DatabasePtr db = DBEngine().OpenDatabase(path);
        db->Close();
        DBEngine().Reset();
    }
    // The number of steps of a whole repair (the hook's largest step).
    int stepsOfARepair() {
        int steps = 0;
        SetRepairStepHook([&steps](int step) { steps = std::max(steps, step); });
        const std::string path = oldFile();
        openThroughTheLayer(path);
        SetRepairStepHook(nullptr);
        EXPECT_EQ(stateOf(path), "repaired");
        return steps;
    }
};

// The hook's number for the moment after the commit.
constexpr int kAfterCommit = 0;

} // namespace

TEST_F(RepairOldFileTest, AFailureOrAKillAtAnyStepLeavesTheFileWholeAndTheNextOpenRepairsIt) {
    const int steps = stepsOfARepair();
    ASSERT_GT(steps, 3);
    // A full disk at the step (the repair fails and the file opens as it is),
    // or a SIGKILL there (in a child process, leaving what it left).
    for (const bool kill : {false, true}) {
        int withJournal = 0;
        for (int stop = 1; stop <= steps + 1; ++stop) {
            const int at = stop > steps ? kAfterCommit : stop;
            SCOPED_TRACE((kill ? "killed at step " : "failure at step ") + std::to_string(at));
            const std::string path = oldFile();
            if (!kill) {
                SetRepairStepHook([at](int step) {
                    if (step == at) throw DaoError(3026, "Not enough space on disk.");
                });
                EXPECT_NO_THROW(openThroughTheLayer(path)) << "the file opens as it is";
                SetRepairStepHook(nullptr);
            } else {
                const pid_t child = ::fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    SetRepairStepHook([at](int step) {
                        if (step == at) ::raise(SIGKILL);
                    });
                    try {
                        DBEngine().OpenDatabase(path);
                    } catch (...) {
                    }
                    ::_exit(0);
                }
                int status = 0;
                ASSERT_EQ(::waitpid(child, &status, 0), child);
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child reached the step";
                // Killed after its first write, the repair leaves a journal the next reader rolls back.
                if (std::filesystem::exists(path + "-journal")) ++withJournal;
            }
            EXPECT_EQ(stateOf(path), at == kAfterCommit ? "repaired" : "old");
            openThroughTheLayer(path);
            EXPECT_EQ(stateOf(path), "repaired");
        }
        if (kill) {
            EXPECT_GT(withJournal, 0) << "no kill came after the repair wrote to the file";
        }
    }
}
