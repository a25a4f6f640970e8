#include "scenario/ScenarioSave.h"

#include "db/Dao.h"
#include "scenario/ScenarioTables.h"

#include <array>
#include <exception>
#include <string_view>
#include <type_traits>

using namespace dao;

namespace {

using S = CMelvarsScenario;

// ---- one option column: its name and the property that holds it ----------------

template <class T>
Variant toVariant(const T& value) {
    if constexpr (std::is_same_v<T, Variant>)
        return value.IsEmpty() ? Variant::Null() : value;
    else
        return Variant(value);
}

template <class T>
T fromVariant(const Variant& v) {
    if constexpr (std::is_same_v<T, bool>)
        return v.IsNull() ? false : v.ToBool();
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return v.IsNull() ? std::int16_t{0} : v.ToInteger();
    else if constexpr (std::is_same_v<T, double>)
        return v.IsNull() ? 0.0 : v.ToDouble();
    else if constexpr (std::is_same_v<T, std::string>)
        return v.IsNull() || v.IsEmpty() ? std::string() : v.ToString();
    else
        return v;
}

template <class C, class R>
R returnOf(R (C::*)() const);
template <class C, class R>
R returnOf(R (C::*)() const noexcept);

template <auto Get>
Variant getOption(const S& s) {
    return toVariant((s.*Get)());
}

template <auto Get, auto Set>
void setOption(S& s, const Variant& v) {
    using T = decltype(returnOf(Get));
    (s.*Set)(fromVariant<T>(v));
}

struct OptionColumn {
    const char* name;
    Variant (*get)(const S&);
    void (*set)(S&, const Variant&);
};

template <auto Get, auto Set>
constexpr OptionColumn col(const char* name) {
    return {name, &getOption<Get>, &setOption<Get, Set>};
}

// In the order the options row is written.
const OptionColumn kOptionColumns[] = {
    col<&S::Range, &S::SetRange>("Range"),
    col<&S::VarStd, &S::SetVarStd>("VarStd"),
    col<&S::VarNRadio, &S::SetVarNRadio>("VarNRadio"),
    col<&S::Mean, &S::SetMean>("Mean"),
    col<&S::Skew, &S::SetSkew>("Skew"),
    col<&S::Sum, &S::SetSum>("Sum"),
    col<&S::Mode, &S::SetMode>("Mode"),
    col<&S::CI, &S::SetCI>("CI"),
    col<&S::CITypeRadio, &S::SetCITypeRadio>("CITypeRadio"),
    col<&S::CIStdDev, &S::SetCIStdDev>("CIStdDev"),
    col<&S::CI95, &S::SetCI95>("CI95"),
    col<&S::CIUser, &S::SetCIUser>("CIUser"),
    col<&S::TTestMean, &S::SetTTestMean>("TTestMean"),
    col<&S::TTestValue, &S::SetTTestValue>("TTestValue"),
    col<&S::Percentile, &S::SetPercentile>("Percentile"),
    col<&S::PercentileRadio, &S::SetPercentileRadio>("PercentileRadio"),
    col<&S::FreqN, &S::SetFreqN>("FreqN"),
    col<&S::FreqP, &S::SetFreqP>("FreqP"),
    col<&S::InterV, &S::SetInterV>("InterV"),
    col<&S::FreqIncRadio, &S::SetFreqIncRadio>("FreqIncRadio"),
    col<&S::FreqDispRadio, &S::SetFreqDispRadio>("FreqDispRadio"),
    col<&S::FreqGroupRadio, &S::SetFreqGroupRadio>("FreqGroupRadio"),
    col<&S::FreqWidth, &S::SetFreqWidth>("FreqWidth"),
    col<&S::FreqInit, &S::SetFreqInit>("FreqInit"),
    col<&S::FreqSum, &S::SetFreqSum>("FreqSum"),
    col<&S::FreqType, &S::SetFreqType>("FreqType"),
    col<&S::CountXY, &S::SetCountXY>("CountXY"),
    col<&S::MeanXY, &S::SetMeanXY>("MeanXY"),
    col<&S::CorrXY, &S::SetCorrXY>("CorrXY"),
    col<&S::TTest, &S::SetTTest>("TTest"),
    col<&S::Chi, &S::SetChi>("Chi"),
    col<&S::MCnt, &S::SetMCnt>("MCnt"),
    col<&S::MMis, &S::SetMMis>("MMis"),
    col<&S::MMean, &S::SetMMean>("MMean"),
    col<&S::MDev, &S::SetMDev>("MDev"),
    col<&S::MCov, &S::SetMCov>("MCov"),
    col<&S::MCor, &S::SetMCor>("MCor"),
    col<&S::MR2, &S::SetMR2>("MR2"),
    col<&S::MT, &S::SetMT>("MT"),
    col<&S::MProb, &S::SetMProb>("MProb"),
    col<&S::MProbTail, &S::SetMProbTail>("MProbTail"),
    col<&S::RegressType, &S::SetRegressType>("RegressType"),
    col<&S::RPoly, &S::SetRPoly>("RPoly"),
    col<&S::RYInt, &S::SetRYInt>("RYInt"),
    col<&S::RAnova, &S::SetRAnova>("RAnova"),
    col<&S::Residual, &S::SetResidual>("Residual"),
    col<&S::XType, &S::SetXType>("XType"),
    col<&S::XRowPCnt, &S::SetXRowPCnt>("XRowPCnt"),
    col<&S::XColPcnt, &S::SetXColPcnt>("XColPcnt"),
    col<&S::XTotPcnt, &S::SetXTotPcnt>("XTotPcnt"),
    col<&S::XExpectPcnt, &S::SetXExpectPcnt>("XExpectPcnt"),
    col<&S::XExpect, &S::SetXExpect>("XExpect"),
    col<&S::XChi, &S::SetXChi>("XChi"),
    col<&S::GroupIgnoreBlanks, &S::SetGroupIgnoreBlanks>("GroupIgnoreBlanks"),
    col<&S::GroupDetail, &S::SetGroupDetail>("GroupDetail"),
    col<&S::ChiAll, &S::SetChiAll>("ChiAll"),
    col<&S::ChiIgnoreBlanks, &S::SetChiIgnoreBlanks>("ChiIgnoreBlanks"),
    col<&S::ChiDetail, &S::SetChiDetail>("ChiDetail"),
    col<&S::SignMean, &S::SetSignMean>("SignMean"),
    col<&S::SignMedian, &S::SetSignMedian>("SignMedian"),
    col<&S::SignCustom, &S::SetSignCustom>("SignCustom"),
    col<&S::SignValue, &S::SetSignValue>("SignValue"),
    col<&S::FitUniform, &S::SetFitUniform>("FitUniform"),
    col<&S::FitNormal, &S::SetFitNormal>("FitNormal"),
    col<&S::FitPoisson, &S::SetFitPoisson>("FitPoisson"),
    col<&S::NPPair_Sign, &S::SetNPPair_Sign>("NPPair_Sign"),
    col<&S::NPPair_Wilcoxon, &S::SetNPPair_Wilcoxon>("NPPair_Wilcoxon"),
    col<&S::NPPair_Spearman, &S::SetNPPair_Spearman>("NPPair_Spearman"),
    col<&S::NPPair_Tau, &S::SetNPPair_Tau>("NPPair_Tau"),
    col<&S::NPFriedmanDetail, &S::SetNPFriedmanDetail>("NPFriedmanDetail"),
    col<&S::NPTwoType, &S::SetNPTwoType>("NPTwoType"),
    col<&S::NPKruskalDetail, &S::SetNPKruskalDetail>("NPKruskalDetail"),
};
static_assert(std::size(kOptionColumns) == 72);

// Null for an empty text, the text otherwise.
Variant nullIfEmpty(const std::string& text) { return text.empty() ? Variant::Null() : Variant(text); }

// Null for Null, Empty and the empty text; a text travels as it is (the
// column converts it), a number as a number.
Variant nullIfBlank(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return Variant::Null();
    if (v.IsString()) return nullIfEmpty(v.RawString());
    return v;
}

void writeColumns(Recordset& rs, const ScenarioColumnValues& values) {
    for (const auto& [column, value] : values) rs.Fields(column)->SetValue(value);
}

std::string idCriterion(std::int32_t id) { return "[Scenario_ID] = " + std::to_string(id); }

} // namespace

