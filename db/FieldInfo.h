#pragma once
// The stored definition of one column, as the catalogue keeps it.
#include "db/Variant.h"

#include <string>

namespace dao {

struct FieldInfo {
    std::string name;
    int type = 10;              // DataTypeEnum
    long size = 0;              // characters for Text, bytes otherwise
    long attributes = 2;        // dbVariableField unless fixed / auto-increment
    bool allowZeroLength = false;
    bool required = false;
    std::string defaultValue;   // expression text as given
    std::string validationRule;
    std::string validationText;
    int ordinalPosition = 0;
    long collatingOrder = 1033;
    std::string description;    // the "Description" property, empty when none
    bool hasDescription = false;
    bool rowidAlias = false;    // the column is SQLite's rowid (auto-increment key)
    bool generated = false;     // the file computes it from other columns: read, never written
    std::string sourceTable;    // for recordset fields: the table the value comes from
    std::string sourceField;
};

// The value a new row takes from the field's DefaultValue text: Text defaults
// literally (surrounding quotes dropped), "True"/"Yes"/"On" and
// "False"/"No"/"Off" (or a number) for Booleans, a number for the numeric
// types, the current date and time for Now() and Date(); Null when the text
// gives none (a Boolean without a default is False). `timeDependent` is set
// when the value changes with the clock.
Variant EvaluateDefault(const FieldInfo& f, bool* timeDependent = nullptr);

// Size in bytes the desktop engine reports for fixed-size types.
long DefaultFieldSize(int type);
// The SQLite column declaration for a field of this definition.
std::string SqliteDeclaredType(const FieldInfo& f);
// Maps a declared SQLite type of a table made by another tool to a field type and size.
void MapDeclaredType(const std::string& declared, int& type, long& size);
// Whether a column so declared may hold numbers and texts alike, each kept
// as it was put: no type declared, ANY (a STRICT table's column of no
// type), or a type whose name names no kind of value (UUID, JSON).
bool KeepsValuesAsPut(const std::string& declared);
// SQLite's storage affinity of a declared type (its own rules, in its order):
// 'I' integer, 'T' text, 'B' none, 'R' real, 'N' numeric.
char SqliteAffinity(const std::string& declared);

} // namespace dao
