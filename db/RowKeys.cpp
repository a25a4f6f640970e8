#include "db/RowKeys.h"

#include <algorithm>

namespace dao {

namespace {

// Runs are given up for keys one by one where they hold more than half as
// many runs as keys (a run takes twice a key's room); a few runs never are.
constexpr std::size_t kFewRuns = 16;

} // namespace

std::int64_t RowKeys::operator[](std::size_t position) const {
    if (m_oneByOne)
        return m_keys[position];
    // The last run that starts at or before the position.
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), position,
                               [](std::size_t pos, const Run& r) { return pos < r.first; });
    const Run& run = *(it - 1);
    return run.key + static_cast<std::int64_t>(position - run.first);
}

void RowKeys::push_back(std::int64_t key) {
    if (m_oneByOne) {
        m_keys.push_back(key);
        ++m_size;
        return;
    }
    if (!m_runs.empty()) {
        // The run goes on when the key follows its last one (counted without
        // overflow: no key follows the largest).
        const Run& last = m_runs.back();
        const std::int64_t lastKey = last.key + static_cast<std::int64_t>(m_size - 1 - last.first);
        if (lastKey != INT64_MAX && key == lastKey + 1) {
            ++m_size;
            return;
        }
    }
    m_runs.push_back(Run{m_size, key});
    ++m_size;
    if (m_runs.size() > kFewRuns && 2 * m_runs.size() > m_size)
        holdOneByOne();
}

void RowKeys::holdOneByOne() {
    std::vector<std::int64_t> keys;
    keys.reserve(m_size);
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        const std::size_t end = r + 1 < m_runs.size() ? m_runs[r + 1].first : m_size;
        for (std::size_t p = m_runs[r].first; p < end; ++p)
            keys.push_back(m_runs[r].key + static_cast<std::int64_t>(p - m_runs[r].first));
    }
    m_keys = std::move(keys);
    m_runs.clear();
    m_runs.shrink_to_fit();
    m_oneByOne = true;
}

void RowKeys::assign(std::size_t count, std::int64_t key) {
    clear();
    for (std::size_t i = 0; i < count; ++i)
        push_back(key);
}

void RowKeys::clear() noexcept {
    m_runs.clear();
    m_keys.clear();
    m_oneByOne = false;
    m_size = 0;
}

void RowMarks::Set(std::size_t position) {
    if (position >= m_marks.size())
        m_marks.resize(position + 1, 0);
    m_marks[position] = 1;
    m_size = std::max(m_size, position + 1);
}

void RowMarks::push_back(char mark) {
    if (mark)
        Set(m_size);
    else
        ++m_size;
}

void RowMarks::assign(std::size_t count, char mark) {
    clear();
    if (mark)
        m_marks.assign(count, 1);
    m_size = count;
}

void RowMarks::clear() noexcept {
    m_marks.clear();
    m_size = 0;
}

} // namespace dao
