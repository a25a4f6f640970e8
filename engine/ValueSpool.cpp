#include "engine/ValueSpool.h"

#include "db/TableAppender.h"
#include "db/TableRowReader.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace dao;

namespace {
std::size_t gMemoryLimit = ValueSpool::DefaultMemoryLimit;
// Values packed into one row of the table: (value, weight) pairs of doubles,
// 4 KiB a row, so that a spilt group costs one insert and one read a few
// hundred values rather than one a value.
constexpr std::size_t kPairsPerRow = 256;
}

std::size_t ValueSpool::SetMemoryLimit(std::size_t limit) {
    const std::size_t old = gMemoryLimit;
    gMemoryLimit = limit == 0 ? DefaultMemoryLimit : limit;
    return old;
}

ValueSpool::ValueSpool(RunContext& cx) : m_cx(cx), m_limit(gMemoryLimit) {}

ValueSpool::~ValueSpool() = default;

void ValueSpool::BeginGroup() {
    m_x.clear();
    m_w.clear();
    m_count = 0;
    m_appender.reset();
    if (m_rows > 0) {
        if (m_rows > 500) {
            m_cx.Quorb_DeleteTable(true, TableName);
            m_tableExists = false;
        } else {
            m_cx.Quorb_EmptyTable(true, TableName, static_cast<long>(m_rows), m_cx.OutputDatabase());
        }
    }
    m_rows = 0;
}

void ValueSpool::Add(double x, double w) {
    if (m_x.size() >= m_limit) spill();
    m_x.push_back(x);
    m_w.push_back(w);
    ++m_count;
}

// The values held go to the table, in order, and memory is free for the next.
void ValueSpool::spill() {
    // The work database is made when a group first outgrows memory.
    if (!m_cx.TempDatabase() && !m_cx.Quorb_UTIL_MakeTempDB())
        throw std::runtime_error("Temp database could not be created");
    if (!m_cx.TempDatabase()) throw std::runtime_error("Temp database could not be created");
    if (!m_tableExists) {
        CreateWorkTable(m_cx.TempDatabase(), TableName, {{"Rows", dbLongBinary}});
        m_tableExists = true;
    }
    if (!m_appender) {
        m_appender = std::make_unique<TableAppender>(m_cx.TempDatabase(), TableName, std::vector<std::string>{"Rows"}, 16);
        m_first = m_appender->NextRowId();
    }
    double pairs[2 * kPairsPerRow];
    for (std::size_t at = 0; at < m_x.size(); at += kPairsPerRow) {
        const std::size_t n = std::min(kPairsPerRow, m_x.size() - at);
        for (std::size_t i = 0; i < n; ++i) {
            pairs[2 * i] = m_x[at + i];
            pairs[2 * i + 1] = m_w[at + i];
        }
        m_appender->Append({}, pairs, n * 2 * sizeof(double));
        ++m_rows;
    }
    m_appender->Flush();
    m_x.clear();
    m_w.clear();
}

void ValueSpool::readTable(void (*each)(void*, double, double), void* fn) {
    TableRowReader rows(m_cx.TempDatabase(), TableName, {"Rows"}, m_first, m_first + m_rows - 1);
    double pairs[2 * kPairsPerRow];
    while (rows.Next()) {
        const std::size_t bytes = std::min(static_cast<std::size_t>(rows.Bytes(0)), sizeof pairs);
        if (bytes) std::memcpy(pairs, rows.Blob(0), bytes);
        for (std::size_t i = 0; i < bytes / (2 * sizeof(double)); ++i) each(fn, pairs[2 * i], pairs[2 * i + 1]);
    }
}

void ValueSpool::Close() noexcept {
    try {
        m_appender.reset();
        if (m_tableExists) m_cx.Quorb_DeleteTable(true, TableName);
        m_tableExists = false;
        m_rows = 0;
    } catch (...) {
    }
}