ScenarioSaveResult WriteScenarioRows(Database& db, std::int32_t scenarioId, const ScenarioRows& rows) {
    ScenarioSaveResult result;
    try {
        WorkspacePtr ws = db.OwningWorkspace();
        if (!ws) throw DaoError(err::InvalidOperation, "The database has no open workspace.");
        TransactionGuard tx(*ws);
        std::int32_t id = scenarioId;
        {
            RecordsetPtr rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
            if (id == 0) {
                rs->AddNew();
            } else {
                rs->FindFirst(idCriterion(id));
                if (rs->NoMatch()) throw DaoError(err::InvalidOperation, "Scenario not found: " + std::to_string(id));
                rs->Edit();
            }
            writeColumns(*rs, rows.Header);
            rs->Update();
            if (id == 0) {
                rs->SetBookmark(rs->LastModified());
                id = rs->Fields("Scenario_ID")->Value().ToLong();
            }
            rs->Close();
        }
        if (rows.Options) {
            RecordsetPtr rs = db.OpenRecordset(kOptionsTableName, dbOpenDynaset);
            bool found = false;
            if (scenarioId != 0) {
                rs->FindFirst(idCriterion(id));
                found = !rs->NoMatch();
            }
            if (found) {
                rs->Edit();
            } else {
                rs->AddNew();
                rs->Fields("Scenario_ID")->SetValue(id);
            }
            writeColumns(*rs, *rows.Options);
            rs->Update();
            rs->Close();
        }
        db.Execute("DELETE * FROM [usysQuorbFields] WHERE [Scenario_ID] = " + std::to_string(id));
        {
            RecordsetPtr rs = db.OpenRecordset(kFieldsTableName, dbOpenDynaset);
            for (const ScenarioFieldRow& f : rows.Fields) {
                if (f.Choice.empty()) continue;
                rs->AddNew();
                rs->Fields("Scenario_ID")->SetValue(id);
                rs->Fields("FieldDef_Ordinal_Position")->SetValue(f.OrdinalPosition);
                rs->Fields("FieldDef_Name")->SetValue(f.FieldName);
                rs->Fields("FieldDef_Choice")->SetValue(f.Choice);
                rs->Update();
            }
            rs->Close();
        }
        tx.Commit();
        result.Saved = true;
        result.ScenarioID = id;
    } catch (const DaoError& e) {
        result.Message = e.Description();
    } catch (const std::exception& e) {
        result.Message = e.what();
    } catch (...) {
        result.Message = "The scenario could not be saved.";
    }
    return result;
}

