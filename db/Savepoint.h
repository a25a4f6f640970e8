#pragma once

#include <string>

namespace dao {

class Connection;

// A savepoint over changes that belong together (a catalogue row and the
// object it describes): they are rolled back when it goes out of scope
// unreleased, by an exception or an early return, so the file never keeps
// one without the other.
class Savepoint {
public:
    Savepoint(Connection& c, std::string name);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    // Keeps the changes.
    void Release();

private:
    Connection& m_conn;
    std::string m_name;
    bool m_active = true;
};

} // namespace dao
