// Run-time errors and the conversion of caught exceptions.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <system_error>

#include "db/DaoError.h"
#include "errors/RunTimeError.h"
#include "support/HookRecorder.h"

namespace {

struct ConversionCase {
    std::function<void()> raise;
    long number;
    std::string description;
};

TEST(RunTimeError, CaughtExceptionsBecomeNumberAndDescription) {
    const ConversionCase cases[] = {
        {[] { throw RunTimeError(6); }, 6, "Overflow"},
        {[] { throw RunTimeError(11); }, 11, "Division by zero"},
        {[] { throw RunTimeError(-2147220504, "Invalid object type: 2", "CErr_ZUR"); }, -2147220504,
         "Invalid object type: 2"},
        {[] { throw dao::DaoError(3061, "Too few parameters. Expected 1."); }, 3061,
         "Too few parameters. Expected 1."},
        {[] { throw std::bad_alloc(); }, 7, "Out of memory"},
        {[] { throw std::out_of_range("vector"); }, 9, "Subscript out of range"},
        {[] { throw std::overflow_error("big"); }, 6, "Overflow"},
        {[] { throw std::range_error("big"); }, 6, "Overflow"},
        {[] { throw std::invalid_argument("bad letter"); }, 5, "bad letter"},
        {[] { throw std::runtime_error("something"); }, 51, "something"},
        {[] { throw 42; }, 51, "Internal error"},
        {[] { throw std::filesystem::filesystem_error("x", "/no/file", std::make_error_code(std::errc::no_such_file_or_directory)); },
         53, "File not found: /no/file"},
        {[] { throw std::system_error(std::make_error_code(std::errc::permission_denied)); }, 70,
         "Permission denied"},
    };
    int i = 0;
    for (const auto& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << "case " << i << " raised nothing";
        } catch (...) {
            const ErrInfo e = ErrFromCurrentException();
            EXPECT_EQ(e.Number, c.number) << "case " << i;
            EXPECT_EQ(e.Description, c.description) << "case " << i;
        }
        ++i;
    }
    const ErrInfo none = ErrFromException(nullptr);
    EXPECT_EQ(none.Number, 0);
    EXPECT_EQ(none.Description, "");
}

TEST(RunTimeError, SourceAndLineAreKept) {
    try {
        throw RunTimeError(13, "Type mismatch", "CWinPos", 77);
    } catch (...) {
        const ErrInfo e = ErrFromCurrentException();
        EXPECT_EQ(e.Source, "CWinPos");
        EXPECT_EQ(e.Line, 77);
    }
}

TEST(RunTimeError, StandardDescriptions) {
    EXPECT_EQ(RunTimeErrorDescription(5), "Invalid procedure call or argument");
    EXPECT_EQ(RunTimeErrorDescription(9), "Subscript out of range");
    EXPECT_EQ(RunTimeErrorDescription(13), "Type mismatch");
    EXPECT_EQ(RunTimeErrorDescription(91), "Object variable or With block variable not set");
    EXPECT_EQ(RunTimeErrorDescription(94), "Invalid use of Null");
    EXPECT_EQ(RunTimeErrorDescription(12345), "Application-defined or object-defined error");
    EXPECT_EQ(RunTimeError(70).Description(), "Permission denied");
}

TEST(RunTimeError, RoutineErrorBoxReadsErrorNumberSeparatorDescription) {
    vtest::HookRecorder rec;
    ShowRoutineError("ParsePath", ErrInfo{13, "Type mismatch", {}, 0});
    ShowRoutineError("IsZLS_Err", ErrInfo{5, "Invalid procedure call or argument", {}, 0}, ", ");
    try {
        throw RunTimeError(9);
    } catch (...) {
        ShowRoutineError("MenuItem");
    }
    ASSERT_EQ(rec.messages.size(), 3u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 13. Type mismatch");
    EXPECT_EQ(rec.messages[0].title, "ParsePath");
    EXPECT_EQ(rec.messages[0].buttons, vbOKOnly);
    EXPECT_EQ(rec.messages[1].prompt, "Error: 5, Invalid procedure call or argument");
    EXPECT_EQ(rec.messages[2].prompt, "Error: 9. Subscript out of range");
    EXPECT_EQ(rec.messages[2].title, "MenuItem");
}

} // namespace
