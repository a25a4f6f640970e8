#pragma once
// Commands of the application whose windows are not part of it yet. Their
// menu items, toolbar buttons and command buttons are present but disabled
// while the flag is false; each flag is turned on when its window lands.
namespace appfeatures {

inline constexpr bool kScenarioDesigner = true;    // new scenario, edit fields, options and output
inline constexpr bool kDuplicateDelete = true;     // duplicate and delete a scenario
inline constexpr bool kCodeGenerator = true;       // client code generator
inline constexpr bool kCalculator = true;          // probability calculator
inline constexpr bool kOptionsDialog = true;       // options dialog
inline constexpr bool kAboutBox = true;            // about box

} // namespace appfeatures
