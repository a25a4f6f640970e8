// The work databases of runs: in a folder of the user's own, private files,
// and nothing left of a dead process once the next engine starts.
#include "db/Dao.h"
#include "engine/VarnelloCore.h"
#include "engine/WorkFolder.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dao;
namespace fs = std::filesystem;

namespace {

using vtest::TmpdirScope;

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0xFFFF;
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A process id that no longer runs: a child that has ended and been reaped.
pid_t deadPid() {
    pid_t p = ::fork();
    if (p == 0) ::_exit(0);
    ::waitpid(p, nullptr, 0);
    return p;
}

class WorkFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        db = DBEngine().CreateDatabase(tmp.file("w.db"), dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        auto td = db->CreateTableDef("Data");
        td->Fields().Append(td->CreateField("X", dbDouble));
        db->TableDefs().Append(td);
        db->Execute("INSERT INTO Data (X) VALUES (1)");
        db->Execute("INSERT INTO Data (X) VALUES (4)");
        // Percentiles sorts through a work database.
        vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Percentiles", "Data", "Out");
        s.options = {{"PercentileRadio", "Median"}};
        s.fields = {{"X", "X"}};
        id = vtest::StoreScenario(*db, s);
    }
    void TearDown() override { DBEngine().Reset(); }

    vtest::TempDir tmp;
    DatabasePtr db;
    std::int32_t id = 0;
    const std::string folder = tmp.file("varnello-" + std::to_string(::geteuid()));
};

// Looks into the work folder while the analysis runs.
struct Peek : IVarnelloEvents {
    std::string folder;
    unsigned folderMode = 0;
    std::vector<std::pair<std::string, unsigned>> files;
    void StatStatus(std::string& msg) override {
        if (msg != "Analyzing records...") return;
        folderMode = modeOf(folder);
        for (const auto& f : filesIn(folder)) files.push_back({f, modeOf(folder + "/" + f)});
    }
};

TEST_F(WorkFolderTest, WorkDatabasesArePrivateFilesInAPrivateFolderAndGoWithTheRun) {
    TmpdirScope scope(tmp.path().string());
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0755); // made by someone too open: put right
    Peek peek;
    peek.folder = folder;
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    eng.SetEvents(&peek);
    eng.SetShowProgress(true);
    ASSERT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
    EXPECT_EQ(peek.folderMode, 0700u);
    ASSERT_EQ(peek.files.size(), 1u);
    EXPECT_EQ(peek.files[0].first.rfind("vrl" + std::to_string(::getpid()) + "-", 0), 0u) << peek.files[0].first;
    EXPECT_EQ(peek.files[0].second, 0600u);
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST_F(WorkFolderTest, TheFilesOfDeadProcessesAreRemovedAtTheNextStart) {
    TmpdirScope scope(tmp.path().string());
    WorkFolder::Path();
    const std::string dead = "vrl" + std::to_string(deadPid()) + "-0-0.TMP";
    const std::string mine = "vrl" + std::to_string(::getpid()) + "-99-0.TMP";
    const std::string parent = "vrl" + std::to_string(::getppid()) + "-0-0.TMP"; // a live process
    for (const auto& f : {dead, dead + "-journal", mine, parent, std::string("notes.txt")})
        std::ofstream(folder + "/" + f) << "x";
    { VarnelloCore next; }
    std::vector<std::string> kept = {"notes.txt", mine, parent};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(filesIn(folder), kept);
}

// Process numbers are given again: a program started the same way each time
// (the first process of a container restarted with its temporary folder, a
// service) often gets the number its killed predecessor had, and any number
// comes round again on a busy machine. The files of a killed run whose number
// a running process bears now were kept for as long as that one ran, and
// those bearing this very process's number for ever: each killed run left its
// work database (as large as the data it staged) behind for good.
TEST_F(WorkFolderTest, TheFilesOfADeadProcessWhoseNumberARunningOneBearsNowAreRemovedAtTheNextStart) {
    TmpdirScope scope(tmp.path().string());
    WorkFolder::Path();
    // Written long before any running process started: 2000-01-01.
    auto writeOld = [&](const std::string& name) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "x";
        const struct timespec times[2] = {{946684800, 0}, {946684800, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    const std::string me = std::to_string(::getpid()), parent = std::to_string(::getppid());
    const std::string earlierMine = "vrl" + me + "-5-0.TMP";        // a killed process that had this one's number
    const std::string earlierParents = "vrl" + parent + "-7-0.TMP"; // ... or the parent's
    for (const auto& f : {earlierMine, earlierMine + "-journal", earlierParents}) writeOld(f);
    // Kept: files written since their process started, this one's own open
    // work database, and an old file a running process holds locked.
    const std::string mine = "vrl" + me + "-99-0.TMP", parents = "vrl" + parent + "-0-0.TMP";
    for (const auto& f : {mine, parents}) std::ofstream(folder + "/" + f) << "x";
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    const std::string held = "vrl" + std::to_string(holder == 0 ? ::getpid() : holder) + "-0-0.TMP";
    if (holder == 0) {
        const int fd = ::open((folder + "/" + held).c_str(), O_RDWR | O_CREAT, 0600);
        const struct timespec times[2] = {{946684800, 0}, {946684800, 0}};
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const char c = fd >= 0 && ::futimens(fd, times) == 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        char done;
        (void)!::read(release[0], &done, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');

    { VarnelloCore next; }
    std::vector<std::string> kept = {mine, parents, held};
    std::sort(kept.begin(), kept.end());
    const std::vector<std::string> left = filesIn(folder);
    (void)!::write(release[1], "x", 1);
    ::waitpid(holder, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
    EXPECT_EQ(left, kept);

    // A run's own work database is not taken for a leftover by an engine
    // that starts while it is open.
    struct StartAnother : IVarnelloEvents {
        void StatStatus(std::string& msg) override {
            if (msg == "Analyzing records...") { VarnelloCore another; }
        }
    } during;
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    eng.SetEvents(&during);
    eng.SetShowProgress(true);
    ASSERT_TRUE(eng.RunScenario(id)) << eng.ErrorInfo();
}

TEST_F(WorkFolderTest, AWorkFolderThatCannotBeMadeFailsTheRunNamingIt) {
    const std::string notAFolder = tmp.file("plain-file");
    std::ofstream(notAFolder) << "x";
    TmpdirScope scope(notAFolder);
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    EXPECT_FALSE(eng.RunScenario(id));
    EXPECT_EQ(eng.ErrorInfo(), "The temporary work database cannot be made in " + notAFolder + "/varnello-" +
                                   std::to_string(::geteuid()) + ": " + std::strerror(ENOTDIR));
}

} // namespace
