// The application under a limit on the size of the files it writes (a
// file-size limit set for the user's processes): a file that may not grow
// any more fails the write, which the program reports, instead of ending
// the program.
#include "AppTestSupport.h"

#include "app/MDIMain.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace apptest;

namespace {

class FileSizeLimit : public AppFixture {
protected:
    ModalScript script;
};

} // namespace

TEST_F(FileSizeLimit, AFileThatCannotGrowFailsItsWriteInsteadOfEndingTheProgram) {
    // The system ends a process that writes past the limit with a signal
    // unless the process ignores it: a run whose output outgrew the limit,
    // or a settings file rewritten, took the whole program down with every
    // window open.
    script.CancelOpenDatabase();
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(script.Done());
    const std::string path = File("grows.bin");
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The program as it stands after its start, with a limit of 4096 bytes.
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const std::string block(8192, 'x');
        const ssize_t first = ::write(fd, block.data(), block.size());  // up to the limit
        const ssize_t second = ::write(fd, block.data(), block.size()); // past it
        const int cause = errno;
        ::_exit(first == 4096 && second == -1 && cause == EFBIG ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
