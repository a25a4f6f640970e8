#pragma once
// CMelvarsScenario: the scenario the engine runs, held in memory.
//
// It holds the scenario row and the options row of the scenario tables as 83
// plain stored properties, and the scenario's field rows as an ordered
// collection of CMelvarsScenarioField objects. It has no link back to the
// database and no knowledge of which analysis reads which option.
//
// Spelling of the properties: every property keeps the name of the stored
// scenario; its Get is the bare name and its Let is "Set" + the name:
//
//     scen.SetScenario_Description("Sales by region");
//     std::string d = scen.Scenario_Description();
//     scen.SetMissingLow(dao::Variant::Null());   // Null: no lower bound
//     if (scen.MissingLow().IsNull()) ...
//
// Value types and initial values:
//   String  -> std::string,  initially ""
//   Variant -> dao::Variant, initially Empty (distinct from Null and from 0)
//   Boolean -> bool,         initially false
//   Integer -> std::int16_t, initially 0
//   Double  -> double,       initially 0
// No Let converts, trims or checks its value, except SetScenario_Type, which
// keeps only exactly "P", "G" or "N" (letter case counts) and silently
// ignores anything else.
//
// The field collection (1-based positions, optional keys compared without
// regard to letter case, insertion order):
//
//     auto f = scen.AddField("Sales", "X");        // no key
//     scen.AddField("Region", "G", "grp");          // under the key "grp"
//     scen.Item(1)->Field_Name();                   // by position
//     scen.Item("GRP")->Choice();                   // by key
//     for (CMelvarsScenarioField& fld : scen) ...   // in collection order
//
// Collection errors are raised as RunTimeError with the platform's numbers:
//   457 "This key is already associated with an element of this collection"
//       (AddField with a key in use; nothing is added),
//   9   "Subscript out of range" (position outside 1 .. FieldCount),
//   5   "Invalid procedure call or argument" (key not present).
// Nothing else in the class raises, and nothing is reported to an error
// handler: errors go straight to the caller.
#include "db/Variant.h"
#include "scenario/CMelvarsScenarioField.h"
#include "scenario/KeyedCollection.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class CMelvarsScenario {
public:
    using FieldPtr = std::shared_ptr<CMelvarsScenarioField>;
    using iterator = scen::KeyedCollection<CMelvarsScenarioField>::iterator;

    // Creates a field with Field_Name = name and Choice = choice and appends
    // it, under key when key is not empty and without a key otherwise.
    // Returns the new field.
    FieldPtr AddField(const std::string& name, const std::string& choice, const std::string& key = {});

    // ---- properties, in the order of the stored scenario ------------------
    std::string Scenario_Description() const { return m_Scenario_Description; }
    void SetScenario_Description(std::string value) { m_Scenario_Description = std::move(value); }
    std::string Scenario_Type() const { return m_Scenario_Type; }
    // Keeps the value only when it is exactly "P", "G" or "N"; any other
    // value is ignored without an error.
    void SetScenario_Type(const std::string& value);
    std::string CalcType() const { return m_CalcType; }
    void SetCalcType(std::string value) { m_CalcType = std::move(value); }
    std::string Table() const { return m_Table; }
    void SetTable(std::string value) { m_Table = std::move(value); }
    std::string OutputTable1() const { return m_OutputTable1; }
    void SetOutputTable1(std::string value) { m_OutputTable1 = std::move(value); }
    std::string OutputTable2() const { return m_OutputTable2; }
    void SetOutputTable2(std::string value) { m_OutputTable2 = std::move(value); }
    std::string MissingType() const { return m_MissingType; }
    void SetMissingType(std::string value) { m_MissingType = std::move(value); }
    dao::Variant MissingEqual() const { return m_MissingEqual; }
    void SetMissingEqual(dao::Variant value) { m_MissingEqual = std::move(value); }
    dao::Variant MissingLow() const { return m_MissingLow; }
    void SetMissingLow(dao::Variant value) { m_MissingLow = std::move(value); }
    dao::Variant MissingHigh() const { return m_MissingHigh; }
    void SetMissingHigh(dao::Variant value) { m_MissingHigh = std::move(value); }
    std::string Scenario_Version() const { return m_Scenario_Version; }
    void SetScenario_Version(std::string value) { m_Scenario_Version = std::move(value); }
    bool CI() const noexcept { return m_CI; }
    void SetCI(bool value) noexcept { m_CI = value; }
    bool CI95() const noexcept { return m_CI95; }
    void SetCI95(bool value) noexcept { m_CI95 = value; }
    bool FreqN() const noexcept { return m_FreqN; }
    void SetFreqN(bool value) noexcept { m_FreqN = value; }
    bool FreqP() const noexcept { return m_FreqP; }
    void SetFreqP(bool value) noexcept { m_FreqP = value; }
    bool Mean() const noexcept { return m_Mean; }
    void SetMean(bool value) noexcept { m_Mean = value; }
    bool Mode() const noexcept { return m_Mode; }
    void SetMode(bool value) noexcept { m_Mode = value; }
    bool Percentile() const noexcept { return m_Percentile; }
    void SetPercentile(bool value) noexcept { m_Percentile = value; }
    bool Range() const noexcept { return m_Range; }
    void SetRange(bool value) noexcept { m_Range = value; }
    bool Skew() const noexcept { return m_Skew; }
    void SetSkew(bool value) noexcept { m_Skew = value; }
    bool Sum() const noexcept { return m_Sum; }
    void SetSum(bool value) noexcept { m_Sum = value; }
    bool TTestMean() const noexcept { return m_TTestMean; }
    void SetTTestMean(bool value) noexcept { m_TTestMean = value; }
    bool VarStd() const noexcept { return m_VarStd; }
    void SetVarStd(bool value) noexcept { m_VarStd = value; }
    bool FreqSum() const noexcept { return m_FreqSum; }
    void SetFreqSum(bool value) noexcept { m_FreqSum = value; }
    std::string FreqType() const { return m_FreqType; }
    void SetFreqType(std::string value) { m_FreqType = std::move(value); }
    bool CountXY() const noexcept { return m_CountXY; }
    void SetCountXY(bool value) noexcept { m_CountXY = value; }
    bool MeanXY() const noexcept { return m_MeanXY; }
    void SetMeanXY(bool value) noexcept { m_MeanXY = value; }
    bool CorrXY() const noexcept { return m_CorrXY; }
    void SetCorrXY(bool value) noexcept { m_CorrXY = value; }
    bool TTest() const noexcept { return m_TTest; }
    void SetTTest(bool value) noexcept { m_TTest = value; }
    bool MCnt() const noexcept { return m_MCnt; }
    void SetMCnt(bool value) noexcept { m_MCnt = value; }
    bool MMis() const noexcept { return m_MMis; }
    void SetMMis(bool value) noexcept { m_MMis = value; }
    bool MMean() const noexcept { return m_MMean; }
    void SetMMean(bool value) noexcept { m_MMean = value; }
    bool MDev() const noexcept { return m_MDev; }
    void SetMDev(bool value) noexcept { m_MDev = value; }
    bool MCov() const noexcept { return m_MCov; }
    void SetMCov(bool value) noexcept { m_MCov = value; }
    bool MCor() const noexcept { return m_MCor; }
    void SetMCor(bool value) noexcept { m_MCor = value; }
    bool MR2() const noexcept { return m_MR2; }
    void SetMR2(bool value) noexcept { m_MR2 = value; }
    bool MT() const noexcept { return m_MT; }
    void SetMT(bool value) noexcept { m_MT = value; }
    bool MProb() const noexcept { return m_MProb; }
    void SetMProb(bool value) noexcept { m_MProb = value; }
    bool RAnova() const noexcept { return m_RAnova; }
    void SetRAnova(bool value) noexcept { m_RAnova = value; }
    bool Residual() const noexcept { return m_Residual; }
    void SetResidual(bool value) noexcept { m_Residual = value; }
    bool RYInt() const noexcept { return m_RYInt; }
    void SetRYInt(bool value) noexcept { m_RYInt = value; }
    bool XRowPCnt() const noexcept { return m_XRowPCnt; }
    void SetXRowPCnt(bool value) noexcept { m_XRowPCnt = value; }
    bool XColPcnt() const noexcept { return m_XColPcnt; }
    void SetXColPcnt(bool value) noexcept { m_XColPcnt = value; }
    bool XTotPcnt() const noexcept { return m_XTotPcnt; }
    void SetXTotPcnt(bool value) noexcept { m_XTotPcnt = value; }
    bool XExpectPcnt() const noexcept { return m_XExpectPcnt; }
    void SetXExpectPcnt(bool value) noexcept { m_XExpectPcnt = value; }
    bool XExpect() const noexcept { return m_XExpect; }
    void SetXExpect(bool value) noexcept { m_XExpect = value; }
    bool XChi() const noexcept { return m_XChi; }
    void SetXChi(bool value) noexcept { m_XChi = value; }
    bool Chi() const noexcept { return m_Chi; }
    void SetChi(bool value) noexcept { m_Chi = value; }
    bool ChiAll() const noexcept { return m_ChiAll; }
    void SetChiAll(bool value) noexcept { m_ChiAll = value; }
    bool ChiIgnoreBlanks() const noexcept { return m_ChiIgnoreBlanks; }
    void SetChiIgnoreBlanks(bool value) noexcept { m_ChiIgnoreBlanks = value; }
    bool ChiDetail() const noexcept { return m_ChiDetail; }
    void SetChiDetail(bool value) noexcept { m_ChiDetail = value; }
    dao::Variant CIStdDev() const { return m_CIStdDev; }
    void SetCIStdDev(dao::Variant value) { m_CIStdDev = std::move(value); }
    dao::Variant FreqInit() const { return m_FreqInit; }
    void SetFreqInit(dao::Variant value) { m_FreqInit = std::move(value); }
    dao::Variant FreqWidth() const { return m_FreqWidth; }
    void SetFreqWidth(dao::Variant value) { m_FreqWidth = std::move(value); }
    double TTestValue() const noexcept { return m_TTestValue; }
    void SetTTestValue(double value) noexcept { m_TTestValue = value; }
    std::string CITypeRadio() const { return m_CITypeRadio; }
    void SetCITypeRadio(std::string value) { m_CITypeRadio = std::move(value); }
    std::string FreqDispRadio() const { return m_FreqDispRadio; }
    void SetFreqDispRadio(std::string value) { m_FreqDispRadio = std::move(value); }
    std::string FreqGroupRadio() const { return m_FreqGroupRadio; }
    void SetFreqGroupRadio(std::string value) { m_FreqGroupRadio = std::move(value); }
    std::string FreqIncRadio() const { return m_FreqIncRadio; }
    void SetFreqIncRadio(std::string value) { m_FreqIncRadio = std::move(value); }
    std::string PercentileRadio() const { return m_PercentileRadio; }
    void SetPercentileRadio(std::string value) { m_PercentileRadio = std::move(value); }
    std::string VarNRadio() const { return m_VarNRadio; }
    void SetVarNRadio(std::string value) { m_VarNRadio = std::move(value); }
    std::string MProbTail() const { return m_MProbTail; }
    void SetMProbTail(std::string value) { m_MProbTail = std::move(value); }
    std::string RegressType() const { return m_RegressType; }
    void SetRegressType(std::string value) { m_RegressType = std::move(value); }
    std::string XType() const { return m_XType; }
    void SetXType(std::string value) { m_XType = std::move(value); }
    dao::Variant CIUser() const { return m_CIUser; }
    void SetCIUser(dao::Variant value) { m_CIUser = std::move(value); }
    std::int16_t InterV() const noexcept { return m_InterV; }
    void SetInterV(std::int16_t value) noexcept { m_InterV = value; }
    std::int16_t RPoly() const noexcept { return m_RPoly; }
    void SetRPoly(std::int16_t value) noexcept { m_RPoly = value; }
    bool FitUniform() const noexcept { return m_FitUniform; }
    void SetFitUniform(bool value) noexcept { m_FitUniform = value; }
    bool FitNormal() const noexcept { return m_FitNormal; }
    void SetFitNormal(bool value) noexcept { m_FitNormal = value; }
    bool FitPoisson() const noexcept { return m_FitPoisson; }
    void SetFitPoisson(bool value) noexcept { m_FitPoisson = value; }
    bool SignMean() const noexcept { return m_SignMean; }
    void SetSignMean(bool value) noexcept { m_SignMean = value; }
    bool SignMedian() const noexcept { return m_SignMedian; }
    void SetSignMedian(bool value) noexcept { m_SignMedian = value; }
    bool SignCustom() const noexcept { return m_SignCustom; }
    void SetSignCustom(bool value) noexcept { m_SignCustom = value; }
    dao::Variant SignValue() const { return m_SignValue; }
    void SetSignValue(dao::Variant value) { m_SignValue = std::move(value); }
    bool NPPair_Sign() const noexcept { return m_NPPair_Sign; }
    void SetNPPair_Sign(bool value) noexcept { m_NPPair_Sign = value; }
    bool NPPair_Wilcoxon() const noexcept { return m_NPPair_Wilcoxon; }
    void SetNPPair_Wilcoxon(bool value) noexcept { m_NPPair_Wilcoxon = value; }
    bool NPPair_Spearman() const noexcept { return m_NPPair_Spearman; }
    void SetNPPair_Spearman(bool value) noexcept { m_NPPair_Spearman = value; }
    bool NPPair_Tau() const noexcept { return m_NPPair_Tau; }
    void SetNPPair_Tau(bool value) noexcept { m_NPPair_Tau = value; }
    bool NPFriedmanDetail() const noexcept { return m_NPFriedmanDetail; }
    void SetNPFriedmanDetail(bool value) noexcept { m_NPFriedmanDetail = value; }
    bool NPKruskalDetail() const noexcept { return m_NPKruskalDetail; }
    void SetNPKruskalDetail(bool value) noexcept { m_NPKruskalDetail = value; }
    std::string NPTwoType() const { return m_NPTwoType; }
    void SetNPTwoType(std::string value) { m_NPTwoType = std::move(value); }
    bool GroupIgnoreBlanks() const noexcept { return m_GroupIgnoreBlanks; }
    void SetGroupIgnoreBlanks(bool value) noexcept { m_GroupIgnoreBlanks = value; }
    bool GroupDetail() const noexcept { return m_GroupDetail; }
    void SetGroupDetail(bool value) noexcept { m_GroupDetail = value; }

    // ---- the field collection -----------------------------------------------
    // The entry at a 1-based position, or the one with a key; a Variant is a
    // key when it holds text and a position otherwise.
    template <std::integral I>
    const FieldPtr& Item(I position) const {
        return ItemAt(static_cast<long>(position));
    }
    const FieldPtr& Item(const std::string& key) const;
    const FieldPtr& Item(const char* key) const;
    const FieldPtr& Item(const dao::Variant& index) const;

    long FieldCount() const noexcept;

    // Removes the entry at a position or with a key; later entries move up.
    template <std::integral I>
    void Remove(I position) {
        RemoveAt(static_cast<long>(position));
    }
    void Remove(const std::string& key);
    void Remove(const char* key);
    void Remove(const dao::Variant& index);

    // Iteration over the fields in collection order (the enumerator).
    iterator begin() const noexcept { return m_fields.begin(); }
    iterator end() const noexcept { return m_fields.end(); }