ScenarioSaveResult SaveScenario(Database& db, std::int32_t scenarioId, const CMelvarsScenario& s,
                                const std::vector<ScenarioFieldRow>& fields, const std::string& userName) {
    const bool isNew = scenarioId == 0;
    ScenarioRows rows;
    rows.Header = {
        {"SortOrder", GetScenarioSort(s.CalcType())},
        {"Scenario_Description", nullIfEmpty(s.Scenario_Description())},
        {"Scenario_Analysis_Type", s.Scenario_Type()},
        {"Scenario_Analysis_SubType", s.CalcType()},
        {"Scenario_Input_Table_Name", s.Table()},
        {"Scenario_Output_Table1_Name", s.OutputTable1()},
        {"Scenario_Output_Table2_Name", s.OutputTable2()},
        {"Scenario_Version", "V5   "},
        {isNew ? "Scenario_DateCreated" : "Scenario_LastModified", Variant::Date(Now())},
        {isNew ? "Scenario_CreatedBy" : "Scenario_ModifiedBy", userName},
        {"MissingType", nullIfEmpty(s.MissingType())},
        {"MissingEqual", nullIfBlank(s.MissingEqual())},
        {"MissingLow", nullIfBlank(s.MissingLow())},
        {"MissingHigh", nullIfBlank(s.MissingHigh())},
    };
    const std::string blanks(255, ' ');
    for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
        rows.Header.emplace_back(lock, blanks);
    rows.Options = ScenarioOptionValues(s);
    rows.Fields = fields;
    return WriteScenarioRows(db, scenarioId, rows);
}

