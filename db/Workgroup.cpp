#include "db/Workgroup.h"

#include "db/Connection.h"
#include "db/DaoError.h"
#include "db/Sha256.h"

#include <filesystem>
#include <memory>
#include <random>

namespace dao {

namespace {

constexpr unsigned kIterations = 20000;

// The workgroup file is not there, cannot be opened or read.
[[noreturn]] void cannotOpen(int rc) {
    throw DaoError(err::CannotOpenWorkgroup,
                   "Cannot start your application. The workgroup information file is missing or opened exclusively "
                   "by another user.", rc);
}

// The file on a connection of its own, which waits for another program's
// lock on it (another copy of the program setting a password) as long as a
// statement on any database file waits, telling the waiting thread so.
std::unique_ptr<Connection> openFile(const std::string& path, bool create) {
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = OpenSqlite(path, flags, &raw);
    auto conn = std::make_unique<Connection>(SqliteHandle(raw), path, false);
    if (rc != SQLITE_OK)
        cannotOpen(rc);
    conn->WaitForLocksOfOthers();
    return conn;
}

std::string lookupSalt(sqlite3* db, const std::string& user, std::string& hash, bool& found) {
    sqlite3_stmt* raw = nullptr;
    found = false;
    if (sqlite3_prepare_v2(db, "SELECT Salt, Hash FROM MSysAccounts WHERE Name = ?1 COLLATE NOCASE", -1, &raw, nullptr) != SQLITE_OK) {
        StmtHandle h(raw);
        cannotOpen(sqlite3_errcode(db));
    }
    StmtHandle st(raw);
    sqlite3_bind_text(raw, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(raw);
    // A file that could not be read (locked longer than a statement waits)
    // is no unknown user.
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        cannotOpen(rc);
    if (rc != SQLITE_ROW) return {};
    found = true;
    std::string salt(static_cast<const char*>(sqlite3_column_blob(raw, 0)), static_cast<std::size_t>(sqlite3_column_bytes(raw, 0)));
    hash.assign(static_cast<const char*>(sqlite3_column_blob(raw, 1)), static_cast<std::size_t>(sqlite3_column_bytes(raw, 1)));
    return salt;
}

} // namespace

std::string Workgroup::NewSalt() {
    std::random_device rd;
    std::string s(16, '\0');
    for (auto& c : s) c = static_cast<char>(rd() & 0xff);
    return s;
}

std::string Workgroup::Hash(const std::string& password, const std::string& salt) {
    return Pbkdf2Sha256(password, salt, kIterations, 32);
}

void Workgroup::Create(const std::string& path) {
    if (std::filesystem::exists(path)) throw DaoError(3204, "Database already exists.");
    auto db = openFile(path, true);
    char* msg = nullptr;
    int rc = sqlite3_exec(db->handle(),
                          "CREATE TABLE MSysAccounts (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, Salt BLOB NOT NULL,"
                          " Hash BLOB NOT NULL)", nullptr, nullptr, &msg);
    sqlite3_free(msg);
    if (rc != SQLITE_OK) throw DaoError(err::CannotOpenWorkgroup, "Cannot create the workgroup information file.", rc);
    db.reset();
    SetUser(path, "Admin", "");
}

bool Workgroup::Verify(const std::string& path, const std::string& user, const std::string& password) {
    if (!std::filesystem::exists(path))
        cannotOpen(0);
    auto db = openFile(path, false);
    std::string hash;
    bool found;
    std::string salt = lookupSalt(db->handle(), user, hash, found);
    if (!found) return false;
    std::string computed = Hash(password, salt);
    // Constant-time comparison.
    unsigned char diff = computed.size() == hash.size() ? 0 : 1;
    for (std::size_t i = 0; i < computed.size() && i < hash.size(); ++i)
        diff |= static_cast<unsigned char>(computed[i] ^ hash[i]);
    return diff == 0;
}

void Workgroup::SetUser(const std::string& path, const std::string& user, const std::string& password) {
    auto db = openFile(path, false);
    std::string salt = NewSalt();
    std::string hash = Hash(password, salt);
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db->handle(), "INSERT OR REPLACE INTO MSysAccounts (Name, Salt, Hash) VALUES (?1, ?2, ?3)", -1, &raw, nullptr);
    StmtHandle st(raw);
    if (rc != SQLITE_OK) throw DaoError(err::CannotOpenWorkgroup, "Cannot write the workgroup information file.", rc);
    sqlite3_bind_text(raw, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(raw, 2, salt.data(), static_cast<int>(salt.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(raw, 3, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(raw) != SQLITE_DONE) throw DaoError(err::CannotOpenWorkgroup, "Cannot write the workgroup information file.");
}

} // namespace dao
