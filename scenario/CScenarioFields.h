#pragma once
// CScenarioFields: the fields of the scenario the designer is editing, as an
// ordered collection of CScenarioField objects. Every entry is added under a
// string key (unique, compared without regard to letter case); entries keep
// the order in which they were added and are addressed by 1-based position or
// by key. Nothing here touches the database.
//
// Errors go straight to the caller as RunTimeError:
//   457 a key that is already in the collection (Add; nothing is added),
//   13  a field-type text that is not a number (Add; nothing is added),
//   6   a field-type number outside the Long range (Add; nothing is added),
//   9   a position outside 1 .. Count (Item, Remove),
//   5   a key that is not present (Item, Remove).
#include "db/Variant.h"
#include "scenario/CScenarioField.h"
#include "scenario/KeyedCollection.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>

class CScenarioFields {
public:
    using FieldPtr = std::shared_ptr<CScenarioField>;
    using iterator = scen::KeyedCollection<CScenarioField>::iterator;

    // Creates a field with the name, the role letter, the field type (a text
    // holding a number, converted as the language's CLng does) and the
    // ordinal position, appends it under the key and returns it.
    FieldPtr Add(const std::string& fieldName, const std::string& choice, const std::string& fieldType,
                 std::int32_t ordinalPosition, const std::string& key);

    template <std::integral I>
    const FieldPtr& Item(I position) const {
        return ItemAt(static_cast<long>(position));
    }
    const FieldPtr& Item(const std::string& key) const;
    const FieldPtr& Item(const char* key) const;
    const FieldPtr& Item(const dao::Variant& index) const;

    // The number of entries; never fails.
    long Count() const noexcept;

    // Removes an entry; later entries move up one position.
    template <std::integral I>
    void Remove(I position) {
        RemoveAt(static_cast<long>(position));
    }
    void Remove(const std::string& key);
    void Remove(const char* key);
    void Remove(const dao::Variant& index);

    // Iteration over the fields in collection order (the enumerator).
    iterator begin() const noexcept { return m_fields.begin(); }
    iterator end() const noexcept { return m_fields.end(); }

    // Empties the collection. Field objects a caller still holds stay valid
    // but no longer belong to it.
    void Clear() noexcept;

private:
    const FieldPtr& ItemAt(long position) const;
    void RemoveAt(long position);

    scen::KeyedCollection<CScenarioField> m_fields;
};
