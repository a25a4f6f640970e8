#pragma once
// The files made in a folder while a piece of code runs, in order: each one
// created there under its name, or given its name by a rename. A file that
// comes by a rename was never seen half written under that name, by a
// reader or after a program killed halfway; every rename onto the same name
// is a state of that file such a program may leave.
//
//     auto made = vtest::FilesMadeDuring(dir, [&] { mru.SetMRUList(...); });
//     EXPECT_EQ(vtest::Renames(made, "registry.ini"), 1);
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vtest {

struct FileMade {
    bool renamed; // false: created under its name
    std::string name;
};

// Empty when the folder cannot be watched.
template <class F>
std::vector<FileMade> FilesMadeDuring(const std::string& folder, F run) {
    std::vector<FileMade> made;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Creations are watched with the renames also where only renames count:
    // the system merges a run of like events into one.
    if (fd < 0 || ::inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        if (fd >= 0) ::close(fd);
        run();
        return made;
    }
    run();
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(fd, events, sizeof events)) > 0;)
        for (const char* p = events; p < events + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len > 0) made.push_back(FileMade{(e->mask & IN_MOVED_TO) != 0, e->name});
            p += sizeof(inotify_event) + e->len;
        }
    ::close(fd);
    return made;
}

inline long Renames(const std::vector<FileMade>& made, const std::string& name) {
    return std::count_if(made.begin(), made.end(), [&](const FileMade& f) { return f.renamed && f.name == name; });
}

inline long Creations(const std::vector<FileMade>& made, const std::string& name) {
    return std::count_if(made.begin(), made.end(), [&](const FileMade& f) { return !f.renamed && f.name == name; });
}

} // namespace vtest
