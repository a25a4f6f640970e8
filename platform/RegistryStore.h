#pragma once
// A file-backed stand-in for the system registry.
//
// Hives hold keys; a key is a path of names joined by "\" and compared without
// regard to letter case (the spelling of the first creation is kept); a key
// holds named values (names also compared without regard to case) of a type:
// strings (REG_SZ), 32-bit numbers (REG_DWORD) and raw bytes of other types.
//
// Everything lives in one text file, by default varnello/registry.ini in
// $XDG_CONFIG_HOME when that is an absolute path, else in ~/.config. The
// environment variable VARNELLO_REGISTRY, or RegistryStore::SetPath, points
// it elsewhere.
// Every write reads the file, changes it and replaces it atomically (a
// temporary file renamed over the old one), under an exclusive lock on a
// companion ".lock" file so that two programs do not lose each other's
// writes. When the store's path is a symbolic link, the file it leads to is
// the one replaced (and locked); the link stays. Lines of the file that are
// no value or key it reads (comments, lines edited by hand, values another
// version writes in a form this one does not know) are written back as they
// stood, in their place. A file that is there but cannot be read (no read
// permission, a read error, saved in UTF-16 or UTF-32) is never written: the
// write fails and the file stays as it is.
// Reads take no lock and need nothing but read access to the file:
// a key opened for reading works on a file the user may not write.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

using HKEY = std::uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

using REGSAM = std::uint32_t;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
// Access bits that need write rights on the store.
constexpr REGSAM KEY_WRITE_BITS = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;

constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;

struct RegValue {
    std::uint32_t type = REG_NONE;
    // The bytes of every type but REG_DWORD, exactly as stored: a string
    // value may or may not carry its terminating NUL.
    std::string data;
    std::int32_t dword = 0; // REG_DWORD only

    // A REG_SZ value of the text followed by one NUL, as the system stores it.
    static RegValue String(const std::string& text);
    static RegValue DWord(std::int32_t value);
    static RegValue Raw(std::uint32_t type, std::string bytes);
};

// An open key. Holds no system resource: it names a key of the store and the
// access it was opened with; every read and write goes to the file.
class RegistryKey {
public:
    RegistryKey() = default;

    // Opens an existing key. The result is closed when the key does not exist,
    // or when write access is asked for and the store may not be written.
    static RegistryKey Open(HKEY root, const std::string& path, REGSAM access);
    // Opens a key, creating it and every missing parent first. Closed result
    // when the store cannot be written.
    static RegistryKey Create(HKEY root, const std::string& path, REGSAM access);

    bool IsOpen() const noexcept { return m_open; }
    explicit operator bool() const noexcept { return m_open; }
    void Close() noexcept { m_open = false; }

    HKEY Root() const noexcept { return m_root; }
    const std::string& Path() const noexcept { return m_path; }
    REGSAM Access() const noexcept { return m_access; }

    // Needs KEY_QUERY_VALUE. Nothing when the value (or the key) is missing.
    std::optional<RegValue> QueryValue(const std::string& name) const;
    // Need KEY_SET_VALUE. False when the write failed.
    bool SetValue(const std::string& name, const RegValue& value) const;
    bool SetString(const std::string& name, const std::string& text) const;
    bool SetDWord(const std::string& name, std::int32_t value) const;
    // Needs KEY_SET_VALUE. Writes every pair in one replacement of the file,
    // so that a reader, or a program killed halfway, sees all of them
    // written or none. False when the write failed.
    bool SetValues(const std::vector<std::pair<std::string, RegValue>>& values) const;
    // Needs KEY_QUERY_VALUE and KEY_SET_VALUE. Reads the key's values and
    // writes the pairs `change` makes of them, in one replacement of the
    // file under its write lock: no other program's write comes between the
    // reading and the writing, so that a change made from what was read
    // (a list with one entry more) loses no other program's change. The key
    // is created when missing. False when the write failed.
    using Values = std::vector<std::pair<std::string, RegValue>>;
    bool ChangeValues(const std::function<Values(const Values& current)>& change) const;
    bool DeleteValue(const std::string& name) const;
    // Need KEY_QUERY_VALUE / KEY_ENUMERATE_SUB_KEYS.
    std::vector<std::string> ValueNames() const;
    // Every value of the key, from one reading of the file: values that
    // belong together (an item and its tag) are read as one writer left
    // them. Empty when the key is missing.
    Values QueryValues() const;
    std::vector<std::string> SubKeyNames() const;

private:
    RegistryKey(HKEY root, std::string path, REGSAM access)
        : m_root(root), m_path(std::move(path)), m_access(access), m_open(true) {}

    HKEY m_root = 0;
    std::string m_path;
    REGSAM m_access = 0;
    bool m_open = false;
};

class RegistryStore {
public:
    // The file in use.
    static std::string Path();
    // Points the store at another file; an empty text goes back to the
    // default (VARNELLO_REGISTRY, else the user's configuration folder).
    static void SetPath(std::string path);
    static std::string DefaultPath();

    static bool KeyExists(HKEY root, const std::string& path);
    // Deletes the key with its values and every key below it.
    static bool DeleteKey(HKEY root, const std::string& path);
    // "HKEY_LOCAL_MACHINE" ...; empty for an unknown root.
    static std::string HiveName(HKEY root);
    // True when the store's file can be written (created) by this process.
    static bool Writable();
};

} // namespace platform
