#pragma once
// The catalogue of analysis types: for each type what the engine, the
// designer and the application need to know of it, in one place. A type is
// added with one entry here (in analyses/AnalysisCatalogue.cpp), its analysis
// class and its options page.
//
// The engine finds the type of a scenario by its stored type name (any
// letter case), fills the analysis's settings from the scenario and runs it;
// the designer takes from it the type page's buttons, the field page's
// lists and minimums, the options page and the default output names; the
// application its scenario list's tabs and filters.
#include "engine/AnalysisSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CMelvarsScenario;
class RunContext;

struct AnalysisType {
    // The stored type name (Scenario_Analysis_SubType) and group letter
    // (Scenario_Analysis_Type: "P", "G" or "N").
    std::string_view name;
    char group = 'P';
    // The scenario list's order within the group (stored in SortOrder).
    std::int16_t sortOrder = 0;

    // --- fields ------------------------------------------------------------------------
    // What the run needs of the scenario's fields, checked before anything is
    // read: X fields (at least one), a Y and X fields, a compare field, or
    // rows with X fields of any type (a crosstab, whose X defaults to "*").
    enum class Fields { X, YAndX, Compare, RowsAnyX };
    Fields fields = Fields::X;
    // The designer's field page: which set of lists it shows (1 to 6) and
    // the fewest fields of each role the user must assign.
    int fieldFrame = 1;
    struct Minimum {
        int group = 0, compare = 0, x = 0, y = 0;
    };
    Minimum minimum;

    // --- designer and application ------------------------------------------------------
    // The type page's button: its caption with access key and its index (the
    // buttons stand in index order under the heading of their group).
    std::string_view typeCaption;
    int typeIndex = 0;
    // The caption of the scenario list's option that shows only this type.
    std::string_view listCaption;
    // The options page's number (4 to 29; several types may share one page).
    // The designer finds the page class by this number (designer/OptionsPages).
    long optionsPage = 99;
    // The Finish page's output words: after the prefix, the default name of
    // table 1; the word its label names table 1 by ("Name for ... output
    // table: "); the default name and label word of table 2 (empty: none).
    std::string_view outputWords, outputLabel, output2Words;
    // Whether the scenario's options ask for the second output table (null:
    // never).
    bool (*hasSecondTable)(const CMelvarsScenario&) = nullptr;

    // --- the run -------------------------------------------------------------------------
    // The runner's name on the engine's error handler ("RunDescribe_s_ZUR").
    std::string_view runner;
    // Makes the analysis's settings from the scenario; `base` holds the
    // fields and tables. A message instead refuses the run.
    using Settings = std::unique_ptr<AnalysisSettings>;
    std::string (*settings)(const CMelvarsScenario& scenario, const AnalysisSettings& base, RunContext& cx,
                            Settings& out) = nullptr;
    // Runs the analysis; the empty text on success, else the reason.
    std::string (*run)(AnalysisSettings& settings, RunContext& cx) = nullptr;
};

// Every analysis type, in the order of the type page.
const std::vector<AnalysisType>& AnalysisTypes();

// The type of that name (any letter case), or null.
const AnalysisType* FindAnalysisType(std::string_view name);
// The type of exactly that name (letter case counts), or null: the designer
// and the scenario list know a type only by its name as stored.
const AnalysisType* AnalysisTypeNamed(std::string_view name);
// The types of group "P", "G" or "N", in the order of the type page.
std::vector<const AnalysisType*> AnalysisTypesOfGroup(char group);

// The rank of a type within its group that a saved scenario stores in
// SortOrder (100, 200 ...); 0 for a name that is none of the types (letter
// case counts).
std::int16_t GetScenarioSort(const std::string& calcType);

// The type a scenario of group `group` and type name `name` runs: its own,
// and for any name of group "G" the analysis of variance, which runs every
// group comparison; null for none.
const AnalysisType* AnalysisTypeOfScenario(std::string_view group, std::string_view name);
