#pragma once
// What every analysis is given, filled once from the scenario: its output
// tables, its source, and the scenario's fields in the order group, compare,
// X, Y, weight (indexed from 1, position 0 unused), with the number of fields
// in each role. An analysis's own settings derive from it and add its
// options; arrays of per-field values hold them at positions 1 .. n.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using FieldList = std::vector<std::string>;

struct AnalysisSettings {
    AnalysisSettings() = default;
    AnalysisSettings(const AnalysisSettings&) = default;
    AnalysisSettings& operator=(const AnalysisSettings&) = default;
    virtual ~AnalysisSettings() = default;

    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nC = 0, nX = 0;
    bool bY = false, bW = false;

    // Positions in `fields`: the first compare field, the first X field, the
    // Y field and the weight field (the last two only when assigned).
    std::size_t ComparePosition() const { return static_cast<std::size_t>(nG) + 1; }
    std::size_t XPosition() const { return static_cast<std::size_t>(nG + nC) + 1; }
    std::size_t YPosition() const { return static_cast<std::size_t>(nG + nC + nX) + 1; }
    std::size_t WeightPosition() const { return YPosition() + (bY ? 1 : 0); }
};

// Makes an analysis's settings of type S from the shared ones, hands them to
// `out` and returns them to be filled with the analysis's options.
template <class S>
S& NewSettings(const AnalysisSettings& base, std::unique_ptr<AnalysisSettings>& out) {
    auto made = std::make_unique<S>();
    static_cast<AnalysisSettings&>(*made) = base;
    S& settings = *made;
    out = std::move(made);
    return settings;
}

// A switch as the options travel to the analyses: "Y" for on, "N" for off.
inline const char* BoolToYN(bool value) { return value ? "Y" : "N"; }
