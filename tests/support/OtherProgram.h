#pragma once
// Another program on the same database file: its own SQLite connection
// through the sqlite3 C API, not through this system's layer. It stores
// values as it pleases (SQLite keeps the value, not the declared type).
//
//     vtest::OtherProgram other(path);
//     other.Exec("CREATE TABLE T (Small SMALLINT)");
//     other.Exec("INSERT INTO T VALUES (?1)", vtest::Stored::Text("12abc"));
#include <cstdint>
#include <string>

struct sqlite3;

namespace vtest {

// A value as the other program binds it.
struct Stored {
    enum class Kind { Null, Integer, Real, Text, Blob } kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // a text's or a blob's

    static Stored Null() { return Stored{}; }
    static Stored Int(std::int64_t v) { Stored s; s.kind = Kind::Integer; s.integer = v; return s; }
    static Stored Real(double v) { Stored s; s.kind = Kind::Real; s.real = v; return s; }
    static Stored Text(std::string v) { Stored s; s.kind = Kind::Text; s.bytes = std::move(v); return s; }
    static Stored Blob(std::string v) { Stored s; s.kind = Kind::Blob; s.bytes = std::move(v); return s; }
};

class OtherProgram {
public:
    explicit OtherProgram(const std::string& path);
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Runs the statements; a failure fails the test.
    void Exec(const std::string& sql);
    // Runs one statement with `value` bound to ?1.
    void Exec(const std::string& sql, const Stored& value);
    // The first column of the first row of a query, as text ("" for none or Null).
    std::string Text(const std::string& sql);
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// A legacy program's table named "Données" in Latin-1 bytes ("Donn\xE9es"),
// with the columns `columns` (as CREATE TABLE writes them) and the rows
// `rows` (as INSERT's VALUES writes them; none when empty).
void WriteLatin1Table(const std::string& path, const std::string& columns, const std::string& rows = {});

} // namespace vtest
