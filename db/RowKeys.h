#pragma once
// What a recordset on a table knows of its rows by position: the row's key
// (RowKeys) and whether the recordset deleted it (RowMarks). Both read like
// a std::vector of the positions.
//
// Keys are held as runs of consecutive numbers. The rows of a table filled in
// order take one run, and so do the rows a recordset adds, which SQLite
// numbers one above the largest key: writing any number of rows costs no
// memory for their keys, and they still read back by position, bookmark and
// LastModified. Keys so scattered that runs would take more room than the
// keys themselves are held one by one instead.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dao {

class RowKeys {
public:
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    // The key at a position below size().
    std::int64_t operator[](std::size_t position) const;
    void push_back(std::int64_t key);
    // count positions, each holding key.
    void assign(std::size_t count, std::int64_t key);
    void clear() noexcept;

    // The runs held; 0 once the keys are held one by one.
    std::size_t Runs() const noexcept { return m_runs.size(); }

private:
    struct Run {
        std::size_t first;  // the run's first position
        std::int64_t key;   // the key there; position first + i holds key + i
    };
    void holdOneByOne();

    std::vector<Run> m_runs;
    std::vector<std::int64_t> m_keys; // one by one, once runs took more room
    bool m_oneByOne = false;
    std::size_t m_size = 0;
};

// Marks by position, none held until the first is set: positions past the
// last one set read as unmarked.
class RowMarks {
public:
    std::size_t size() const noexcept { return m_size; }
    bool operator[](std::size_t position) const noexcept {
        return position < m_marks.size() && m_marks[position] != 0;
    }
    void Set(std::size_t position);
    void push_back(char mark);
    // count positions, each marked when mark is not 0.
    void assign(std::size_t count, char mark);
    void clear() noexcept;

private:
    std::vector<char> m_marks; // up to the last position marked
    std::size_t m_size = 0;
};

} // namespace dao
