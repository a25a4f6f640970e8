#pragma once
// The scenario options as data: one descriptor per option of
// ScenarioOptionList.h, and the routines that move options between a
// scenario and the columns of usysQuorbOptions by that list.
//
// Stored values are read as they are stored: a value that does not fit the
// property it must go into (40000 or 7.5 in an Integer option, text or a
// blob in a numeric or Boolean option, Null in an Integer option) is refused
// with a message naming the value, the column and the scenario, instead of
// being wrapped, rounded or read as 0.
#include "db/Recordset.h"
#include "db/Variant.h"
#include "scenario/CMelvarsScenario.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ScenarioOption {
    const char* Property;       // "RAnova"
    const char* Column;         // "RANova"
    OptionKind Kind;            // the property's value type
    int ColumnType;             // dao::dbBoolean, dbInteger, dbDouble or dbText
    long Size;                  // the column's size
    const char* DefaultValue;   // the column's DefaultValue text; null: none
    const char* ValidationRule; // null: none
    const char* ValidationText;
    const char* Description;    // the column's "Description" property; null: none
    OptionReader Reader;        // who reads the option from a stored row

    // The property's value as a Variant (Empty as the property holds it).
    dao::Variant (*Get)(const CMelvarsScenario&);
    // Sets the property to the value of a new scenario.
    void (*SetNew)(CMelvarsScenario&);
    // Sets the property from a value that fits (see Misfit).
    void (*Put)(CMelvarsScenario&, const dao::Variant&);
};

// Every option, in the order of the columns of usysQuorbOptions.
std::span<const ScenarioOption> ScenarioOptions() noexcept;

// The option stored in that column (letter case aside); null for none.
const ScenarioOption* FindScenarioOption(std::string_view column) noexcept;

// Empty when the value fits the option's property; otherwise what the option
// takes, as the end of a message ("a whole number from -32768 to 32767").
//   Text:    every value fits (Null is the empty text, a number its text).
//   Boolean: Null (False) or a number (0 is False).
//   Integer: a whole number from -32768 to 32767.
//   Double:  Null (0) or a finite number that the property holds exactly.
//   Variant: Null, or a number that fits the column's type (a whole
//            16-bit number in an Integer column, a finite one otherwise).
std::string OptionMisfit(const ScenarioOption& option, const dao::Variant& value);

// The message for a value that does not fit: "The value 40000 in column
// InterV of scenario 7 does not fit its option, which takes a whole number
// from -32768 to 32767." (without the scenario part when scenarioId is 0).
std::string OptionMisfitMessage(const ScenarioOption& option, const dao::Variant& value, std::int32_t scenarioId);

// Sets the scenario property stored in the named option column (letter case
// aside). False when the name is no option column. A value that does not
// fit (OptionMisfit; Null in an Integer option among them) raises
// dao::DaoError 13 with OptionMisfitMessage, which names no scenario.
bool SetScenarioOption(CMelvarsScenario& scenario, const std::string& column, const dao::Variant& value);

// Reads the options of the current record of `row` (a row of usysQuorbOptions,
// alone or joined with its scenario row) into the scenario: the options of
// the reader, in column order. The first value that does not fit stops the
// reading; the result is then its OptionMisfitMessage naming scenarioId.
// Empty when every value fit. Errors of the database (a missing column)
// are raised.
std::string ReadScenarioOptions(dao::Recordset& row, CMelvarsScenario& scenario, std::int32_t scenarioId,
                                OptionReader reader);

using ScenarioColumnValues = std::vector<std::pair<std::string, dao::Variant>>;

// The option columns as the scenario holds them (column, value), in the
// order they are stored; a never-set Variant option and an empty text are
// Null.
ScenarioColumnValues ScenarioOptionValues(const CMelvarsScenario& scenario);

// Sets every option to the value a new scenario starts with.
void SetNewScenarioOptions(CMelvarsScenario& scenario);
