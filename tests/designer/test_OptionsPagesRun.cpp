// A scenario of every analysis type created through the whole designer
// (type, table, fields, options changed from their defaults, Finish), run
// through the engine on the test file, writing what its options ask for;
// then opened for edit, its options page shows what was chosen.
#include "DesignerTestSupport.h"

#include "designer/COptionsPage.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "engine/Varnello.h"
#include "scenario/ScenarioSave.h"
#include "scenario/ScenarioTables.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <cmath>
#include <map>

namespace {

using dtest::DesignerTest;
using dtest::Script;
using dtest::Transfer;

struct FieldStep {
    const char* control;
    const char* field;
};

// What the user does on the options page: click the controls named, type
// "text" into "txtBox" for entries written "txtBox=text".
using Actions = std::vector<const char*>;

// An output table as column name to the column's values, row by row.
using Table = std::map<std::string, std::vector<dao::Variant>>;

struct RunCase {
    int typeButton; // on the type page
    const char* type;
    std::vector<FieldStep> fields;
    Actions actions;
    std::function<void(const Table& t1, const Table* t2)> expect;
};

class OptionsRoad : public DesignerTest {
protected:
    Table Read(const std::string& name) const {
        Table t;
        auto rs = m_db->OpenRecordset("SELECT * FROM [" + name + "]", dao::dbOpenSnapshot);
        for (int c = 0; c < rs->FieldCount(); ++c) t[rs->Fields(c)->Name()];
        for (; !rs->EOF_(); rs->MoveNext())
            for (int c = 0; c < rs->FieldCount(); ++c) t[rs->Fields(c)->Name()].push_back(rs->GetValue(c));
        return t;
    }
};

// The state of every option control of a page, by object name.
std::map<QString, QString> ControlStates(const COptionsPage& page) {
    std::map<QString, QString> states;
    for (QAbstractButton* b : page.findChildren<QAbstractButton*>())
        if (!b->objectName().startsWith(QLatin1String("cmdNav"))) states[b->objectName()] = b->isChecked() ? "on" : "off";
    for (QLineEdit* e : page.findChildren<QLineEdit*>()) states[e->objectName()] = e->text();
    return states;
}

void Act(COptionsPage& page, const Actions& actions) {
    for (const char* a : actions) {
        const QString action = QString::fromLatin1(a);
        if (action.contains(QLatin1Char('='))) {
            auto* box = page.Control<QLineEdit>(action.section(QLatin1Char('='), 0, 0).toLatin1().constData());
            ASSERT_NE(box, nullptr) << a;
            ASSERT_TRUE(box->isEnabled()) << a;
            box->setText(action.section(QLatin1Char('='), 1));
            page.BoxLostFocus(box);
        } else {
            auto* b = page.Control<QAbstractButton>(a);
            ASSERT_NE(b, nullptr) << a;
            ASSERT_TRUE(b->isEnabled()) << a;
            b->click();
        }
    }
}

double Num(const Table& t, const char* column, std::size_t row = 0) {
    auto it = t.find(column);
    if (it == t.end() || row >= it->second.size()) {
        ADD_FAILURE() << "no " << column << " row " << row;
        return NAN;
    }
    return it->second[row].IsNull() ? NAN : it->second[row].ToDouble();
}

bool Has(const Table& t, const char* column) { return t.count(column) != 0; }

std::size_t RowCount(const Table& t) { return t.empty() ? 0 : t.begin()->second.size(); }

TEST_F(OptionsRoad, EveryTypeCreatedWithOptionsOfItsOwnRunsAndWritesThem) {
    const RunCase cases[] = {
        {1, "Describe", {{"cmdTX", "Score"}},
         {"chkSkew", "optMethodN", "chkPercentile", "optPcntRadioQuartiles", "chkTTestMean", "txtTTestValue=1.1"},
         [](const Table& t, const Table*) {
             // Score 2, 4, 6, 10, 20, 30: mean 12, squares about it 100+64+36+4+64+324 = 592.
             EXPECT_NEAR(Num(t, "Variance"), 592.0 / 6, 1e-9); // divisor N
             EXPECT_TRUE(Has(t, "Skewness") && Has(t, "Kurtosis"));
             EXPECT_FALSE(Has(t, "Mode"));
             EXPECT_TRUE(Has(t, "25_Percentile") && Has(t, "75_Percentile"));
             EXPECT_FALSE(Has(t, "10_Percentile"));
             EXPECT_EQ(Num(t, "Population_Mean"), 1.1); // the double typed, not 1.10000002
         }},
        {2, "Frequency", {{"cmdTX", "Score"}},
         {"txtInterV=4", "chkFreqSum", "optFreqGroupRadioSpec", "txtFreqInit=0", "txtFreqWidth=10"},
         [](const Table& t, const Table*) {
             // Four intervals of 10 from 0, with a row below and above:
             // 2, 4, 6 | 10 | 20 | 30, summed 12 | 10 | 20 | 30.
             const double counts[] = {0, 3, 1, 1, 1, 0}, sums[] = {0, 12, 10, 20, 30, 0};
             ASSERT_EQ(RowCount(t), 6u);
             for (std::size_t i = 0; i < 6; ++i) {
                 EXPECT_EQ(Num(t, "Count", i), counts[i]) << i;
                 EXPECT_EQ(Num(t, "Sum", i), sums[i]) << i;
             }
             for (std::size_t i = 1; i <= 4; ++i) EXPECT_EQ(Num(t, "Low<=Range", i), 10.0 * static_cast<double>(i - 1));
         }},
        {3, "Percentiles", {{"cmdTX", "Score"}}, {"optPcntRadioDeciles"},
         [](const Table& t, const Table*) {
             ASSERT_EQ(RowCount(t), 11u); // 0, 10, ..., 100
             for (std::size_t i = 0; i < 11; ++i) EXPECT_EQ(Num(t, "Percentile", i), 10.0 * static_cast<double>(i));
             EXPECT_EQ(Num(t, "Value", 0), 2);
             EXPECT_EQ(Num(t, "Value", 10), 30);
         }},
        {4, "Compare", {{"cmdTXY", "Score"}, {"cmdTXYDep", "Score2"}}, {"chkCountXY", "chkCorrXY"},
         [](const Table& t, const Table*) {
             // Score2 is Score + 1 in every row.
             EXPECT_EQ(Num(t, "MeanX"), 12);
             EXPECT_EQ(Num(t, "MeanY"), 13);
             EXPECT_EQ(Num(t, "MeanDiff"), -1);
             EXPECT_TRUE(Has(t, "T-DF"));
             for (const auto& [column, values] : t)
                 EXPECT_TRUE(column.find("Cor") == std::string::npos && column.find("Covar") == std::string::npos &&
                             column.find('<') == std::string::npos && column.find('>') == std::string::npos)
                     << column << ": counts and correlation were not asked for";
         }},
        {5, "Matrix", {{"cmdTX", "Score"}, {"cmdTX", "Units"}}, {"chkMCor", "chkMProb", "optMProbTail1"},
         [](const Table& t, const Table*) {
             ASSERT_EQ(RowCount(t), 6u); // count, correlation, one-tailed probability, for two fields
             std::vector<std::string> kinds;
             for (const auto& v : t.at("CalcType")) kinds.push_back(v.ToString());
             EXPECT_EQ(kinds, (std::vector<std::string>{"Count", "Count", "Correlation", "Correlation",
                                                        "Prob (1-tail)", "Prob (1-tail)"}));
             // Sxy = 96, Sxx(Units) = 17.5, Syy(Score) = 592: r = 96 / sqrt(10360).
             EXPECT_NEAR(Num(t, "Units", 2), 96.0 / std::sqrt(10360.0), 1e-12);
         }},
        {6, "Regression", {{"cmdTXY", "Units"}, {"cmdTXYDep", "Score"}},
         {"optRegressTypePoly", "txtRPoly=3", "chkResidual", "chkRAnova"},
         [](const Table& t, const Table* r) {
             EXPECT_TRUE(Has(t, "Coef_of_X^3"));
             EXPECT_FALSE(Has(t, "Coef_of_X^4"));
             EXPECT_FALSE(Has(t, "F-Value")) << "ANOVA columns were switched off";
             ASSERT_NE(r, nullptr) << "the residual table was asked for";
             ASSERT_EQ(RowCount(*r), 6u);
             // A least-squares fit with an intercept leaves residuals summing to 0.
             double sum = 0;
             for (std::size_t i = 0; i < 6; ++i) {
                 sum += Num(*r, "Residual", i);
                 EXPECT_NEAR(Num(*r, "Estimated_Y", i) + Num(*r, "Residual", i), Num(*r, "Y:Score", i), 1e-9);
             }
             EXPECT_NEAR(sum, 0, 1e-9);
         }},
        {7, "Crosstab", {{"cmdTGroup", "Class"}, {"cmdTXTabCol", "Region"}, {"cmdTXTab", "Score"}},
         {"optXTypeSum", "chkXChi", "chkXRowPcnt"},
         [](const Table& t, const Table* chi) {
             // Sums: A North 4, South 2 + 6; B North 10 + 30, South 20.
             EXPECT_EQ(Num(t, "North", 0), 4);
             EXPECT_EQ(Num(t, "South", 0), 8);
             EXPECT_EQ(Num(t, "North", 3), 40);
             EXPECT_EQ(Num(t, "South", 3), 20);
             EXPECT_NEAR(Num(t, "North", 1 + 1), 1.0 / 3, 1e-12); // row % of A North: 4 / 12
             ASSERT_NE(chi, nullptr);
             // Expected 12*44/72 ... ; (10/3)^2 over 22/3, 14/3, 110/3, 70/3.
             const double e = 100.0 / 9;
             EXPECT_NEAR(Num(*chi, "Chi-Square"), e * (3.0 / 22 + 3.0 / 14 + 3.0 / 110 + 3.0 / 70), 1e-12);
         }},
        {20, "Two Sample t-Test", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}, {"chkGroupDetail"},
         [](const Table& t, const Table* d) {
             EXPECT_EQ(Num(t, "Mean_Diff"), -16);
             ASSERT_NE(d, nullptr) << "the detail table was asked for";
             ASSERT_EQ(RowCount(*d), 2u);
             EXPECT_EQ(Num(*d, "Variance", 0), 4);   // 2, 4, 6
             EXPECT_EQ(Num(*d, "Variance", 1), 100); // 10, 20, 30
         }},
        {21, "ANOVA", {{"cmdTCXComp", "Region"}, {"cmdTCX", "Score"}}, {"chkGroupDetail"},
         [](const Table&, const Table* d) {
             ASSERT_NE(d, nullptr);
             ASSERT_EQ(RowCount(*d), 2u);
             EXPECT_NEAR(Num(*d, "Mean", 0), 44.0 / 3, 1e-12); // North 4, 10, 30
             EXPECT_NEAR(Num(*d, "Mean", 1), 28.0 / 3, 1e-12); // South 2, 6, 20
         }},
        {22, "Two way ANOVA", {{"cmdTAnovaComp", "Class"}, {"cmdTAnovaComp", "Region"}, {"cmdTAnovaDep", "Score"}},
         {"chkGroupDetail"},
         [](const Table&, const Table* d) {
             ASSERT_NE(d, nullptr);
             EXPECT_EQ(RowCount(*d), 4u); // A, B, North, South
         }},
        {30, "Chi-Square", {{"cmdTChi", "Region"}}, {"chkChiDetail", "chkChiAll"},
         [](const Table& t, const Table* d) {
             EXPECT_EQ(d, nullptr) << "the detail table was switched off";
             EXPECT_EQ(Num(t, "Expected"), 3); // 3 North, 3 South
             EXPECT_EQ(Num(t, "Chi-Square"), 0);
         }},
        {31, "Sign Test", {{"cmdTX", "Units"}}, {"chkSignMedian", "chkSignCustom", "txtSignValue=5"},
         [](const Table& t, const Table*) {
             ASSERT_EQ(RowCount(t), 3u);
             EXPECT_EQ(t.at("TestType")[2].ToString(), "Custom");
             EXPECT_EQ(Num(t, "TestValue", 2), 5);
             EXPECT_EQ(Num(t, "Count<Test", 2), 4); // 1, 2, 3, 4 below 5; 6 above
             EXPECT_EQ(Num(t, "Count>Test", 2), 1);
         }},
        {32, "K-S Fit", {{"cmdTX", "Units"}}, {"chkFitNormal", "chkFitPoisson"},
         [](const Table& t, const Table*) {
             ASSERT_EQ(RowCount(t), 2u);
             EXPECT_EQ(t.at("TestType")[0].ToString(), "Uniform");
             EXPECT_EQ(t.at("TestType")[1].ToString(), "Normal");
         }},
        {33, "2 Sample", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}, {"optNPTwoTypeWald"},
         [](const Table& t, const Table*) {
             // Sorted, the classes make two runs; expected 2*3*3/6 + 1 = 4.
             EXPECT_EQ(Num(t, "Wald_Min_Runs"), 2);
             EXPECT_EQ(Num(t, "Wald_Mean"), 4);
             for (const auto& [column, values] : t) EXPECT_EQ(column.find("Mann"), std::string::npos) << column;
         }},
        {34, "N Sample", {{"cmdTCXComp", "Region"}, {"cmdTCX", "Units"}}, {"chkNPKruskalDetail"},
         [](const Table& t, const Table* d) {
             EXPECT_EQ(d, nullptr) << "the detail table was switched off";
             EXPECT_EQ(Num(t, "Groups"), 2);
         }},
        {35, "Paired Fields", {{"cmdTXY", "Score"}, {"cmdTXYDep", "Units"}}, {"chkNPPair_Spearman"},
         [](const Table& t, const Table*) {
             EXPECT_EQ(Num(t, "Count>Y"), 6); // Score exceeds Units in every row
             EXPECT_EQ(Num(t, "Wilcoxon_Pos_SumRank"), 21);
             for (const auto& [column, values] : t) EXPECT_EQ(column.find("Spearman"), std::string::npos) << column;
         }},
        {36, "N Fields", {{"cmdTX", "Score"}, {"cmdTX", "Score2"}, {"cmdTX", "Units"}}, {"chkNPFriedmanDetail"},
         [](const Table& t, const Table* d) {
             EXPECT_EQ(d, nullptr) << "the detail table was switched off";
             // Every row ranks Units < Score < Score2: rank sums 6, 12, 18;
             // 12/(6*3*4) * (36 + 144 + 324) - 3*6*4 = 12.
             EXPECT_EQ(Num(t, "Chi-Squared"), 12);
         }},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.type);
        Script script;
        std::map<QString, QString> chosen;
        script.Then([&](QDialog& d) {
                  auto& p = dynamic_cast<frmQuorb_Create&>(d);
                  p.optType(c.typeButton)->click();
                  p.cmdNav_Click(2);
              })
            .Then([](QDialog& d) {
                auto& p = dynamic_cast<frmQuorb_SelectTable&>(d);
                p.txtTable()->setText(QStringLiteral("Data"));
                p.cmdNav_Click(2);
            })
            .Then([&](QDialog& d) {
                auto& p = dynamic_cast<frmQuorb_Fields&>(d);
                for (const FieldStep& f : c.fields) Transfer(p, f.control, 1, QString::fromLatin1(f.field));
                p.cmdNav_Click(2);
            })
            .Then([&](QDialog& d) {
                auto& p = dynamic_cast<COptionsPage&>(d);
                Act(p, c.actions);
                chosen = ControlStates(p);
                p.cmdNav_Click(2);
            })
            .Then([](QDialog& d) { dynamic_cast<frmQuorb_Finish&>(d).cmdNav_Click(3); });
        CMelvarsPropWiz wiz;
        dtest::SetNewScenarioDefaults(wiz);
        wiz.SetMissingType("0");
        EXPECT_FALSE(wiz.ShowStatWizard(1));
        ASSERT_TRUE(script.steps.empty());
        EXPECT_TRUE(script.messages.empty()) << script.MessageTexts().join(QLatin1Char('|')).toStdString();
        const std::int32_t id = wiz.Scenario_ID();
        ASSERT_NE(id, 0);

        Varnello engine;
        engine.SetScenarioDatabase(m_db);
        ASSERT_TRUE(engine.RunScenario(id)) << engine.ErrorInfo();
        const Table t1 = Read(wiz.OutputTable1());
        const bool second = !wiz.OutputTable2().empty();
        const Table t2 = second ? Read(wiz.OutputTable2()) : Table{};
        c.expect(t1, second ? &t2 : nullptr);

        // Opened for edit, the options page shows the options as chosen.
        CMelvarsPropWiz edit;
        edit.SetScenario_ID(id);
        auto rs = m_db->OpenRecordset(GetScenOptionSQL(id), dao::dbOpenSnapshot);
        edit.SetCalcType(rs->Fields("Scenario_Analysis_SubType")->Value().ToString());
        edit.SetTable(rs->Fields("Scenario_Input_Table_Name")->Value().ToString());
        for (const auto& [column, unused] : ScenarioOptionValues(edit.Scenario()))
            SetScenarioOption(edit.Scenario(), column, rs->Fields(column)->Value());
        rs->Close();
        Script reopen;
        reopen.Then([&](QDialog& d) {
            auto& p = dynamic_cast<COptionsPage&>(d);
            EXPECT_EQ(ControlStates(p), chosen);
            p.cmdNav_Click(4);
        });
        EXPECT_FALSE(edit.ShowStatWizard(30));
        EXPECT_FALSE(edit.Changed());
    }
}

} // namespace
