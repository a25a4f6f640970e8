#pragma once
// Run-time errors: the error type the system's own code raises, the numbers
// it relies on, and the conversion of any caught exception into the number
// and description that the error handler and the message boxes show.
#include <exception>
#include <stdexcept>
#include <string>

namespace rterr {
constexpr long InvalidProcedureCall = 5;
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long SubscriptOutOfRange = 9;
constexpr long DivisionByZero = 11;
constexpr long TypeMismatch = 13;
constexpr long InternalError = 51;
constexpr long FileNotFound = 53;
constexpr long PermissionDenied = 70;
constexpr long PathFileAccessError = 75;
constexpr long PathNotFound = 76;
constexpr long ObjectNotSet = 91;
constexpr long InvalidUseOfNull = 94;
// Base of the numbers that classes raise for their own errors (hex 80040000).
constexpr long vbObjectError = -2147221504;
} // namespace rterr

// The standard description of a run-time error number ("Overflow",
// "Subscript out of range", ...); "Application-defined or object-defined
// error" for a number without one.
std::string RunTimeErrorDescription(long number);

class RunTimeError : public std::runtime_error {
public:
    // An error with the standard description of its number.
    explicit RunTimeError(long number);
    RunTimeError(long number, std::string description, std::string source = {}, long line = 0);

    long Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }
    const std::string& Source() const noexcept { return m_source; }
    long Line() const noexcept { return m_line; }

private:
    long m_number;
    std::string m_description;
    std::string m_source;
    long m_line;
};

// Number, description, source and line of a caught error.
struct ErrInfo {
    long Number = 0;
    std::string Description;
    std::string Source;
    long Line = 0;
};

// Turns a caught exception into its error: RunTimeError and dao::DaoError
// keep their number and description; std::bad_alloc is 7 "Out of memory";
// std::out_of_range 9; std::overflow_error and std::range_error 6;
// std::invalid_argument and std::domain_error 5 (with the exception's text);
// file-system errors 53, 70, 76 or 75 by their cause; any other exception 51
// with its text; a null pointer gives number 0 and empty texts.
ErrInfo ErrFromException(std::exception_ptr e);
// The same for the exception being handled (inside a catch block).
ErrInfo ErrFromCurrentException();

// The message box of the shared routines and utility classes: only an OK
// button, titled with the routine's name, reading "Error: ", the number, the
// separator and the description.
void ShowRoutineError(const std::string& routine, const ErrInfo& err, const std::string& separator = ". ");
// The same for the exception being handled.
void ShowRoutineError(const std::string& routine, const std::string& separator = ". ");
