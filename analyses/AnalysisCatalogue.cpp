// The catalogue of analysis types. Each entry says what the engine, the
// designer and the application need of a type; the type's class supplies
// its settings and its run.
#include "engine/AnalysisCatalogue.h"

#include "analyses/descriptive/CCompare.h"
#include "analyses/descriptive/CCorrMatrix.h"
#include "analyses/descriptive/CDescribe.h"
#include "analyses/descriptive/CFrequency.h"
#include "analyses/descriptive/CPercentiles.h"
#include "analyses/group/CAnova.h"
#include "analyses/group/CXTab.h"
#include "analyses/nonparametric/CNonParamChiSquare.h"
#include "analyses/nonparametric/CNonParamFriedman.h"
#include "analyses/nonparametric/CNonParamMannKruskalKS.h"
#include "analyses/nonparametric/CNonParamSign.h"
#include "analyses/nonparametric/CNonParametric.h"
#include "analyses/regression/RegressionRun.h"
#include "db/Variant.h"
#include "scenario/CMelvarsScenario.h"

#include <string>

namespace {

using F = AnalysisType::Fields;
using M = AnalysisType::Minimum;

// The minimums of the field page's lists, by their set.
constexpr M kOneX{0, 0, 1, 0}, kCompareX{0, 1, 1, 0}, kYX{0, 0, 1, 1}, kTwoCompare{0, 2, 1, 0}, kRowColumn{1, 1, 0, 0};

bool residual(const CMelvarsScenario& s) { return s.Residual(); }
// The chi-square table of a count or sum crosstab; the cell letter is
// searched within "CS" as it stands, so an empty letter counts as well.
bool crosstabChi(const CMelvarsScenario& s) {
    return s.XChi() && std::string("CS").find(s.XType()) != std::string::npos;
}
bool groupDetail(const CMelvarsScenario& s) { return s.GroupDetail(); }
bool chiDetail(const CMelvarsScenario& s) { return s.ChiDetail(); }
bool kruskalDetail(const CMelvarsScenario& s) { return s.NPKruskalDetail(); }
bool friedmanDetail(const CMelvarsScenario& s) { return s.NPFriedmanDetail(); }

template <class A>
AnalysisType road(AnalysisType t) {
    t.settings = &A::FromScenario;
    t.run = &RunAnalysis<A>;
    return t;
}

std::vector<AnalysisType> makeCatalogue() {
    std::vector<AnalysisType> c;
    // name, group, sort, fields, frame, minimum, type button, index, list filter, page, output words (table 1,
    // its label, table 2), second table, runner
    c.push_back(road<CDescribe>({"Describe", 'P', 100, F::X, 1, kOneX, "&Describe", 1, "Describe", 4, "Describe",
                                 "Describe", "", nullptr, "RunDescribe_s_ZUR"}));
    c.push_back(road<CFrequency>({"Frequency", 'P', 200, F::X, 1, kOneX, "&Frequency", 2, "Frequency", 5,
                                  "Frequency", "Frequency", "", nullptr, "RunFrequency_s_ZUR"}));
    c.push_back(road<CPercentiles>({"Percentiles", 'P', 300, F::X, 1, kOneX, "&Percentiles", 3, "Percentiles", 6,
                                    "Percentiles", "Percentiles", "", nullptr, "RunPercentile_s_ZUR"}));
    c.push_back(road<CCompare>({"Compare", 'P', 400, F::YAndX, 3, kYX, "Compar&e", 4, "Compare", 7, "Compare",
                                "Compare", "", nullptr, "RunCompare_s_ZUR"}));
    c.push_back(road<CCorrMatrix>({"Matrix", 'P', 500, F::X, 1, kOneX, "&Matrix", 5, "Matrix", 8, "Matrix", "Matrix",
                                   "", nullptr, "RunMatrix_s_ZUR"}));
    c.push_back(road<RegressionRun>({"Regression", 'P', 600, F::YAndX, 3, kYX, "&Regression", 6, "Regression", 9,
                                     "Regression", "Regression", "Residual", residual, "RunRegression_s_ZUR"}));
    c.push_back(road<CXTab>({"Crosstab", 'P', 700, F::RowsAnyX, 5, kRowColumn, "&Crosstab", 7, "Crosstab", 10,
                             "Crosstab", "Crosstab", "Crosstab Chi-Square", crosstabChi, "RunCrosstab_s_ZUR"}));
    c.push_back(road<CAnova>({"Two Sample t-Test", 'G', 100, F::X, 2, kCompareX, "&Two Sample t-Test", 20,
                              "Two Sample t-Test", 11, "Two Sample t-Test", "Two Sample t-Test",
                              "Two Sample t-Test Details", groupDetail, "RunGroup_s_ZUR"}));
    c.push_back(road<CAnova>({"ANOVA", 'G', 200, F::X, 2, kCompareX, "&ANOVA", 21, "ANOVA", 11, "ANOVA", "ANOVA",
                              "ANOVA Details", groupDetail, "RunGroup_s_ZUR"}));
    c.push_back(road<CAnova>({"Two way ANOVA", 'G', 300, F::X, 4, kTwoCompare, "Two &way ANOVA", 22, "Two-Way ANOVA",
                              11, "Two Way ANOVA", "Two Way ANOVA", "Two Way ANOVA Details", groupDetail,
                              "RunGroup_s_ZUR"}));
    c.push_back(road<CNonParamChiSquare>({"Chi-Square", 'N', 100, F::Compare, 6, kOneX, "Chi S&quare", 30,
                                          "Chi-Square", 12, "Chi-Square", "Chi-Square", "Chi-Square Details", chiDetail,
                                          "RunChiSquare_s_ZUR"}));
    c.push_back(road<CNonParamSign>({"Sign Test", 'N', 200, F::X, 1, kOneX, "Si&gn Test", 31, "Sign Test", 13,
                                     "SignTest", "SignTest", "", nullptr, "RunSignFit_s_ZUR"}));
    c.push_back(road<CNonParamSign>({"K-S Fit", 'N', 300, F::X, 1, kOneX, "&K-S Fit", 32, "K-S Fit", 14, "K-S Fit",
                                     "K-S Fit", "", nullptr, "RunSignFit_s_ZUR"}));
    // The runs test or Mann-Whitney with the two-sample K-S, by the scenario's two-sample type.
    c.push_back(road<CNonParamMannKruskalKS>({"2 Sample", 'N', 400, F::X, 2, kCompareX, "&2 Sample", 33, "2 Sample",
                                              15, "2 Sample", "2 Sample", "", nullptr, "RunNPTwoSample_s_ZUR"}));
    c.push_back(road<CNonParamMannKruskalKS>({"N Sample", 'N', 500, F::X, 2, kCompareX, "N &Sample", 34, "N Sample",
                                              16, "N Sample Kruskal", "N Sample Kruskal", "N Sample Kruskal Details",
                                              kruskalDetail, "RunNPNSample_s_ZUR"}));
    c.push_back(road<CNonParametric>({"Paired Fields", 'N', 600, F::X, 3, kYX, "Paired &Fields", 35, "Paired Fields",
                                      17, "PairedFields", "PairedFields", "", nullptr, "RunNPPaired_s_ZUR"}));
    // Friedman's test needs two X fields; the scenario run calls it without a runner of its own.
    c.push_back(road<CNonParamFriedman>({"N Fields", 'N', 700, F::X, 1, {0, 0, 2, 0}, "N &Fields", 36, "N Fields",
                                         18, "N Fields Friedman", "N Fields Friedman", "N Fields Friedman Details",
                                         friedmanDetail, ""}));
    return c;
}

} // namespace

