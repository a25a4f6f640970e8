#include "engine/SortStage.h"

#include "db/DaoError.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

using namespace dao;

void SortStage::CreateSortTemp(RunContext& engine, const std::string& name) {
    CreateWorkTable(engine.TempDatabase(), name, {{"Field", dbInteger}, {"Data", dbDouble}, {"Weight", dbDouble}});
}

namespace {

std::size_t gMemoryLimit = 0; // 0: each stage's shape

// Blocks grow from 1,024 to 65,536 rows, and to no more than a quarter of
// the rows a stage holds: a small group takes little, and a large one leaves
// at most one block's room unused per stream.
constexpr std::size_t FirstBlock = std::size_t(1) << 10;
constexpr std::size_t LargestBlock = std::size_t(1) << 16;

// Rows packed into one row of the table (8 KiB of four numbers): a reader
// holds one such row of each run it merges.
constexpr std::size_t PackedRows = 256;

// Sorts a block of rows of W numbers by their first `keys` numbers.
template <std::size_t W>
void sortRows(std::vector<double>& block, int keys) {
    const std::size_t n = block.size() / W;
    std::vector<std::array<double, W>> rows(n);
    std::memcpy(rows.data(), block.data(), n * W * sizeof(double));
    if (keys == 1)
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
    else
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a[0] < b[0] || (a[0] == b[0] && a[1] < b[1]); });
    std::memcpy(block.data(), rows.data(), n * W * sizeof(double));
}

void sortBlock(std::vector<double>& block, std::size_t width, int keys) {
    switch (width) {
    case 1: std::sort(block.begin(), block.end()); break;
    case 2: sortRows<2>(block, keys); break;
    case 3: sortRows<3>(block, keys); break;
    default: sortRows<4>(block, keys); break;
    }
}

} // namespace

std::size_t SortStage::SetMemoryLimit(std::size_t rows) {
    std::size_t old = gMemoryLimit;
    gMemoryLimit = rows;
    return old;
}

std::size_t SortStage::HeldRows(std::size_t rows) { return gMemoryLimit ? gMemoryLimit : std::max<std::size_t>(1, rows); }

std::size_t SortStage::RowsIn(std::size_t bytes, std::size_t columns) {
    return std::max<std::size_t>(1, bytes / (sizeof(double) * std::max<std::size_t>(1, columns)));
}

SortStage::Shape SortStage::Values() {
    Shape s;
    s.packed = true;
    s.memoryLimit = RowsIn(ValueMemory, s.columns.size());
    return s;
}

SortStage::SortStage(RunContext& engine, std::int16_t streams) : SortStage(engine, streams, Shape()) {}

SortStage::SortStage(RunContext& engine, std::int16_t streams, Shape shape)
    : m_engine(engine), m_shape(std::move(shape)), m_columns(m_shape.columns.size()),
      m_limit(HeldRows(m_shape.memoryLimit)),
      m_streams(static_cast<std::size_t>(streams < 0 ? 0 : streams) + 1) {
    const int keys = m_shape.keys;
    if (m_columns < 1 || m_columns > 4 || keys < 1 || keys > 2 ||
        static_cast<std::size_t>(keys) + (m_shape.weight ? 1 : 0) > m_columns)
        throw DaoError(err::InvalidArgument, "Invalid argument: a sort stage of " + std::to_string(m_columns) +
                                                 " numbers ordered by " + std::to_string(keys) + ".");
    m_width = m_shape.weight ? m_columns - 1 : m_columns;
}

SortStage::~SortStage() { unhook(); }

void SortStage::unhook() noexcept {
    if (auto c = m_hooked.lock()) c->RemovePendingWriter(this);
    m_hooked.reset();
}

void SortStage::forgetHeld() {
    // The first block of each stream stays for the next group.
    for (auto& s : m_streams) {
        if (s.blocks.size() > 1) s.blocks.erase(s.blocks.begin() + 1, s.blocks.end());
        if (!s.blocks.empty()) s.blocks[0].clear();
        s.sorted = true;
    }
    m_held = 0;
}

