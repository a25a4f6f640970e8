#pragma once
// Test helpers for the non-window code: a message-box and beep recorder, a
// registry store redirected into a temporary folder, a fixed screen, and
// ways to run a check in a child process, also as an unprivileged user.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/RegistryStore.h"
#include "platform/Screen.h"
#include "support/TempDir.h"

namespace vtest {

struct ShownMessage {
    std::string prompt;
    int buttons = 0;
    std::string title;
};

// Records every message box and beep while it lives; answers each box with
// the given result (or the default button's when answer is 0).
class HookRecorder {
public:
    explicit HookRecorder(int answer = 0) {
        m_oldBox = SetMessageBoxHandler([this, answer](const std::string& p, int b, const std::string& t) {
            messages.push_back({p, b, t});
            return answer != 0 ? answer : DefaultButtonResult(b);
        });
        m_oldBeep = SetBeepHandler([this] { ++beeps; });
    }
    ~HookRecorder() {
        SetMessageBoxHandler(std::move(m_oldBox));
        SetBeepHandler(std::move(m_oldBeep));
    }
    HookRecorder(const HookRecorder&) = delete;
    HookRecorder& operator=(const HookRecorder&) = delete;

    std::vector<ShownMessage> messages;
    int beeps = 0;

private:
    MessageBoxHandler m_oldBox;
    BeepHandler m_oldBeep;
};

// The registry store in a file of a fresh temporary folder; redirections nest.
class RegistryRedirect {
public:
    RegistryRedirect() : path(dir.file("registry.ini")) {
        active().push_back(path);
        platform::RegistryStore::SetPath(path);
    }
    ~RegistryRedirect() {
        active().pop_back();
        platform::RegistryStore::SetPath(active().empty() ? std::string() : active().back());
    }
    RegistryRedirect(const RegistryRedirect&) = delete;
    RegistryRedirect& operator=(const RegistryRedirect&) = delete;

    TempDir dir;
    std::string path;

private:
    static std::vector<std::string>& active() {
        static std::vector<std::string> paths;
        return paths;
    }
};

// A screen of the given size in pixels while it lives.
class ScreenOverride {
public:
    explicit ScreenOverride(platform::ScreenInfo info) {
        m_old = platform::SetScreenInfoProvider([info] { return info; });
    }
    ScreenOverride(int widthPx, int heightPx) {
        platform::ScreenInfo info;
        info.width = widthPx;
        info.height = heightPx;
        m_old = platform::SetScreenInfoProvider([info] { return info; });
    }
    ~ScreenOverride() { platform::SetScreenInfoProvider(std::move(m_old)); }
    ScreenOverride(const ScreenOverride&) = delete;
    ScreenOverride& operator=(const ScreenOverride&) = delete;

private:
    platform::ScreenInfoProvider m_old;
};

// Runs check in a child process under a user who owns nothing here (the
// "nobody" account when the tests run as root, who may read but not write the
// store; otherwise the current user, whose write bits the test removes) and
// returns its result: the child's exit status.
inline int RunUnprivileged(const std::function<int()>& check) {
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::geteuid() == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        }
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// Runs check in a child process of this program and returns its result: the
// child's exit status, -2 when it did not end by itself.
inline int RunInChildProcess(const std::function<int()>& check) {
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(check());
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// Makes the folder and the file readable but not writable by anyone but root.
inline void MakeReadOnlyForOthers(const std::string& folder, const std::string& file) {
    ::chmod(folder.c_str(), 0555);
    ::chmod(file.c_str(), 0444);
}

} // namespace vtest