const std::vector<AnalysisType>& AnalysisTypes() {
    static const std::vector<AnalysisType> catalogue = makeCatalogue();
    return catalogue;
}

const AnalysisType* FindAnalysisType(std::string_view name) {
    for (const AnalysisType& t : AnalysisTypes())
        if (dao::NamesEqual(t.name, name)) return &t;
    return nullptr;
}

const AnalysisType* AnalysisTypeNamed(std::string_view name) {
    for (const AnalysisType& t : AnalysisTypes())
        if (t.name == name) return &t;
    return nullptr;
}

std::vector<const AnalysisType*> AnalysisTypesOfGroup(char group) {
    std::vector<const AnalysisType*> types;
    for (const AnalysisType& t : AnalysisTypes())
        if (t.group == group) types.push_back(&t);
    return types;
}

std::int16_t GetScenarioSort(const std::string& calcType) {
    const AnalysisType* t = AnalysisTypeNamed(calcType);
    return t ? t->sortOrder : std::int16_t(0);
}

const AnalysisType* AnalysisTypeOfScenario(std::string_view group, std::string_view name) {
    if (dao::NamesEqual(group, "G")) {
        const AnalysisType* t = FindAnalysisType(name);
        return t && t->group == 'G' ? t : FindAnalysisType("ANOVA");
    }
    return FindAnalysisType(name);
}
