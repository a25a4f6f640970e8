#pragma once
// The run-time error an action raises, for the tests that expect one.
#include "errors/RunTimeError.h"

#include <functional>
#include <string>
#include <utility>

namespace vtest {

// The number and description of the RunTimeError f throws; 0 and "" when it throws none.
inline std::pair<long, std::string> RunTimeErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RunTimeError& e) {
        return {e.Number(), e.Description()};
    }
    return {0, ""};
}

// Only its number.
inline long RunTimeErrorNumberOf(const std::function<void()>& f) { return RunTimeErrorOf(f).first; }

} // namespace vtest