void SortStage::BeginGroup() {
    unhook();
    m_appender.reset();
    m_runs.clear();
    forgetHeld();
    m_weighted = false;
    m_width = m_shape.weight ? m_columns - 1 : m_columns;
    if (m_inTable) m_tableRows = m_rows;
    m_inTable = false;
    m_rows = 0;
    if (m_tableExists && m_tableRows > 0) {
        if (m_tableRows > 500) {
            m_engine.Quorb_DeleteTable(true, m_shape.table);
            m_tableExists = false;
        } else {
            m_engine.Quorb_EmptyTable(true, m_shape.table, static_cast<long>(m_tableRows), m_engine.OutputDatabase());
        }
        m_tableRows = 0;
    }
}

void SortStage::startWeights() {
    // The first weight that is not 1: every row held so far had 1.
    const std::size_t from = m_width, to = m_width + 1;
    for (auto& s : m_streams)
        for (auto& b : s.blocks) {
            const std::size_t rows = b.size() / from;
            std::vector<double> wider;
            wider.reserve(b.capacity() / from * to);
            for (std::size_t r = 0; r < rows; ++r) {
                wider.insert(wider.end(), b.begin() + static_cast<std::ptrdiff_t>(r * from),
                             b.begin() + static_cast<std::ptrdiff_t>((r + 1) * from));
                wider.push_back(1.0);
            }
            b.swap(wider);
        }
    m_width = to;
    m_weighted = true;
}

void SortStage::newBlock(Stream& s) {
    const std::size_t rows =
        s.blocks.empty() ? FirstBlock
                         : std::min({2 * (s.blocks.back().capacity() / m_width), LargestBlock, m_limit / 4});
    s.blocks.emplace_back();
    s.blocks.back().reserve(std::max(rows, FirstBlock) * m_width);
}

void SortStage::add(std::int16_t stream, const double* row) {
    if (m_held >= m_limit) writeRuns();
    Stream& s = m_streams.at(static_cast<std::size_t>(stream));
    if (m_shape.weight && !m_weighted && row[m_columns - 1] != 1.0) startWeights();
    if (s.blocks.empty() || s.blocks.back().size() + m_width > s.blocks.back().capacity()) newBlock(s);
    std::vector<double>& b = s.blocks.back();
    switch (m_width) {
    case 1: b.push_back(row[0]); break;
    case 2:
        b.push_back(row[0]);
        b.push_back(row[1]);
        break;
    default: b.insert(b.end(), row, row + m_width); break;
    }
    s.sorted = false;
    ++m_held;
    ++m_rows;
}

void SortStage::Add(std::int16_t stream, double x, double w) {
    if (m_columns != 2) throw DaoError(err::InvalidArgument, "Invalid argument: a value and its weight for a row of " +
                                                                 std::to_string(m_columns) + " numbers.");
    // add() for two numbers, as the percentiles stage every value.
    if (m_held >= m_limit) writeRuns();
    Stream& s = m_streams.at(static_cast<std::size_t>(stream));
    if (w != 1.0 && !m_weighted && m_shape.weight) startWeights();
    if (s.blocks.empty() || s.blocks.back().size() + m_width > s.blocks.back().capacity()) newBlock(s);
    std::vector<double>& b = s.blocks.back();
    b.push_back(x);
    if (m_width == 2) b.push_back(w);
    s.sorted = false;
    ++m_held;
    ++m_rows;
}

void SortStage::Add(std::int16_t stream, std::initializer_list<double> row) {
    if (row.size() != m_columns)
        throw DaoError(err::InvalidArgument, "Invalid argument: a row of " + std::to_string(row.size()) +
                                                 " numbers for " + std::to_string(m_columns) + ".");
    add(stream, row.begin());
}

void SortStage::sortBlocks(Stream& s) {
    if (s.sorted) return;
    for (auto& b : s.blocks) sortBlock(b, m_width, m_shape.keys);
    s.sorted = true;
}

