#pragma once
// An ordered collection addressed by 0-based position or by name (without
// regard to letter case), as the object model's collections are.
//
// Names are looked up through a hash index, so that a table of thousands of
// columns is built and read in time linear in its columns. The index maps
// each name to its first item, as a walk from the front would find it.
#include "db/DaoError.h"
#include "db/Variant.h"

#include <atomic>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dao {

namespace detail {

// Counts the renames of items that can sit in a collection while they are
// renamed (a field or an index of a definition not yet stored). An index
// built before the latest rename is not trusted: lookups then walk the
// items until the collection next changes.
inline std::atomic<std::uint64_t> g_itemRenames{0};
inline void NoteItemRename() noexcept { g_itemRenames.fetch_add(1, std::memory_order_relaxed); }

// Hash and equality of names without regard to (ASCII) letter case, as
// NamesEqual compares them.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char c : s) {
            h ^= FoldAscii(c);
            h *= 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return NamesEqual(a, b); }
};

} // namespace detail

template <class T>
class Collection {
public:
    using Ptr = std::shared_ptr<T>;

    int Count() const noexcept { return static_cast<int>(m_items.size()); }

    Ptr operator()(int index) const {
        if (index < 0 || index >= Count()) throw notFound();
        return m_items[static_cast<std::size_t>(index)];
    }
    Ptr operator()(std::string_view name) const {
        if (Ptr p = Find(name)) return p;
        throw notFound();
    }
    Ptr Item(std::string_view name) const { return (*this)(name); }
    Ptr Find(std::string_view name) const noexcept {
        int i = IndexOf(name);
        return i < 0 ? nullptr : m_items[static_cast<std::size_t>(i)];
    }
    int IndexOf(std::string_view name) const noexcept {
        if (m_indexed && m_indexRenames == detail::g_itemRenames.load(std::memory_order_relaxed)) {
            auto it = m_index.find(name);
            if (it == m_index.end()) return -1;
            if (NamesEqual(m_items[it->second]->Name(), name)) return static_cast<int>(it->second);
        }
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (NamesEqual(m_items[i]->Name(), name)) return static_cast<int>(i);
        return -1;
    }

    auto begin() const noexcept { return m_items.begin(); }
    auto end() const noexcept { return m_items.end(); }

protected:
    static DaoError notFound() { return DaoError(err::ItemNotFound, "Item not found in this collection."); }

    // Every change of the items goes through these, which keep the index.
    void pushItem(Ptr p) {
        m_items.push_back(std::move(p));
        if (m_indexed && m_indexRenames == detail::g_itemRenames.load(std::memory_order_relaxed)) {
            try {
                m_index.try_emplace(m_items.back()->Name(), m_items.size() - 1);
            } catch (...) {
                m_indexed = false;
            }
        } else {
            reindex();
        }
    }
    void eraseItem(std::size_t i) {
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
        reindex();
    }
    void clearItems() noexcept {
        m_items.clear();
        m_index.clear();
        m_indexed = true;
        m_indexRenames = detail::g_itemRenames.load(std::memory_order_relaxed);
    }
    void assignItems(std::vector<Ptr> items) {
        m_items = std::move(items);
        reindex();
    }
    const std::vector<Ptr>& items() const noexcept { return m_items; }

private:
    void reindex() noexcept {
        m_indexed = false;
        m_index.clear();
        m_indexRenames = detail::g_itemRenames.load(std::memory_order_relaxed);
        try {
            m_index.reserve(m_items.size());
            for (std::size_t i = 0; i < m_items.size(); ++i) m_index.try_emplace(m_items[i]->Name(), i);
            m_indexed = true;
        } catch (...) {
            m_index.clear(); // lookups walk the items
        }
    }

    std::vector<Ptr> m_items;
    std::unordered_map<std::string, std::size_t, detail::NameHash, detail::NameEqual> m_index;
    bool m_indexed = true; // an empty collection's index is complete
    std::uint64_t m_indexRenames = 0;
};

} // namespace dao