private:
    const FieldPtr& ItemAt(long position) const;
    void RemoveAt(long position);

    scen::KeyedCollection<CMelvarsScenarioField> m_fields;

    std::string m_Scenario_Description;
    std::string m_Scenario_Type;
    std::string m_CalcType;
    std::string m_Table;
    std::string m_OutputTable1;
    std::string m_OutputTable2;
    std::string m_MissingType;
    dao::Variant m_MissingEqual;
    dao::Variant m_MissingLow;
    dao::Variant m_MissingHigh;
    std::string m_Scenario_Version;
    bool m_CI = false;
    bool m_CI95 = false;
    bool m_FreqN = false;
    bool m_FreqP = false;
    bool m_Mean = false;
    bool m_Mode = false;
    bool m_Percentile = false;
    bool m_Range = false;
    bool m_Skew = false;
    bool m_Sum = false;
    bool m_TTestMean = false;
    bool m_VarStd = false;
    bool m_FreqSum = false;
    std::string m_FreqType;
    bool m_CountXY = false;
    bool m_MeanXY = false;
    bool m_CorrXY = false;
    bool m_TTest = false;
    bool m_MCnt = false;
    bool m_MMis = false;
    bool m_MMean = false;
    bool m_MDev = false;
    bool m_MCov = false;
    bool m_MCor = false;
    bool m_MR2 = false;
    bool m_MT = false;
    bool m_MProb = false;
    bool m_RAnova = false;
    bool m_Residual = false;
    bool m_RYInt = false;
    bool m_XRowPCnt = false;
    bool m_XColPcnt = false;
    bool m_XTotPcnt = false;
    bool m_XExpectPcnt = false;
    bool m_XExpect = false;
    bool m_XChi = false;
    bool m_Chi = false;
    bool m_ChiAll = false;
    bool m_ChiIgnoreBlanks = false;
    bool m_ChiDetail = false;
    dao::Variant m_CIStdDev;
    dao::Variant m_FreqInit;
    dao::Variant m_FreqWidth;
    double m_TTestValue = 0.0;
    std::string m_CITypeRadio;
    std::string m_FreqDispRadio;
    std::string m_FreqGroupRadio;
    std::string m_FreqIncRadio;
    std::string m_PercentileRadio;
    std::string m_VarNRadio;
    std::string m_MProbTail;
    std::string m_RegressType;
    std::string m_XType;
    dao::Variant m_CIUser;
    std::int16_t m_InterV = 0;
    std::int16_t m_RPoly = 0;
    bool m_FitUniform = false;
    bool m_FitNormal = false;
    bool m_FitPoisson = false;
    bool m_SignMean = false;
    bool m_SignMedian = false;
    bool m_SignCustom = false;
    dao::Variant m_SignValue;
    bool m_NPPair_Sign = false;
    bool m_NPPair_Wilcoxon = false;
    bool m_NPPair_Spearman = false;
    bool m_NPPair_Tau = false;
    bool m_NPFriedmanDetail = false;
    bool m_NPKruskalDetail = false;
    std::string m_NPTwoType;
    bool m_GroupIgnoreBlanks = false;
    bool m_GroupDetail = false;
};