void SortStage::writeRuns() {
    if (m_held == 0 || m_writing) return;
    m_writing = true;
    struct Reset {
        bool& b;
        ~Reset() { b = false; }
    } reset{m_writing};
    const DatabasePtr& temp = m_engine.TempDatabase();
    const bool packed = m_shape.packed;
    if (!m_tableExists) {
        std::vector<std::pair<std::string, int>> columns{{"Field", dbInteger}};
        if (packed) columns.emplace_back("Rows", dbLongBinary);
        else
            for (const auto& c : m_shape.columns) columns.emplace_back(c, dbDouble);
        CreateWorkTable(temp, m_shape.table, columns);
        m_tableExists = true;
    }
    if (!m_appender) {
        std::vector<std::string> columns{"Field"};
        if (packed) columns.emplace_back("Rows");
        else columns.insert(columns.end(), m_shape.columns.begin(), m_shape.columns.end());
        m_appender = std::make_unique<TableAppender>(temp, m_shape.table, columns, packed ? 1 : 64);
        // From now on a statement on the temporary database first gets the
        // rows held since the last run.
        std::shared_ptr<Connection> c = temp->conn();
        c->AddPendingWriter(this);
        m_hooked = c;
    }
    m_inTable = true;
    Cursor held(*this);
    for (std::size_t j = 1; j < m_streams.size(); ++j) {
        const auto stream = static_cast<std::int16_t>(j);
        held.open(stream, false, 0, true);
        Run run = writeRun(held, stream);
        if (run.last >= run.first) m_runs.push_back(std::move(run));
    }
    m_appender->Flush();
    forgetHeld();
}

// A stream read part by part is merged into one run first (once), so that a
// part is read from one place and not from every run the stream has.
void SortStage::mergeRuns(std::int16_t stream) {
    if (!m_shape.packed ||
        std::count_if(m_runs.begin(), m_runs.end(), [&](const Run& r) { return r.stream == stream; }) < 2)
        return;
    Cursor all(*this);
    all.open(stream, false, 0, false);
    Run merged = writeRun(all, stream);
    m_appender->Flush();
    m_runs.erase(std::remove_if(m_runs.begin(), m_runs.end(), [&](const Run& r) { return r.stream == stream; }),
                 m_runs.end());
    m_runs.push_back(std::move(merged));
}

// The rows of an open cursor in order, appended as one run: a table row
// each, or packed PackedRows to a table row (a part beginning a new one).
SortStage::Run SortStage::writeRun(Cursor& held, std::int16_t stream) {
    const int field = stream;
    const std::int64_t first = m_appender->NextRowId();
    Run run{stream, first, first - 1, {}};
    std::vector<double> pack;
    auto flush = [&] {
        if (pack.empty()) return;
        m_appender->Append({field}, pack.data(), pack.size() * sizeof(double));
        pack.clear();
    };
    while (held.Next()) {
        const double* r = held.Row();
        if (m_shape.parts && (run.parts.empty() || run.parts.back().value != r[0])) {
            flush();
            if (!run.parts.empty()) run.parts.back().last = m_appender->NextRowId() - 1;
            run.parts.push_back({r[0], m_appender->NextRowId(), 0});
        }
        if (m_shape.packed) {
            pack.insert(pack.end(), r, r + m_columns);
            if (pack.size() == PackedRows * m_columns) flush();
            continue;
        }
        switch (m_columns) {
        case 1: m_appender->Append({field, r[0]}); break;
        case 2: m_appender->Append({field, r[0], r[1]}); break;
        case 3: m_appender->Append({field, r[0], r[1], r[2]}); break;
        default: m_appender->Append({field, r[0], r[1], r[2], r[3]}); break;
        }
    }
    flush();
    run.last = m_appender->NextRowId() - 1;
    if (!run.parts.empty()) run.parts.back().last = run.last;
    return run;
}

void SortStage::WritePending() { writeRuns(); }

