#include "errors/RunTimeError.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "db/DaoError.h"
#include "platform/MessageBox.h"

std::string RunTimeErrorDescription(long number) {
    switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 10: return "This array is fixed or temporarily locked";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 14: return "Out of string space";
    case 16: return "Expression too complex";
    case 17: return "Can't perform requested operation";
    case 18: return "User interrupt occurred";
    case 20: return "Resume without error";
    case 28: return "Out of stack space";
    case 35: return "Sub or Function not defined";
    case 48: return "Error in loading DLL";
    case 51: return "Internal error";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 62: return "Input past end of file";
    case 67: return "Too many files";
    case 68: return "Device unavailable";
    case 70: return "Permission denied";
    case 71: return "Disk not ready";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 92: return "For loop not initialized";
    case 93: return "Invalid pattern string";
    case 94: return "Invalid use of Null";
    default: return "Application-defined or object-defined error";
    }
}

RunTimeError::RunTimeError(long number) : RunTimeError(number, RunTimeErrorDescription(number)) {}

RunTimeError::RunTimeError(long number, std::string description, std::string source, long line)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)),
      m_source(std::move(source)), m_line(line) {}

namespace {

long numberOfErrno(int code) {
    switch (code) {
    case ENOENT: return rterr::FileNotFound;
    case ENOTDIR: return rterr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return rterr::PermissionDenied;
    case ENOSPC: return 61;
    case EEXIST: return 58;
    default: return rterr::PathFileAccessError;
    }
}

ErrInfo standard(long number, const std::string& text = {}) {
    ErrInfo e;
    e.Number = number;
    e.Description = text.empty() ? RunTimeErrorDescription(number) : text;
    return e;
}

} // namespace

ErrInfo ErrFromException(std::exception_ptr e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const RunTimeError& x) {
        return ErrInfo{x.Number(), x.Description(), x.Source(), x.Line()};
    } catch (const dao::DaoError& x) {
        return ErrInfo{x.Number(), x.Description(), "DAO", 0};
    } catch (const std::bad_alloc&) {
        return standard(rterr::OutOfMemory);
    } catch (const std::out_of_range&) {
        return standard(rterr::SubscriptOutOfRange);
    } catch (const std::overflow_error&) {
        return standard(rterr::Overflow);
    } catch (const std::range_error&) {
        return standard(rterr::Overflow);
    } catch (const std::invalid_argument& x) {
        return standard(rterr::InvalidProcedureCall, x.what());
    } catch (const std::domain_error& x) {
        return standard(rterr::InvalidProcedureCall, x.what());
    } catch (const std::filesystem::filesystem_error& x) {
        long n = numberOfErrno(x.code().value());
        ErrInfo info = standard(n);
        if (!x.path1().empty()) info.Description += ": " + x.path1().string();
        return info;
    } catch (const std::system_error& x) {
        if (x.code().category() == std::generic_category() || x.code().category() == std::system_category())
            return standard(numberOfErrno(x.code().value()));
        return standard(rterr::InternalError, x.what());
    } catch (const std::exception& x) {
        return standard(rterr::InternalError, x.what());
    } catch (...) {
        return standard(rterr::InternalError);
    }
}

ErrInfo ErrFromCurrentException() { return ErrFromException(std::current_exception()); }

void ShowRoutineError(const std::string& routine, const ErrInfo& err, const std::string& separator) {
    MsgBox("Error: " + std::to_string(err.Number) + separator + err.Description, vbOKOnly, routine);
}

void ShowRoutineError(const std::string& routine, const std::string& separator) {
    ShowRoutineError(routine, ErrFromCurrentException(), separator);
}
