#pragma once
// ValueSpool: a group's (value, weight) pairs, read again in the order they
// were added. An analysis whose statistics need a second look at a group's
// values (a mean or median to compare with, a distribution function to walk)
// adds each usable value as it reads the group and walks them again when the
// group is complete, instead of moving its input back.
//
// Up to a limit the values stay in memory (16 bytes a value); past it they go
// in order to the work table "statTemp1" of the run's temporary database
// (Rows: up to 256 (value, weight) pairs of doubles packed in a blob a row)
// through the batch appender and are read back from there, so memory does
// not grow with the size of a group. The table is
// made when a group first needs it; after a group that wrote more than 500
// rows it is dropped, after 1 to 500 rows emptied; Close drops it. The run's
// temporary database itself is made when a group first outgrows memory.
#include "db/Dao.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RunContext;

namespace dao {
class TableAppender;
}

class ValueSpool {
public:
    static constexpr const char* TableName = "statTemp1";
    // Values of one group held in memory (512 KiB) before they go to the table.
    static constexpr std::size_t DefaultMemoryLimit = std::size_t(1) << 15;

    explicit ValueSpool(RunContext& cx);
    ~ValueSpool();
    ValueSpool(const ValueSpool&) = delete;
    ValueSpool& operator=(const ValueSpool&) = delete;

    // Forgets the previous group's values.
    void BeginGroup();
    void Add(double x, double w);
    std::int64_t Size() const noexcept { return m_count; }
    // Calls fn(value, weight) for every value of the group in the order added.
    template <class Fn>
    void Replay(Fn&& fn);
    // Drops the table (at the end of the run). Errors are ignored.
    void Close() noexcept;

    // Sets the memory limit of the spools made from now on (0: the default)
    // and returns the previous one; lets tests send small groups through the table.
    static std::size_t SetMemoryLimit(std::size_t limit);

private:
    void spill();
    // Reads the rows written for the group: fn(x, w) for each.
    void readTable(void (*each)(void*, double, double), void* fn);

    RunContext& m_cx;
    std::size_t m_limit;
    std::vector<double> m_x, m_w; // the values held in memory (after those in the table)
    std::int64_t m_count = 0;
    std::unique_ptr<dao::TableAppender> m_appender;
    std::int64_t m_first = 0, m_rows = 0; // rowids of the group's rows in the table: first, count
    bool m_tableExists = false;
};

template <class Fn>
void ValueSpool::Replay(Fn&& fn) {
    if (m_rows > 0)
        readTable([](void* f, double x, double w) { (*static_cast<Fn*>(f))(x, w); }, &fn);
    for (std::size_t i = 0; i < m_x.size(); ++i) fn(m_x[i], m_w[i]);
}