void SortStage::Scan(std::int16_t stream, const std::function<void(double, double)>& fn) {
    Cursor c(*this);
    c.Open(stream);
    if (m_shape.weight) c.each([&] { fn(c.value(), c.weight()); });
    else c.each([&] { fn(c.value(), 1.0); });
}

void SortStage::Close() noexcept {
    try {
        unhook();
        m_appender.reset();
        m_runs.clear();
        if (m_tableExists) m_engine.Quorb_DeleteTable(true, m_shape.table);
        m_tableExists = false;
    } catch (...) {
    }
}

// ---- reading back ---------------------------------------------------------------------

SortStage::Cursor::Cursor(SortStage& stage)
    : m_stage(stage), m_keys(stage.m_shape.keys), m_columns(stage.m_columns), m_step(&Cursor::step<Held, 1>) {}
SortStage::Cursor::~Cursor() = default;

void SortStage::Cursor::Open(std::int16_t stream) { open(stream, false, 0, !m_stage.m_inTable); }

void SortStage::Cursor::Open(std::int16_t stream, double part) { open(stream, true, part, !m_stage.m_inTable); }

void SortStage::Cursor::open(std::int16_t stream, bool part, double value, bool held) {
    m_sources.clear();
    m_started = false;
    SortStage& st = m_stage;
    const bool packed = st.m_shape.packed;
    if (held) m_step = m_keys > 1 ? &Cursor::step<Held, 2> : &Cursor::step<Held, 1>;
    else if (packed) m_step = m_keys > 1 ? &Cursor::step<Packed, 2> : &Cursor::step<Packed, 1>;
    else m_step = m_keys > 1 ? &Cursor::step<Rows, 2> : &Cursor::step<Rows, 1>;
    if (!held) {
        // Rows still held join the table first.
        st.writeRuns();
        if (part) st.mergeRuns(stream);
        // A packed run holds every number of its rows; a weight that is 1
        // throughout the group is not read back from a run of rows.
        const std::size_t width = packed ? st.m_columns : st.m_width;
        if (m_width != width || m_packed != packed) m_readers.clear();
        m_width = width;
        m_packed = packed;
        const std::vector<std::string> names =
            packed ? std::vector<std::string>{"Rows"}
                   : std::vector<std::string>(st.m_shape.columns.begin(),
                                              st.m_shape.columns.begin() + static_cast<std::ptrdiff_t>(width));
        for (const Run& r : st.m_runs) {
            if (r.stream != stream) continue;
            std::int64_t first = r.first, last = r.last;
            if (part) {
                auto it = std::lower_bound(r.parts.begin(), r.parts.end(), value,
                                           [](const Part& p, double v) { return p.value < v; });
                if (it == r.parts.end() || it->value != value) continue;
                first = it->first;
                last = it->last;
            }
            const std::size_t i = m_sources.size();
            if (i < m_readers.size()) {
                m_readers[i]->Rewind(first, last);
            } else {
                m_readers.push_back(std::make_unique<TableRowReader>(st.m_engine.TempDatabase(), st.m_shape.table, names,
                                                                     first, last));
            }
            Source s;
            s.reader = m_readers[i].get();
            s.next = first;
            s.last = last;
            m_sources.push_back(std::move(s));
        }
        return;
    }
    m_width = st.m_width;
    Stream& s = st.m_streams.at(static_cast<std::size_t>(stream));
    st.sortBlocks(s);
    const std::size_t w = m_width;
    for (const auto& b : s.blocks) {
        const double* begin = b.data();
        const double* end = b.data() + b.size();
        if (part) {
            // The block's rows of the part: a range of its rows in order.
            std::size_t lo = 0, hi = b.size() / w;
            while (lo < hi) {
                const std::size_t mid = (lo + hi) / 2;
                if (begin[mid * w] < value) lo = mid + 1;
                else hi = mid;
            }
            std::size_t top = lo, n = b.size() / w;
            hi = n;
            while (top < hi) {
                const std::size_t mid = (top + hi) / 2;
                if (begin[mid * w] <= value) top = mid + 1;
                else hi = mid;
            }
            end = begin + top * w;
            begin += lo * w;
        }
        if (begin == end) continue;
        Source src;
        src.p = begin;
        src.end = end;
        m_sources.push_back(src);
    }
}

