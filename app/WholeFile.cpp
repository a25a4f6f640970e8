#include "app/WholeFile.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace {

std::function<void(const std::string&)>& beforeRename() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

} // namespace

void SetBeforeWholeFileRename(std::function<void(const std::string& part)> hook) { beforeRename() = std::move(hook); }

void MakeFileWhole(const std::string& path, const std::function<void(const std::string& part)>& make) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // What earlier versions left under their one temporary name when killed.
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(path + ".part" + suffix, ec);
    // The file is made in a folder of this start's own beside it: two starts
    // making it at once (two machines on one shared folder) never touch each
    // other's half-made file; each finishes, and the one renamed last stays.
    // The target's folder first (the sample's data folder may not be there yet).
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent);
    std::string folder = path + ".part-XXXXXX";
    std::vector<char> name(folder.begin(), folder.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) throw fs::filesystem_error("mkdtemp", fs::path(folder), std::error_code(errno, std::generic_category()));
    folder = name.data();
    const std::string part = (fs::path(folder) / fs::path(path).filename()).string();
    try {
        make(part);
        if (beforeRename()) beforeRename()(part);
        fs::rename(part, path);
    } catch (...) {
        fs::remove_all(folder, ec);
        throw;
    }
    fs::remove_all(folder, ec);
}
