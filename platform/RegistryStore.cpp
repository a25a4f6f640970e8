#include "platform/RegistryStore.h"

#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <locale>
#include <map>
#include <mutex>
#include <sstream>

namespace platform {

namespace fs = std::filesystem;

namespace {

// ---- naming ---------------------------------------------------------------

struct HiveName {
    HKEY root;
    const char* name;
};
constexpr HiveName kHives[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKEY_USERS"},
    {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
    {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool equalNoCase(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

// Full name of a key: hive name, and the path after a "\" unless it is empty.
std::string fullName(HKEY root, const std::string& path) {
    std::string hive = RegistryStore::HiveName(root);
    return path.empty() ? hive : hive + "\\" + path;
}

// ---- text encoding of the file -------------------------------------------

std::string encode(const std::string& s, const char* extra) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F || c == '%' || std::strchr(extra, c) != nullptr) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string decode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int h = hexDigit(s[i + 1]), l = hexDigit(s[i + 2]);
            if (h >= 0 && l >= 0) {
                out += static_cast<char>(h * 16 + l);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

const char* typeToken(std::uint32_t type) {
    switch (type) {
    case REG_SZ: return "sz";
    case REG_EXPAND_SZ: return "expand_sz";
    case REG_BINARY: return "binary";
    case REG_DWORD: return "dword";
    case REG_MULTI_SZ: return "multi_sz";
    default: return nullptr;
    }
}

bool parseType(const std::string& token, std::uint32_t& type) {
    for (std::uint32_t t : {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ})
        if (token == typeToken(t)) {
            type = t;
            return true;
        }
    // "type" and the type's number in decimal digits, within 32 bits.
    if (token.rfind("type", 0) == 0 && token.size() > 4 && token.size() <= 14 &&
        token.find_first_not_of("0123456789", 4) == std::string::npos) {
        unsigned long long v = std::strtoull(token.c_str() + 4, nullptr, 10);
        if (v <= UINT32_MAX) {
            type = static_cast<std::uint32_t>(v);
            return true;
        }
    }
    return false;
}

// ---- the store in memory --------------------------------------------------

struct Value {
    std::string name;
    RegValue value;
};

// A line of the file that is no value this store reads (a comment, a blank
// line, a line edited by hand or written by another version), kept to be
// written back where it stood: after the first `after` values of its key.
struct KeptLine {
    size_t after;
    std::string text;
};

struct Key {
    std::string name; // full name as first created
    std::vector<Value> values;
    std::vector<KeptLine> kept;

    Value* find(const std::string& valueName) {
        for (auto& v : values)
            if (equalNoCase(v.name, valueName)) return &v;
        return nullptr;
    }
    void erase(std::vector<Value>::iterator it) {
        const size_t index = static_cast<size_t>(it - values.begin());
        values.erase(it);
        for (auto& line : kept)
            if (line.after > index) --line.after;
    }
};

// The first line of every file this store writes.
constexpr const char* kFileHeading = "; Varnello registry store";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

struct Store {
    std::map<std::string, Key> keys; // by lower-case full name
    // The file began with the UTF-8 byte-order mark some editors write; it
    // is written back.
    bool byteOrderMark = false;
    // The file's sections in their order: a key (by its lower-case full
    // name), or loose lines that belong to no key (those before the first
    // section, and those under a section heading that does not read as one).
    // Keys made by this process go in among them in the order of their names.
    struct Section {
        bool loose = false;
        std::string id;                 // a key's
        std::vector<std::string> lines; // loose lines
    };
    std::vector<Section> sections;

    Key* find(const std::string& full) {
        auto it = keys.find(lower(full));
        return it == keys.end() ? nullptr : &it->second;
    }
    // Creates the key, the hive itself and every parent first, where they are
    // missing. A key of the file being read goes after everything read so
    // far; any other new key after its parent, before the first key after
    // that whose name sorts after it.
    Key& create(const std::string& full, bool inFileOrder = false) {
        size_t pos = full.find('\\');
        while (pos != std::string::npos) {
            add(full.substr(0, pos), inFileOrder);
            pos = full.find('\\', pos + 1);
        }
        return add(full, inFileOrder);
    }
    void erase(std::map<std::string, Key>::iterator it) {
        for (auto s = sections.begin(); s != sections.end(); ++s)
            if (!s->loose && s->id == it->first) {
                sections.erase(s);
                break;
            }
        keys.erase(it);
    }
    // The lines that belong to no key, at the end of what was read so far.
    std::vector<std::string>& looseLines() {
        if (sections.empty() || !sections.back().loose) sections.push_back(Section{true, {}, {}});
        return sections.back().lines;
    }

private:
    Key& add(const std::string& full, bool inFileOrder) {
        const std::string id = lower(full);
        auto [it, made] = keys.try_emplace(id, Key{full, {}, {}});
        if (made) {
            auto at = sections.end();
            if (!inFileOrder) {
                // After its parent (made first), so that the parent's heading
                // comes first in the file and keeps its spelling when read.
                auto from = sections.begin();
                const size_t cut = id.rfind('\\');
                if (cut != std::string::npos) {
                    const std::string parent = id.substr(0, cut);
                    for (auto s = sections.begin(); s != sections.end(); ++s)
                        if (!s->loose && s->id == parent) {
                            from = s + 1;
                            break;
                        }
                }
                for (auto s = from; s != sections.end(); ++s)
                    if (!s->loose && s->id > id) {
                        at = s;
                        break;
                    }
            }
            sections.insert(at, Section{false, id, {}});
        }
        return it->second;
    }
};

// One value line, "name"=type:data; false when the line is no such value.
bool parseValue(const std::string& line, Value& v) {
    if (line.empty() || line[0] != '"') return false;
    size_t close = line.find('"', 1);
    if (close == std::string::npos || close + 1 >= line.size() || line[close + 1] != '=') return false;
    size_t colon = line.find(':', close + 2);
    if (colon == std::string::npos) return false;
    std::uint32_t type = 0;
    if (!parseType(line.substr(close + 2, colon - close - 2), type)) return false;
    v.name = decode(line.substr(1, close - 1));
    v.value.type = type;
    std::string data = line.substr(colon + 1);
    if (type == REG_DWORD) {
        // 32 bits, written signed or unsigned; anything else is not this
        // store's number and stays as it was written.
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(data.c_str(), &end, 10);
        if (data.empty() || !end || *end != '\0' || errno == ERANGE || n < INT32_MIN || n > UINT32_MAX)
            return false;
        v.value.dword = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
    } else {
        v.value.data = decode(data);
    }
    return true;
}

Store parse(std::istream& in) {
    Store store;
    Key* current = nullptr;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            first = false;
            if (line.rfind(kByteOrderMark, 0) == 0) {
                store.byteOrderMark = true;
                line.erase(0, std::strlen(kByteOrderMark));
            }
            if (line == kFileHeading) continue; // written anew with the store
        }
        if (!line.empty() && line[0] == '[') {
            if (line.back() == ']') {
                current = &store.create(decode(line.substr(1, line.size() - 2)), true);
                continue;
            }
            // A heading this store cannot read: it and the lines under it
            // belong to no key it knows.
            current = nullptr;
            store.looseLines().push_back(line);
            continue;
        }
        Value v;
        if (!current || !parseValue(line, v)) {
            if (current)
                current->kept.push_back(KeptLine{current->values.size(), line});
            else
                store.looseLines().push_back(line);
            continue;
        }
        if (Value* old = current->find(v.name))
            *old = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
    return store;
}

std::string serialize(const Store& store) {
    std::ostringstream out;
    // Numbers as digits alone, whatever global locale the program chose (a
    // German one would write 1234567 as "1.234.567", which parse skips).
    out.imbue(std::locale::classic());
    if (store.byteOrderMark) out << kByteOrderMark;
    out << kFileHeading << '\n';
    for (const auto& section : store.sections) {
        if (section.loose) {
            for (const auto& line : section.lines) out << line << '\n';
            continue;
        }
        const Key& key = store.keys.at(section.id);
        out << '[' << encode(key.name, "[]") << "]\n";
        auto kept = key.kept.begin();
        for (size_t i = 0; i <= key.values.size(); ++i) {
            for (; kept != key.kept.end() && (kept->after <= i || i == key.values.size()); ++kept)
                out << kept->text << '\n';
            if (i == key.values.size()) break;
            const Value& v = key.values[i];
            out << '"' << encode(v.name, "\"") << "\"=";
            const char* token = typeToken(v.value.type);
            if (token)
                out << token;
            else
                out << "type" << v.value.type;
            out << ':';
            if (v.value.type == REG_DWORD)
                out << v.value.dword;
            else
                out << encode(v.value.data, "");
            out << '\n';
        }
    }
    return out.str();
}

// ---- the file ---------------------------------------------------------------

std::mutex& pathMutex() {
    static std::mutex m;
    return m;
}
std::string& pathOverride() {
    static std::string p;
    return p;
}

// Holds an exclusive lock on the store's companion lock file.
class WriteLock {
public:
    explicit WriteLock(const std::string& storePath) {
        std::error_code ec;
        fs::create_directories(fs::path(storePath).parent_path(), ec);
        m_fd = ::open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~WriteLock() {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Writes the text to a temporary file in the same folder and renames it over
// the store, so that a reader sees the old or the new store, never half of one.
// Called under the write lock: one name serves every writer, so that what a
// writer killed half-way left is taken over by the next write, not kept
// beside the store for good.
bool saveAtomically(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    bool ok = platform::WriteAll(fd, text);
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// The file a write replaces: the store's path with every symbolic link on
// it followed, so that a store the user keeps elsewhere and links to stays
// linked and gets the write (a link to a file not made yet included).
std::string writtenPath(const std::string& path) {
    fs::path at(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::error_code ec;
        fs::path to = fs::read_symlink(at, ec);
        if (ec) break;
        at = to.is_absolute() ? to : at.parent_path() / to;
    }
    return at.string();
}

// A file an editor saved in UTF-16 or UTF-32, known by the byte-order mark
// at its start: the store reads none of it, and writing its own lines into
// it would leave a file that is neither.
bool inWideEncoding(const std::string& text) {
    for (const std::string& mark : {std::string("\xFF\xFE"), std::string("\xFE\xFF"), std::string("\0\0\xFE\xFF", 4)})
        if (text.compare(0, mark.size(), mark) == 0) return true;
    return false;
}

// The whole store: false when the file is there but
// cannot be read to its end (no read permission, a folder, a read error) or
// is in an encoding the store does not read.
// A store that is not there yet is empty.
bool loadWhole(const std::string& path, Store& store) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return false;
        store = {};
        return true;
    }
    std::string text;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok || inWideEncoding(text)) return false;
    std::istringstream in(text);
    store = parse(in);
    return true;
}

// The store for reading: empty when it is not there or cannot be read.
Store load(const std::string& path) {
    Store store;
    if (!loadWhole(path, store)) return {};
    return store;
}

// Reads, changes and writes the store under the write lock. A store that
// cannot be read is left as it is: writing what this process knows of it
// would drop every setting it could not see.
template <class F>
bool modify(F&& change) {
    const std::string path = writtenPath(RegistryStore::Path());
    if (!RegistryStore::Writable()) return false;
    WriteLock lock(path);
    if (!lock.Held()) return false;
    Store store;
    if (!loadWhole(path, store)) return false;
    if (!change(store)) return false;
    return saveAtomically(path, serialize(store));
}

bool knownHive(HKEY root) { return !RegistryStore::HiveName(root).empty(); }

} // namespace

// ---- RegValue ---------------------------------------------------------------

RegValue RegValue::String(const std::string& text) {
    RegValue v;
    v.type = REG_SZ;
    v.data = text;
    v.data.push_back('\0');
    return v;
}

RegValue RegValue::DWord(std::int32_t value) {
    RegValue v;
    v.type = REG_DWORD;
    v.dword = value;
    return v;
}

RegValue RegValue::Raw(std::uint32_t type, std::string bytes) {
    RegValue v;
    v.type = type;
    v.data = std::move(bytes);
    return v;
}

// ---- RegistryStore ----------------------------------------------------------

std::string RegistryStore::DefaultPath() {
    if (const char* env = std::getenv("VARNELLO_REGISTRY"); env && *env) return env;
    fs::path base;
    // A relative $XDG_CONFIG_HOME is not a configuration folder: it would
    // follow the working folder.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (const passwd* pw = ::getpwuid(::geteuid())) home = pw->pw_dir;
        }
        base = fs::path(home ? home : "/tmp") / ".config";
    }
    return (base / "varnello" / "registry.ini").string();
}

std::string RegistryStore::Path() {
    {
        std::lock_guard lock(pathMutex());
        if (!pathOverride().empty()) return pathOverride();
    }
    return DefaultPath();
}

void RegistryStore::SetPath(std::string path) {
    std::lock_guard lock(pathMutex());
    pathOverride() = std::move(path);
}

std::string RegistryStore::HiveName(HKEY root) {
    for (const auto& h : kHives)
        if (h.root == root) return h.name;
    return {};
}

bool RegistryStore::Writable() {
    fs::path file(writtenPath(Path()));
    std::error_code ec;
    if (fs::exists(file, ec)) {
        // A bare file name lies in the working folder.
        const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        return ::access(file.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
    }
    // The nearest existing folder on the way must let us create the rest.
    fs::path dir = file.parent_path();
    while (!dir.empty() && !fs::exists(dir, ec)) {
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    if (dir.empty()) dir = ".";
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool RegistryStore::KeyExists(HKEY root, const std::string& path) {
    if (!knownHive(root)) return false;
    if (path.empty()) return true;
    Store store = load(Path());
    return store.find(fullName(root, path)) != nullptr;
}

bool RegistryStore::DeleteKey(HKEY root, const std::string& path) {
    if (!knownHive(root) || path.empty()) return false;
    const std::string id = lower(fullName(root, path));
    return modify([&](Store& store) {
        bool found = false;
        for (auto it = store.keys.begin(); it != store.keys.end();) {
            if (it->first == id || it->first.rfind(id + "\\", 0) == 0) {
                store.erase(it++);
                found = true;
            } else {
                ++it;
            }
        }
        return found;
    });
}

// ---- RegistryKey ------------------------------------------------------------

RegistryKey RegistryKey::Open(HKEY root, const std::string& path, REGSAM access) {
    if (!knownHive(root)) return {};
    if ((access & KEY_WRITE_BITS) != 0 && !RegistryStore::Writable()) return {};
    if (!RegistryStore::KeyExists(root, path)) return {};
    return RegistryKey(root, path, access);
}

RegistryKey RegistryKey::Create(HKEY root, const std::string& path, REGSAM access) {
    if (!knownHive(root)) return {};
    if (RegistryStore::KeyExists(root, path)) {
        if ((access & KEY_WRITE_BITS) != 0 && !RegistryStore::Writable()) return {};
        return RegistryKey(root, path, access);
    }
    const std::string full = fullName(root, path);
    bool ok = modify([&](Store& store) {
        store.create(full);
        return true;
    });
    if (!ok) return {};
    return RegistryKey(root, path, access);
}

std::optional<RegValue> RegistryKey::QueryValue(const std::string& name) const {
    if (!m_open || (m_access & KEY_QUERY_VALUE) == 0) return std::nullopt;
    Store store = load(RegistryStore::Path());
    Key* key = store.find(fullName(m_root, m_path));
    if (!key) return std::nullopt;
    Value* v = key->find(name);
    if (!v) return std::nullopt;
    return v->value;
}

bool RegistryKey::SetValue(const std::string& name, const RegValue& value) const {
    return SetValues({{name, value}});
}

// Sets one value of a key; a name already there keeps its first spelling.
static void assign(Key& key, const std::string& name, RegValue value) {
    if (Value* old = key.find(name))
        old->value = std::move(value);
    else
        key.values.push_back(Value{name, std::move(value)});
}

bool RegistryKey::SetValues(const std::vector<std::pair<std::string, RegValue>>& values) const {
    if (!m_open || (m_access & KEY_SET_VALUE) == 0) return false;
    const std::string full = fullName(m_root, m_path);
    return modify([&](Store& store) {
        Key& key = store.create(full);
        for (const auto& [name, value] : values) assign(key, name, value);
        return true;
    });
}

bool RegistryKey::ChangeValues(const std::function<Values(const Values& current)>& change) const {
    if (!m_open || (m_access & KEY_SET_VALUE) == 0 || (m_access & KEY_QUERY_VALUE) == 0) return false;
    const std::string full = fullName(m_root, m_path);
    return modify([&](Store& store) {
        Key& key = store.create(full);
        Values current;
        for (const auto& v : key.values) current.emplace_back(v.name, v.value);
        for (auto& [name, value] : change(current)) assign(key, name, std::move(value));
        return true;
    });
}

bool RegistryKey::SetString(const std::string& name, const std::string& text) const {
    return SetValue(name, RegValue::String(text));
}

bool RegistryKey::SetDWord(const std::string& name, std::int32_t value) const {
    return SetValue(name, RegValue::DWord(value));
}

bool RegistryKey::DeleteValue(const std::string& name) const {
    if (!m_open || (m_access & KEY_SET_VALUE) == 0) return false;
    const std::string full = fullName(m_root, m_path);
    return modify([&](Store& store) {
        Key* key = store.find(full);
        if (!key) return false;
        for (auto it = key->values.begin(); it != key->values.end(); ++it)
            if (equalNoCase(it->name, name)) {
                key->erase(it);
                return true;
            }
        return false;
    });
}

std::vector<std::string> RegistryKey::ValueNames() const {
    std::vector<std::string> names;
    if (!m_open || (m_access & KEY_QUERY_VALUE) == 0) return names;
    Store store = load(RegistryStore::Path());
    if (Key* key = store.find(fullName(m_root, m_path)))
        for (const auto& v : key->values) names.push_back(v.name);
    return names;
}

RegistryKey::Values RegistryKey::QueryValues() const {
    Values values;
    if (!m_open || (m_access & KEY_QUERY_VALUE) == 0) return values;
    Store store = load(RegistryStore::Path());
    if (Key* key = store.find(fullName(m_root, m_path)))
        for (const auto& v : key->values) values.emplace_back(v.name, v.value);
    return values;
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    if (!m_open || (m_access & KEY_ENUMERATE_SUB_KEYS) == 0) return names;
    Store store = load(RegistryStore::Path());
    const std::string prefix = lower(fullName(m_root, m_path)) + "\\";
    for (const auto& [id, key] : store.keys) {
        if (id.size() <= prefix.size() || id.compare(0, prefix.size(), prefix) != 0) continue;
        if (id.find('\\', prefix.size()) != std::string::npos) continue;
        names.push_back(key.name.substr(prefix.size()));
    }
    return names;
}

} // namespace platform