ScenarioColumnValues ScenarioOptionValues(const CMelvarsScenario& s) {
    ScenarioColumnValues values;
    values.reserve(std::size(kOptionColumns));
    for (const OptionColumn& c : kOptionColumns) {
        Variant v = c.get(s);
        // Only the frequency type is written as Null when it is empty.
        if (std::string_view(c.name) == "FreqType") v = nullIfEmpty(s.FreqType());
        values.emplace_back(c.name, std::move(v));
    }
    return values;
}

bool SetScenarioOption(CMelvarsScenario& s, const std::string& column, const Variant& value) {
    for (const OptionColumn& c : kOptionColumns) {
        if (NamesEqual(c.name, column)) {
            c.set(s, value);
            return true;
        }
    }
    return false;
}

std::int16_t GetScenarioSort(const std::string& calcType) {
    static const std::pair<const char*, std::int16_t> ranks[] = {
        {"Describe", 100},   {"Frequency", 200},         {"Percentiles", 300}, {"Compare", 400},
        {"Matrix", 500},     {"Regression", 600},        {"Crosstab", 700},    {"Two Sample t-Test", 100},
        {"ANOVA", 200},      {"Two way ANOVA", 300},     {"Chi-Square", 100},  {"Sign Test", 200},
        {"K-S Fit", 300},    {"2 Sample", 400},          {"N Sample", 500},    {"Paired Fields", 600},
        {"N Fields", 700},
    };
    for (const auto& [name, rank] : ranks)
        if (calcType == name) return rank;
    return 0;
}

std::vector<ScenarioFieldRow> NumberedFields(const CMelvarsScenario& s) {
    std::vector<ScenarioFieldRow> rows;
    for (const CMelvarsScenarioField& f : s) {
        std::int32_t place = 1;
        for (const ScenarioFieldRow& r : rows)
            if (r.Choice == f.Choice()) ++place;
        rows.push_back({f.Field_Name(), f.Choice(), place});
    }
    return rows;
}

CMelvarsScenario NewScenarioDefaults() {
    CMelvarsScenario s;
    s.SetMissingType("0");
    s.SetMean(false);
    s.SetSkew(false);
    s.SetMode(false);
    s.SetCI(false);
    s.SetSum(true);
    s.SetRange(true);
    s.SetVarStd(true);
    s.SetCI95(true);
    s.SetVarNRadio("N-1");
    s.SetInterV(10);
    s.SetCITypeRadio("t-Test");
    s.SetTTestValue(0);
    s.SetFreqIncRadio("Lower");
    s.SetFreqDispRadio("Count");
    s.SetFreqGroupRadio("Default");
    s.SetPercentileRadio("Median");
    s.SetCountXY(true);
    s.SetMeanXY(true);
    s.SetCorrXY(true);
    s.SetTTest(true);
    s.SetChi(false);
    s.SetMCnt(true);
    s.SetMProbTail("2-tail");
    s.SetRegressType("S");
    s.SetRPoly(2);
    s.SetRYInt(true);
    s.SetRAnova(true);
    s.SetResidual(false);
    s.SetXType("C");
    s.SetChiDetail(true);
    s.SetSignMean(true);
    s.SetFitUniform(true);
    s.SetFitPoisson(true);
    s.SetNPPair_Sign(true);
    s.SetNPPair_Wilcoxon(true);
    s.SetNPPair_Spearman(true);
    s.SetNPFriedmanDetail(true);
    s.SetNPTwoType("Mann");
    s.SetNPKruskalDetail(true);
    return s;
}
