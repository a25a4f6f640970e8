#pragma once
// CMelvarsScenario: the scenario the engine runs, held in memory.
//
// It holds the scenario row and the options row of the scenario tables as 83
// plain stored properties, and the scenario's field rows as an ordered
// collection of CMelvarsScenarioField objects. It has no link back to the
// database and no knowledge of which analysis reads which option.
//
// The properties are made from the list in ScenarioOptionList.h. Each keeps
// the name of the stored scenario; its Get is the bare name and its Let is
// "Set" + the name:
//
//     scen.SetScenario_Description("Sales by region");
//     std::string d = scen.Scenario_Description();
//     scen.SetMissingLow(dao::Variant::Null());   // Null: no lower bound
//     if (scen.MissingLow().IsNull()) ...
//
// Value types and initial values:
//   String  -> std::string,  initially ""
//   Variant -> dao::Variant, initially Empty (distinct from Null and from 0)
//   Boolean -> bool,         initially false
//   Integer -> std::int16_t, initially 0
//   Double  -> double,       initially 0
// No Let converts, trims or checks its value, except SetScenario_Type, which
// keeps only exactly "P", "G" or "N" (letter case counts) and silently
// ignores anything else.
//
// The field collection (1-based positions, optional keys compared without
// regard to letter case, insertion order):
//
//     auto f = scen.AddField("Sales", "X");        // no key
//     scen.AddField("Region", "G", "grp");          // under the key "grp"
//     scen.Item(1)->Field_Name();                   // by position
//     scen.Item("GRP")->Choice();                   // by key
//     for (CMelvarsScenarioField& fld : scen) ...   // in collection order
//
// Collection errors are raised as RunTimeError with the platform's numbers:
//   457 "This key is already associated with an element of this collection"
//       (AddField with a key in use; nothing is added),
//   9   "Subscript out of range" (position outside 1 .. FieldCount),
//   5   "Invalid procedure call or argument" (key not present).
// Nothing else in the class raises, and nothing is reported to an error
// handler: errors go straight to the caller.
#include "db/Variant.h"
#include "scenario/CMelvarsScenarioField.h"
#include "scenario/KeyedCollection.h"
#include "scenario/ScenarioOptionList.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

class CMelvarsScenario {
public:
    using FieldPtr = std::shared_ptr<CMelvarsScenarioField>;
    using iterator = scen::KeyedCollection<CMelvarsScenarioField>::iterator;

    // Creates a field with Field_Name = name and Choice = choice and appends
    // it, under key when key is not empty and without a key otherwise.
    // Returns the new field.
    FieldPtr AddField(const std::string& name, const std::string& choice, const std::string& key = {});

    // ---- properties (ScenarioOptionList.h) ----------------------------------
    std::string Scenario_Type() const { return m_Scenario_Type; }
    // Keeps the value only when it is exactly "P", "G" or "N"; any other
    // value is ignored without an error.
    void SetScenario_Type(const std::string& value);

#define VARNELLO_SCENARIO_PROPERTY(Property, Kind, ...)                                             \
    PropertyType<OptionKind::Kind> Property() const                                                 \
        noexcept(std::is_nothrow_copy_constructible_v<PropertyType<OptionKind::Kind>>) {            \
        return m_##Property;                                                                        \
    }                                                                                               \
    void Set##Property(PropertyType<OptionKind::Kind> value)                                        \
        noexcept(std::is_nothrow_move_assignable_v<PropertyType<OptionKind::Kind>>) {               \
        m_##Property = std::move(value);                                                            \
    }
    VARNELLO_SCENARIO_HEADER(VARNELLO_SCENARIO_PROPERTY)
    VARNELLO_SCENARIO_OPTIONS(VARNELLO_SCENARIO_PROPERTY)
#undef VARNELLO_SCENARIO_PROPERTY

    // ---- the field collection -----------------------------------------------
    // The entry at a 1-based position, or the one with a key; a Variant is a
    // key when it holds text and a position otherwise.
    template <std::integral I>
    const FieldPtr& Item(I position) const {
        return ItemAt(static_cast<long>(position));
    }
    const FieldPtr& Item(const std::string& key) const;
    const FieldPtr& Item(const char* key) const;
    const FieldPtr& Item(const dao::Variant& index) const;

    long FieldCount() const noexcept;

    // Removes the entry at a position or with a key; later entries move up.
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

private:
    const FieldPtr& ItemAt(long position) const;
    void RemoveAt(long position);

    scen::KeyedCollection<CMelvarsScenarioField> m_fields;

    std::string m_Scenario_Type;
#define VARNELLO_SCENARIO_MEMBER(Property, Kind, ...) PropertyType<OptionKind::Kind> m_##Property{};
    VARNELLO_SCENARIO_HEADER(VARNELLO_SCENARIO_MEMBER)
    VARNELLO_SCENARIO_OPTIONS(VARNELLO_SCENARIO_MEMBER)
#undef VARNELLO_SCENARIO_MEMBER
};
