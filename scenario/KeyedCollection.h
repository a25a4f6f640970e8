#pragma once
// An ordered collection of shared objects, addressed by 1-based position or
// by an optional string key, as the language's own Collection object is:
//
// - entries keep the order in which they were added;
// - keys are unique and compared without regard to letter case;
// - Add with a key already in use raises 457 "This key is already associated
//   with an element of this collection" and adds nothing;
// - a position outside 1 .. Count raises 9 "Subscript out of range";
// - a key that is not present raises 5 "Invalid procedure call or argument";
// - removing an entry moves the later ones up one position.
//
// A dao::Variant index is a key when it holds text and a position otherwise
// (numbers are rounded as the language rounds, half to even; Empty is
// position 0); Null raises 5. Iterating visits the objects themselves.
#include "db/Variant.h"
#include "errors/RunTimeError.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scen {

// Error numbers of the collection.
constexpr long KeyAlreadyAssociated = 457;

template <class T>
class KeyedCollection {
public:
    using Ptr = std::shared_ptr<T>;

    // Appends item, under key when one is given. Raises 457 when the key is in
    // use; the collection is then unchanged.
    void Add(Ptr item, std::optional<std::string> key = std::nullopt) {
        std::optional<std::string> folded;
        if (key) {
            folded = dao::ToLowerAscii(*key);
            if (findKey(*folded) >= 0) throw duplicateKey();
        }
        m_entries.push_back(Entry{std::move(folded), std::move(item)});
    }

    const Ptr& Item(long position) const { return m_entries[checkedIndex(position)].item; }
    const Ptr& Item(std::string_view key) const { return m_entries[keyIndex(key)].item; }
    const Ptr& Item(const dao::Variant& index) const { return m_entries[variantIndex(index)].item; }

    long Count() const noexcept { return static_cast<long>(m_entries.size()); }

    void Remove(long position) { erase(checkedIndex(position)); }
    void Remove(std::string_view key) { erase(keyIndex(key)); }
    void Remove(const dao::Variant& index) { erase(variantIndex(index)); }

    void Clear() noexcept { m_entries.clear(); }

    // True when an entry carries this key (letter case aside).
    bool HasKey(std::string_view key) const { return findKey(dao::ToLowerAscii(key)) >= 0; }

private:
    struct Entry {
        std::optional<std::string> key; // folded to lower case
        Ptr item;
    };
    using Entries = std::vector<Entry>;

public:
    // Forward iterator that yields the objects (T&) in collection order.
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        iterator() = default;
        explicit iterator(typename Entries::const_iterator it) : m_it(it) {}
        reference operator*() const { return *m_it->item; }
        pointer operator->() const { return m_it->item.get(); }
        iterator& operator++() {
            ++m_it;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++m_it;
            return old;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.m_it == b.m_it; }

    private:
        typename Entries::const_iterator m_it{};
    };

    iterator begin() const noexcept { return iterator(m_entries.begin()); }
    iterator end() const noexcept { return iterator(m_entries.end()); }

private:
    Entries m_entries;

    static RunTimeError duplicateKey() {
        return RunTimeError(KeyAlreadyAssociated,
                            "This key is already associated with an element of this collection");
    }

    long findKey(const std::string& folded) const {
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].key && *m_entries[i].key == folded) return static_cast<long>(i);
        return -1;
    }

    std::size_t checkedIndex(long position) const {
        if (position < 1 || position > Count()) throw RunTimeError(rterr::SubscriptOutOfRange);
        return static_cast<std::size_t>(position - 1);
    }

    std::size_t keyIndex(std::string_view key) const {
        long i = findKey(dao::ToLowerAscii(key));
        if (i < 0) throw RunTimeError(rterr::InvalidProcedureCall);
        return static_cast<std::size_t>(i);
    }

    std::size_t variantIndex(const dao::Variant& index) const {
        if (index.IsString()) return keyIndex(index.RawString());
        if (index.IsNull()) throw RunTimeError(rterr::InvalidProcedureCall);
        if (index.IsEmpty()) return checkedIndex(0);
        if (!index.IsNumber()) throw RunTimeError(rterr::TypeMismatch);
        double r = dao::RoundHalfEven(index.ToDouble());
        if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw RunTimeError(rterr::Overflow);
        return checkedIndex(static_cast<long>(r));
    }

    void erase(std::size_t i) { m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i)); }
};

} // namespace scen
