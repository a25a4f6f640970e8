#pragma once
// The desktop engine's expression functions, aggregates and text order,
// registered on a SQLite connection so that translated SQL
// (JetSqlTranslator) runs with the engine's meaning.
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace dao {

// Registers on `db`: the scalar functions jet_concat, jet_pow, jet_div,
// jet_idiv, jet_mod, jet_like and the jet_* expression functions (Val, Len,
// Left, Mid, CStr, CLng, ...), jet_yesno (a Yes/No field's value as it is
// read: -1 or 0, a Null 0), the aggregates jet_first, jet_last,
// jet_stdev, jet_stdevp, jet_var, jet_varp, and the collation GENERAL.
// Also switches off SQLite's fallback of double-quoted identifiers to
// string literals, so a misspelt column is an error rather than a text.
// Call it right after opening a connection, before the first statement
// (schemas may declare COLLATE GENERAL). Throws dao::DaoError on failure.
void RegisterJetFunctions(sqlite3* db);

// The GENERAL collation: case-blind (ASCII, Latin-1 and the other common
// letters folded), then by code point. A total order in which "a" and "A"
// are equal. Returns <0, 0 or >0.
int CompareGeneral(std::string_view a, std::string_view b);

// A key with CompareGeneral(a, b) == 0 exactly when the keys are equal
// (the folded text), for hashing or grouping in memory.
std::string GeneralKey(std::string_view text);

// The text as valid UTF-8, read as CompareGeneral reads it: a byte that does
// not begin a valid sequence (a legacy program's Latin-1 "\xC9") is the
// Latin-1 character it stands for ("\xC3\x89", "É"). Valid UTF-8 comes
// back byte for byte.
std::string ValidUtf8(std::string text);
// Whether the text is valid UTF-8 (ValidUtf8 gives it back unchanged).
bool IsValidUtf8(std::string_view text) noexcept;

// A number as the engine writes it as text: up to 15 significant digits,
// exponent form below 1E-4 and from 1E+15 on ("1E-05", "1.5E+20"), no
// trailing zeros ("0.3", "2").
std::string JetNumberText(double value);

// The error number of a failure raised by one of the functions above, from
// the SQLite error message ("Invalid use of Null" 94, "Type mismatch" 13,
// "Overflow" 6, "Division by zero" 11, "Invalid procedure call or argument"
// 5, "Invalid pattern string" 3075 ... ); 0 when the message is not one of
// them.
long JetFunctionErrorNumber(std::string_view sqliteMessage);

} // namespace dao
