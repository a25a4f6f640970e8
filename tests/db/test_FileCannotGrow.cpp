// A database file that may not grow past a size limit (a file-size limit
// on the process, a file system's largest file): the write fails naming the
// file and the cause.
#include "DaoTestTables.h"
#include "db/Dao.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dao;

namespace {

class FileCannotGrowTest : public daotest::FreshEngine {};

// Runs `body` in a child process whose files may not grow past `bytes`
// (writes beyond fail with EFBIG, the signal the limit sends ignored) and
// returns the text it reports.
template <class F>
std::string underFileSizeLimit(rlim_t bytes, F body) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string text;
        try {
            text = body();
        } catch (...) {
            text = "unexpected exception";
        }
        ssize_t ignored = ::write(fds[1], text.data(), text.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

} // namespace

TEST_F(FileCannotGrowTest, AWriteBeyondTheFilesLargestSizeNamesTheFileAndTheCause) {
    // It read "Disk or network error." alone: neither which file nor that it
    // had reached the largest size it may have.
    const std::string path = tmp.file("limited.db");
    auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
    daotest::MakeTable(*db, "T", {{"X", dbMemo}});
    db->Close();
    const std::string text = underFileSizeLimit(64 * 1024, [&]() -> std::string {
        auto d = DBEngine().OpenDatabase(path);
        const std::string row(200, 'x');
        try {
            for (int i = 0; i < 1000; ++i) d->Execute("INSERT INTO T (X) VALUES ('" + row + "')");
        } catch (const DaoError& e) {
            return e.Description();
        }
        return "no error";
    });
    EXPECT_NE(text.find("'" + path + "'"), std::string::npos) << text;
    EXPECT_NE(text.find(std::strerror(EFBIG)), std::string::npos) << text;
}
