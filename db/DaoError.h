#pragma once
// The one error type of the data-access layer. It carries the error number the
// rest of the system knows (the desktop database engine's numbering, e.g. 3265
// "Item not found in this collection."), its description, SQLite's result code
// when SQLite produced the failure, and the SQL text that failed, if any.
#include <stdexcept>
#include <string>

namespace dao {

class DaoError : public std::runtime_error {
public:
    DaoError(long number, std::string description, int sqliteCode = 0, std::string sql = {});

    long Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }
    int SqliteCode() const noexcept { return m_sqliteCode; }
    const std::string& Sql() const noexcept { return m_sql; }

private:
    long m_number;
    std::string m_description;
    int m_sqliteCode;
    std::string m_sql;
};

// Error numbers the system relies on.
namespace err {
constexpr long InvalidUseOfNull = 94;
constexpr long TypeMismatch = 13;
constexpr long Overflow = 6;
constexpr long SyntaxError = 3075;          // syntax error in query expression
constexpr long SqlSyntax = 3000;            // reserved error / unspecified
constexpr long TableExists = 3010;
constexpr long FileNotFound = 3024;         // couldn't find file
constexpr long NotADatabase = 3343;         // unrecognized database format
constexpr long FileLocked = 3045;           // could not use file; already in use
constexpr long ReadOnly = 3027;             // database or object is read-only
constexpr long NoCurrentRecord = 3021;
constexpr long DuplicateKey = 3022;
constexpr long ParametersExpected = 3061;
constexpr long InputTableNotFound = 3078;
constexpr long ItemNotFound = 3265;
constexpr long FieldTooSmall = 3163;        // field is too small for the data
constexpr long NullNotAllowed = 3314;       // field cannot contain a Null value
constexpr long ZeroLengthNotAllowed = 3315; // field cannot be a zero-length string
constexpr long ValidationRule = 3316;       // table-level validation rule broken
constexpr long FieldValidation = 3317;
constexpr long NotUpdatable = 3027;
constexpr long UpdateWithoutAddNew = 3020;
constexpr long ObjectClosed = 3420;         // object invalid or no longer set
constexpr long NotValidPassword = 3031;
constexpr long NoPermission = 3029;         // not a valid account name or password
constexpr long InvalidArgument = 3001;
constexpr long CannotOpenWorkgroup = 3028;
constexpr long ObjectExists = 3012;
constexpr long NameNotFoundInCollection = 3265;
constexpr long InvalidOperation = 3219;
constexpr long SyntaxInFrom = 3131;
constexpr long CantDeleteInTransaction = 3211;
} // namespace err

} // namespace dao