template <SortStage::Cursor::Kind From, int Keys>
inline bool SortStage::Cursor::step() {
    const std::size_t width = m_width;
    auto& heap = [this]() -> auto& {
        if constexpr (Keys > 1) return m_heap2;
        else return m_heap1;
    }();
    using Entry = typename std::remove_reference_t<decltype(heap)>::value_type;
    auto cur = [](const Source& s) -> const double* {
        if constexpr (From == Rows) return s.row;
        else return s.p;
    };
    auto advance = [width](Source& s) {
        if constexpr (From == Packed) {
            if (s.p && s.p + width < s.end) {
                s.p += width;
                return true;
            }
            // The next packed row of the run, copied out: the statement is
            // reset at once, so no page of the table stays held by it.
            for (;;) {
                if (s.next > s.last || !s.reader->Next()) return false;
                const std::size_t bytes = static_cast<std::size_t>(s.reader->Bytes(0));
                s.buffer.resize(bytes / sizeof(double));
                if (bytes) std::memcpy(s.buffer.data(), s.reader->Blob(0), bytes);
                s.reader->Rewind(++s.next, s.last);
                if (s.buffer.size() >= width) break;
            }
            s.p = s.buffer.data();
            s.end = s.p + s.buffer.size() / width * width;
            return true;
        } else if constexpr (From == Rows) {
            if (!s.reader->Next()) return false;
            for (std::size_t c = 0; c < width; ++c) s.row[c] = s.reader->Double(static_cast<int>(c));
            return true;
        } else {
            s.p += width;
            return s.p < s.end;
        }
    };
    auto entry = [&](std::size_t at) {
        const double* r = cur(m_sources[at]);
        if constexpr (Keys > 1) return Entry{r[0], r[1], at};
        else return Entry{r[0], at};
    };
    auto less = [](const Entry& a, const Entry& b) {
        if constexpr (Keys > 1) return a.k0 < b.k0 || (a.k0 == b.k0 && a.k1 < b.k1);
        else return a.k0 < b.k0;
    };
    auto siftDown = [&](std::size_t i) {
        const std::size_t n = heap.size();
        const Entry e = heap[i];
        for (;;) {
            std::size_t c = 2 * i + 1;
            if (c >= n) break;
            if (c + 1 < n && less(heap[c + 1], heap[c])) ++c;
            if (!less(heap[c], e)) break;
            heap[i] = heap[c];
            i = c;
        }
        heap[i] = e;
    };
    if (!m_started) {
        m_started = true;
        heap.clear();
        for (std::size_t i = 0; i < m_sources.size(); ++i) {
            Source& s = m_sources[i];
            // A block source stands on its first row; a run's reader moves there.
            bool any;
            if constexpr (From == Held) any = s.p < s.end;
            else any = advance(s);
            if (any) heap.push_back(entry(i));
        }
        for (std::size_t i = heap.size() / 2; i-- > 0;) siftDown(i);
    } else if (!heap.empty()) {
        const std::size_t at = heap[0].at;
        Source& s = m_sources[at];
        if (advance(s)) {
            if (heap.size() > 1) {
                heap[0] = entry(at);
                siftDown(0);
            } else {
                m_cur = cur(s);
                return true;
            }
        } else {
            heap[0] = heap.back();
            heap.pop_back();
            if (!heap.empty()) siftDown(0);
        }
    }
    if (heap.empty()) return false;
    m_cur = cur(m_sources[heap[0].at]);
    return true;
}

template <class Fn>
void SortStage::Cursor::each(Fn&& fn) {
    if (m_step == &Cursor::step<Held, 1>)
        while (step<Held, 1>()) fn();
    else if (m_step == &Cursor::step<Rows, 1>)
        while (step<Rows, 1>()) fn();
    else
        while (Next()) fn();
}

bool SortStage::Cursor::Next() { return (this->*m_step)(); }
