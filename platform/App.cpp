#include "platform/App.h"

#include <mutex>
#include <system_error>
#include <filesystem>

namespace platform {

namespace {

struct AppState {
    std::mutex mutex;
    std::string title;
    std::string helpFile;
    std::string pathOverride;
    int major = 0;
    int minor = 1;
    int revision = 0;
};

AppState& state() {
    static AppState s;
    return s;
}

} // namespace

std::string App::ExecutablePath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string App::EXEName() {
    std::filesystem::path p(ExecutablePath());
    return p.stem().string();
}

std::string App::Path() {
    {
        std::lock_guard lock(state().mutex);
        if (!state().pathOverride.empty()) return state().pathOverride;
    }
    std::filesystem::path p(ExecutablePath());
    auto folder = p.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

void App::SetPathOverride(std::string path) {
    std::lock_guard lock(state().mutex);
    state().pathOverride = std::move(path);
}

std::string App::Title() {
    {
        std::lock_guard lock(state().mutex);
        if (!state().title.empty()) return state().title;
    }
    return EXEName();
}

void App::SetTitle(std::string title) {
    std::lock_guard lock(state().mutex);
    state().title = std::move(title);
}

int App::Major() {
    std::lock_guard lock(state().mutex);
    return state().major;
}
int App::Minor() {
    std::lock_guard lock(state().mutex);
    return state().minor;
}
int App::Revision() {
    std::lock_guard lock(state().mutex);
    return state().revision;
}
void App::SetVersion(int major, int minor, int revision) {
    std::lock_guard lock(state().mutex);
    state().major = major;
    state().minor = minor;
    state().revision = revision;
}

std::string App::HelpFile() {
    std::lock_guard lock(state().mutex);
    return state().helpFile;
}
void App::SetHelpFile(std::string helpFile) {
    std::lock_guard lock(state().mutex);
    state().helpFile = std::move(helpFile);
}

} // namespace platform
