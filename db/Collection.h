#pragma once
// An ordered collection addressed by 0-based position or by name (without
// regard to letter case), as the object model's collections are.
#include "db/DaoError.h"
#include "db/Variant.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dao {

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
        for (const auto& p : m_items)
            if (NamesEqual(p->Name(), name)) return p;
        return nullptr;
    }
    int IndexOf(std::string_view name) const noexcept {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (NamesEqual(m_items[i]->Name(), name)) return static_cast<int>(i);
        return -1;
    }

    auto begin() const noexcept { return m_items.begin(); }
    auto end() const noexcept { return m_items.end(); }

protected:
    static DaoError notFound() { return DaoError(err::ItemNotFound, "Item not found in this collection."); }
    std::vector<Ptr> m_items;
};

} // namespace dao
