// The settings store's file reader on any file content: every hive is walked
// (keys, sub-keys, values) as the settings and the recent-database list read
// it. Checks, beyond crashes and sanitizer reports: a write of one value
// keeps every value that could be read before it, with its type and data.
#include "platform/RegistryStore.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

using namespace platform;

namespace {

using Seen = std::map<std::tuple<HKEY, std::string, std::string>, RegValue>;

void Walk(HKEY root, const std::string& path, Seen& seen, int depth) {
    if (depth > 64) return;
    RegistryKey key = RegistryKey::Open(root, path, KEY_READ);
    if (!key) return;
    for (const std::string& name : key.ValueNames()) {
        std::optional<RegValue> v = key.QueryValue(name);
        if (!v) {
            std::fprintf(stderr, "value \"%s\" of \"%s\" listed but not readable\n", name.c_str(), path.c_str());
            std::abort();
        }
        seen.emplace(std::make_tuple(root, path, name), *v);
    }
    for (const std::string& sub : key.SubKeyNames()) Walk(root, path.empty() ? sub : path + "\\" + sub, seen, depth + 1);
}

Seen WalkAll() {
    Seen seen;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
        Walk(root, "", seen, 0);
    return seen;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Same(const RegValue& a, const RegValue& b) {
    return a.type == b.type && (a.type == REG_DWORD ? a.dword == b.dword : a.data == b.data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        std::string p = "/tmp/varnello-fuzz-registry-" + std::to_string(::getpid()) + ".ini";
        RegistryStore::SetPath(p);
        return p;
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const Seen before = WalkAll();

    RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, "Software\\Fuzz\\Written", KEY_ALL_ACCESS);
    if (key && key.SetString("Value", "x")) {
        const Seen after = WalkAll();
        for (const auto& [where, value] : before) {
            const auto& [root, keyPath, name] = where;
            if (root == HKEY_CURRENT_USER && Lower(keyPath) == "software\\fuzz\\written") continue;
            auto it = after.find(where);
            if (it == after.end() || !Same(it->second, value)) {
                std::fprintf(stderr, "value \"%s\" of \"%s\" lost or changed by a write elsewhere\n", name.c_str(),
                             keyPath.c_str());
                std::abort();
            }
        }
    }
    return 0;
}
