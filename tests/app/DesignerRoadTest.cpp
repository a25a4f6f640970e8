// New and Edit from the scenario list: a scenario of every analysis type is
// made in the designer (type, table, fields, missing values, Finish), saved
// and run with "Save and &Run", its three kinds of rows are read back, and
// Edit reopens it with every value in place.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmStatMain.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/TransferButton.h"
#include "designer/TransferInOut.h"
#include "designer/WizServices.h"
#include "designer/frmIgnore.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "errors/ui/frmMsgBox.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/modZURSTAT.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QAbstractButton>
#include <QTabBar>
#include <QTreeWidget>

#include <deque>
#include <functional>
#include <set>

using namespace apptest;

namespace {

// The designer's windows answered by the test, one function per window.
class DesignerScript {
public:
    DesignerScript() {
        wizsvc::SetModalShower([this](QDialog& d) {
            shown << d.objectName();
            if (steps.empty()) {
                ADD_FAILURE() << "no step for " << d.objectName().toStdString();
                throw std::runtime_error("unscripted window");
            }
            auto step = std::move(steps.front());
            steps.pop_front();
            step(d);
        });
        wizsvc::SetMessageHandler([this](const QString& text, int style) {
            messages << text;
            return style == 4 ? 6 : 1;
        });
    }
    ~DesignerScript() {
        wizsvc::SetModalShower({});
        wizsvc::SetMessageHandler({});
    }
    std::deque<std::function<void(QDialog&)>> steps;
    QStringList shown;
    QStringList messages;
};

// Answers every message form and message box of the application at once
// (the run's own messages differ by whether the analysis is in the program).
class AutoAnswer {
public:
    AutoAnswer() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || !w->isVisible()) return;
            if (auto* box = qobject_cast<frmMsgBox*>(w)) {
                texts << box->Message();
                for (int i : {1, 6}) {
                    if (QPushButton* b = box->ResponseButton(i); b && b->isVisible()) {
                        b->click();
                        return;
                    }
                }
            } else if (auto* q = qobject_cast<QMessageBox*>(w)) {
                texts << q->text();
                q->accept();
            }
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
};

void Transfer(frmQuorb_Fields& page, const char* control, const char* field) {
    ASSERT_TRUE(page.SelectAvailable(QString::fromLatin1(field))) << field;
    QWidget* w = page.TransferControl(QString::fromLatin1(control));
    if (auto* tb = qobject_cast<TransferButton*>(w)) {
        tb->cmdTransfer_Click(1);
    } else if (auto* io = qobject_cast<TransferInOut*>(w)) {
        io->cmdTransfer_Click(1);
    } else {
        ADD_FAILURE() << control;
    }
}

struct TypeRoad {
    const char* group;
    int button; // on the type page
    const char* type;
    std::vector<std::pair<const char*, const char*>> assign; // transfer control, field
    const char* fieldRows;  // the stored field rows, "role:name:ordinal" by role and place
};

const TypeRoad kRoads[] = {
    {"P", 1, "Describe", {{"cmdTGroup", "Class"}, {"cmdTX", "Score"}, {"cmdTX", "Score2"}, {"cmdTWeight", "Weight"}},
     "G:Class:1 W:Weight:1 X:Score:1 X:Score2:2"},
    {"P", 2, "Frequency", {{"cmdTX", "Score"}}, "X:Score:1"},
    {"P", 3, "Percentiles", {{"cmdTGroup", "Class"}, {"cmdTX", "Score"}}, "G:Class:1 X:Score:1"},
    {"P", 4, "Compare", {{"cmdTXYDep", "Score"}, {"cmdTXY", "Score2"}}, "X:Score2:1 Y:Score:1"},
    {"P", 5, "Matrix", {{"cmdTX", "Score"}, {"cmdTX", "Score2"}}, "X:Score:1 X:Score2:2"},
    {"P", 6, "Regression", {{"cmdTXYDep", "Score"}, {"cmdTXY", "Score2"}}, "X:Score2:1 Y:Score:1"},
    {"P", 7, "Crosstab", {{"cmdTGroup", "Class"}, {"cmdTXTabCol", "Region"}, {"cmdTXTab", "Score"}},
     "C:Region:1 G:Class:1 X:Score:1"},
    {"G", 20, "Two Sample t-Test", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}, "C:Class:1 X:Score:1"},
    {"G", 21, "ANOVA", {{"cmdTCXComp", "Region"}, {"cmdTCX", "Score"}}, "C:Region:1 X:Score:1"},
    {"G", 22, "Two way ANOVA", {{"cmdTAnovaComp", "Class"}, {"cmdTAnovaComp", "Region"}, {"cmdTAnovaDep", "Score"}},
     "C:Class:1 C:Region:2 X:Score:1"},
    {"N", 30, "Chi-Square", {{"cmdTGroup", "Class"}, {"cmdTChi", "Region"}}, "C:Region:1 G:Class:1"},
    {"N", 31, "Sign Test", {{"cmdTX", "Score"}}, "X:Score:1"},
    {"N", 32, "K-S Fit", {{"cmdTX", "Score"}}, "X:Score:1"},
    {"N", 33, "2 Sample", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}, "C:Class:1 X:Score:1"},
    {"N", 34, "N Sample", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}, "C:Class:1 X:Score:1"},
    {"N", 35, "Paired Fields", {{"cmdTXYDep", "Score"}, {"cmdTXY", "Score2"}}, "X:Score2:1 Y:Score:1"},
    {"N", 36, "N Fields", {{"cmdTX", "Score"}, {"cmdTX", "Score2"}}, "X:Score:1 X:Score2:2"},
};

// The type page: the user picks the road's type; the table page: the table
// "Data".
void ChooseTypeAndData(DesignerScript& d, const TypeRoad& road) {
    d.steps.push_back([&road](QDialog& w) {
        auto& page = dynamic_cast<frmQuorb_Create&>(w);
        page.optType(road.button)->click();
        page.cmdNav(2)->click();
    });
    d.steps.push_back([](QDialog& w) {
        auto& page = dynamic_cast<frmQuorb_SelectTable&>(w);
        for (int i = 0; i < page.lvwTableQuery()->topLevelItemCount(); ++i)
            if (page.lvwTableQuery()->topLevelItem(i)->text(0) == QLatin1String("Data")) {
                page.lvwTableQuery()->setCurrentItem(page.lvwTableQuery()->topLevelItem(i));
                page.lvwTableQuery()->topLevelItem(i)->setSelected(true);
                page.lvwTableQuery_Click();
            }
        page.cmdNav(2)->click();
    });
}

// Then the fields page: the road's fields assigned, and Next.
void ChooseTypeDataAndFields(DesignerScript& d, const TypeRoad& road) {
    ChooseTypeAndData(d, road);
    d.steps.push_back([&road](QDialog& w) {
        auto& page = dynamic_cast<frmQuorb_Fields&>(w);
        for (const auto& [control, field] : road.assign) Transfer(page, control, field);
        page.cmdNav(2)->click();
    });
}

// The type's options page, left with the options of a new scenario; then
// Finish: the output table names (the second where the type has one) and
// the button `nav` pressed.
void OptionsThenFinish(DesignerScript& d, const QString& out1, const QString& out2, int nav) {
    d.steps.push_back([](QDialog& w) {
        auto* next = w.findChild<QAbstractButton*>(QStringLiteral("cmdNav_2"));
        ASSERT_NE(next, nullptr) << w.objectName().toStdString();
        next->click();
    });
    d.steps.push_back([=](QDialog& w) {
        auto& page = dynamic_cast<frmQuorb_Finish&>(w);
        page.txtScenario_Output_Table1_Name()->setText(out1);
        if (!page.txtScenario_Output_Table2_Name()->isHidden())
            page.txtScenario_Output_Table2_Name()->setText(out2);
        page.cmdNav(nav)->click();
    });
}

class DesignerRoad : public AppFixture {
protected:
    frmStatMain* Open() {
        path = File("road.db");
        CreateScoresDatabase(path, true);
        {
            auto ws = std::make_shared<dao::Workspace>("prep", "admin");
            auto db = ws->OpenDatabase(path);
            auto td = db->CreateTableDef("Data");
            for (const char* text : {"Class", "Region"}) td->Fields().Append(td->CreateField(text, dao::dbText, 10));
            for (const char* number : {"Score", "Score2", "Weight"}) td->Fields().Append(td->CreateField(number, dao::dbDouble));
            db->TableDefs().Append(td);
            auto rs = db->OpenRecordset("Data", dao::dbOpenDynaset);
            for (int i = 0; i < 12; ++i) {
                rs->AddNew();
                rs->Fields("Class")->SetValue(i < 6 ? "A" : "B");
                rs->Fields("Region")->SetValue(i % 2 ? "North" : "South");
                rs->Fields("Score")->SetValue(1.0 + i * i % 7);
                rs->Fields("Score2")->SetValue(2.0 + i % 5);
                rs->Fields("Weight")->SetValue(1.0);
                rs->Update();
            }
            rs->Close();
            db->Close();
            ws->Close();
        }
        script.OpenDatabase(path);
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }

    // The stored value of a column of scenario `id` ("Null" for Null).
    std::string Stored(const char* table, std::int32_t id, const char* column) {
        auto rs = gdbCurrent->OpenRecordset(std::string("SELECT * FROM ") + table +
                                                " WHERE Scenario_ID = " + std::to_string(id),
                                            dao::dbOpenSnapshot);
        if (rs->EOF_()) return "<no row>";
        const dao::Variant v = rs->Fields(column)->Value();
        return v.IsNull() ? "Null" : v.ToString();
    }
    std::string FieldRows(std::int32_t id) {
        auto rs = gdbCurrent->OpenRecordset(GetFieldListSQL(id), dao::dbOpenSnapshot);
        std::string rows;
        for (; !rs->EOF_(); rs->MoveNext())
            rows += (rows.empty() ? "" : " ") + rs->Fields("FieldDef_Choice")->Value().ToString() + ":" +
                    rs->Fields("FieldDef_Name")->Value().ToString() + ":" +
                    rs->Fields("FieldDef_Ordinal_Position")->Value().ToString();
        return rows;
    }
    void SelectScenario(frmStatMain* list, std::int32_t id) {
        for (int i = 0; i < list->lvwScenarios()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->lvwScenarios()->topLevelItem(i);
            if (item->text(0) == QString::number(id)) {
                list->lvwScenarios()->setCurrentItem(item);
                item->setSelected(true);
                return;
            }
        }
        ADD_FAILURE() << "scenario " << id << " not listed";
    }

    std::string path;
    ModalScript script;
    MDIMain* frame = nullptr;
};

TEST_F(DesignerRoad, EveryTypeIsCreatedSavedRunAndReopenedFromTheList) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    AutoAnswer app;
    std::int32_t expectedId = 0;
    for (const TypeRoad& road : kRoads) {
        SCOPED_TRACE(road.type);
        DesignerScript d;
        const std::string out1 = std::string("Out ") + road.type;
        ChooseTypeAndData(d, road);
        d.steps.push_back([&](QDialog& w) {
            auto& page = dynamic_cast<frmQuorb_Fields&>(w);
            for (const auto& [control, field] : road.assign) Transfer(page, control, field);
            page.txtScenario_Description()->setText(QString::fromLatin1(road.type) + QStringLiteral(" made by test"));
            emit page.txtScenario_Description()->editingFinished();
            d.steps.push_front([](QDialog& dlg) {
                auto& ignore = dynamic_cast<frmIgnore&>(dlg);
                ignore.optMissingtype(1)->click();
                ignore.txtMissingEqual()->setText(QStringLiteral("99"));
                ignore.cmdOK()->click();
            });
            page.cmdIgnore()->click();
            page.cmdNav(2)->click();
        });
        OptionsThenFinish(d, QString::fromStdString(out1), QString::fromStdString(out1 + " 2"), 4); // Save and Run
        list->SetScenTypeMain(QString::fromLatin1(road.group));
        list->SetScenType(QStringLiteral("*"));
        const int shownBefore = static_cast<int>(app.texts.size());
        list->cmdAction_Click(0);
        EXPECT_TRUE(d.steps.empty());
        ASSERT_EQ(d.shown.size(), 6) << d.shown.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(d.shown[4].startsWith(QStringLiteral("frmQuorb_Options_"))) << d.shown[4].toStdString();
        d.shown.removeAt(4);
        EXPECT_EQ(d.shown, QStringList({"frmQuorb_Create", "frmQuorb_SelectTable", "frmQuorb_Fields", "frmIgnore",
                                        "frmQuorb_Finish"}));
        ASSERT_NE(list->Designer(), nullptr);
        const std::int32_t id = list->Designer()->Scenario_ID();
        EXPECT_EQ(id, ++expectedId);

        // The three tables.
        const std::pair<const char*, std::string> scenarioRow[] = {
            {"Scenario_Analysis_Type", road.group},        {"Scenario_Analysis_SubType", road.type},
            {"Scenario_Input_Table_Name", "Data"},         {"Scenario_Output_Table1_Name", out1},
            {"Scenario_Description", std::string(road.type) + " made by test"},
            {"MissingType", "1"}, {"MissingEqual", "99"}, {"Scenario_Version", "V5   "}};
        for (const auto& [column, value] : scenarioRow)
            EXPECT_EQ(Stored("usysQuorbScenarios", id, column), value) << column;
        EXPECT_EQ(Stored("usysQuorbOptions", id, "VarNRadio"), "N-1"); // the defaults of a new scenario
        EXPECT_EQ(FieldRows(id), road.fieldRows);
        // The run followed at once: it wrote the output table or said why not.
        const bool wrote = TableDefExists(gdbCurrent, out1);
        EXPECT_TRUE(wrote || static_cast<int>(app.texts.size()) > shownBefore);
        if (std::string(road.type) == "Describe" || std::string(road.type) == "Chi-Square") {
            EXPECT_TRUE(wrote);
        }

        // Edit at the field page: the assignments come back in their lists.
        list->SetScenTypeMain(QString::fromLatin1(road.group));
        list->LoadScenarios();
        SelectScenario(list, id);
        DesignerScript e;
        QStringList restored;
        e.steps.push_back([&](QDialog& w) {
            auto& page = dynamic_cast<frmQuorb_Fields&>(w);
            const int f = page.FieldFrame();
            for (QListWidget* l : {page.lisGroupFields(), page.lisWeightField(), page.lisIndependentFields(f)})
                for (int i = 0; i < l->count(); ++i) restored << l->item(i)->text().section(QStringLiteral(" - ("), 0, 0);
            EXPECT_EQ(page.txtScenario_Description()->text(), QString::fromLatin1(road.type) + " made by test");
            page.cmdNav(4)->click(); // cancel, nothing changed: no question
        });
        list->EditCurrentScenario(3);
        EXPECT_TRUE(e.steps.empty());
        EXPECT_EQ(e.messages, QStringList());
        QStringList expectedRestored;
        const std::set<std::string> listed = {"cmdTGroup", "cmdTWeight", "cmdTX",   "cmdTCX",
                                              "cmdTXY",    "cmdTAnovaDep", "cmdTXTab", "cmdTChi"};
        for (const auto& [control, field] : road.assign)
            if (listed.count(control))
                expectedRestored << QString::fromLatin1(field);
        std::sort(restored.begin(), restored.end());
        std::sort(expectedRestored.begin(), expectedRestored.end());
        EXPECT_EQ(restored, expectedRestored);
        const CMelvarsPropWiz& wiz = *list->Designer();
        EXPECT_EQ(wiz.CalcType(), road.type);
        EXPECT_EQ(wiz.Scenario_Type(), road.group);
        EXPECT_EQ(wiz.MissingType(), "1");
        EXPECT_EQ(wiz.MissingEqual().ToString(), "99");
        EXPECT_TRUE(wiz.VarStd());
        EXPECT_EQ(wiz.ScenarioFields().Count(), 5); // every field of Data, assigned or not

        // Edit at Finish: the stored names; Save and Run without changes runs
        // the stored scenario (the existing output table is offered for
        // overwriting first).
        DesignerScript f;
        f.steps.push_back([&](QDialog& w) {
            auto& page = dynamic_cast<frmQuorb_Finish&>(w);
            EXPECT_EQ(page.txtScenario_Output_Table1_Name()->text(), QString::fromStdString(out1));
            EXPECT_EQ(page.txtDescription()->text(), QString::fromLatin1(road.type) + " made by test");
            page.cmdNav(4)->click();
        });
        list->EditCurrentScenario(50);
        EXPECT_TRUE(f.steps.empty());
        EXPECT_EQ(f.messages.size(), wrote ? 1 : 0) << f.messages.join('|').toStdString();
        EXPECT_EQ(Stored("usysQuorbScenarios", id, "Scenario_ModifiedBy"), "Null"); // nothing saved
    }
}

TEST_F(DesignerRoad, CancelAndPlainSaveRunNothing) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    AutoAnswer app;
    DesignerScript d;
    d.steps.push_back([](QDialog& w) { dynamic_cast<frmQuorb_Create&>(w).cmdNav(1)->click(); });
    list->SetScenTypeMain(QStringLiteral("G"));
    list->SetScenType(QStringLiteral("*"));
    list->cmdAction_Click(0);
    EXPECT_EQ(list->Designer()->CalcType(), "Two Sample t-Test"); // the group's first type
    EXPECT_EQ(list->Designer()->Scenario_ID(), 0);
    list->SetScenTypeMain(QStringLiteral("N"));
    list->SetScenType(QStringLiteral("K-S Fit"));
    d.steps.push_back([](QDialog& w) {
        auto& page = dynamic_cast<frmQuorb_Create&>(w);
        EXPECT_TRUE(page.optType(32)->isChecked()); // the chosen type, not the group's first
        page.cmdNav(1)->click();
    });
    list->cmdAction_Click(0);
    EXPECT_TRUE(d.steps.empty());
    EXPECT_TRUE(app.texts.isEmpty());
    // Edit without a selection.
    list->lvwScenarios()->clearSelection();
    list->EditCurrentScenario(3);
    EXPECT_EQ(app.texts.size(), 1);
}

TEST_F(DesignerRoad, ANewScenarioIsShownOnItsGroupsTabAndSelected) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    AutoAnswer app;
    struct Row {
        int road; // of kRoads
        int tab;  // 0 parametric, 1 group, 2 non-parametric
        const char* why;
    } rows[] = {
        {7, 1, "a group analysis made from the parametric tab"},
        {10, 2, "a non-parametric one made from the group tab"},
        {0, 0, "a parametric one while the tab shows another type"},
    };
    for (const Row& r : rows) {
        const TypeRoad& road = kRoads[r.road];
        SCOPED_TRACE(r.why);
        DesignerScript d;
        ChooseTypeDataAndFields(d, road);
        OptionsThenFinish(d, QStringLiteral("Out ") + QString::fromLatin1(road.type),
                          QStringLiteral("Out2 ") + QString::fromLatin1(road.type), 3); // Save
        // Where the user stands: the previous row's tab, a type other than
        // the new one chosen on the parametric tab.
        if (r.tab == 0) {
            list->optAnalysisType(1, 3)->click(); // Frequency
            ASSERT_EQ(list->ScenType(), QStringLiteral("Frequency"));
        }
        list->cmdAction_Click(0);
        ASSERT_TRUE(d.steps.empty()) << d.shown.join(QLatin1Char(' ')).toStdString();
        const std::int32_t id = list->Designer()->Scenario_ID();
        ASSERT_NE(id, 0);
        EXPECT_EQ(list->tabMain()->currentIndex(), r.tab);
        EXPECT_EQ(list->ScenTypeMain(), QString::fromLatin1(road.group));
        const std::optional<CScenarioInfo> shown = list->GetScenarioInfo();
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->ScenarioID(), std::to_string(id));
        EXPECT_TRUE(list->lvwScenarios()->currentItem()->isSelected());
    }
}

TEST_F(DesignerRoad, SaveAndRunAfterAnEditThatReshapesTheOutputReplacesItAfterOneQuestion) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    AutoAnswer app;
    const TypeRoad& road = kRoads[0]; // Describe: group Class, X Score and Score2, weight Weight
    const QString out = QStringLiteral("Out Describe");
    DesignerScript d;
    ChooseTypeDataAndFields(d, road);
    OptionsThenFinish(d, out, QString(), 4); // Save and Run
    list->SetScenTypeMain(QStringLiteral("P"));
    list->SetScenType(QStringLiteral("*"));
    list->cmdAction_Click(0);
    ASSERT_TRUE(d.steps.empty()) << d.shown.join(QLatin1Char(' ')).toStdString();
    const std::int32_t id = list->Designer()->Scenario_ID();
    ASSERT_TRUE(TableDefExists(gdbCurrent, out.toStdString()));
    ASSERT_EQ(app.texts, QStringList());

    // The means asked for as well: the output table gains columns, so the
    // run must replace the table, not only empty it.
    list->LoadScenarios();
    SelectScenario(list, id);
    DesignerScript e;
    e.steps.push_back([](QDialog& w) {
        auto* mean = w.findChild<QAbstractButton*>(QStringLiteral("chkMean"));
        ASSERT_NE(mean, nullptr) << w.objectName().toStdString();
        mean->click();
        w.findChild<QAbstractButton*>(QStringLiteral("cmdNav_2"))->click();
    });
    e.steps.push_back([](QDialog& w) { dynamic_cast<frmQuorb_Finish&>(w).cmdNav(4)->click(); });
    list->EditCurrentScenario(30);
    EXPECT_TRUE(e.steps.empty());
    // The Finish page asked about the existing table (Yes); the run then had
    // nothing to ask and nothing to fail on.
    ASSERT_EQ(e.messages.size(), 1);
    EXPECT_TRUE(e.messages[0].contains(out)) << e.messages[0].toStdString();
    EXPECT_EQ(app.texts, QStringList());
    // Two classes by two X fields, each row with its geometric mean.
    EXPECT_EQ(FirstColumn(path, "SELECT Count(*) FROM [Out Describe] WHERE GeometricMean IS NOT NULL"),
              std::vector<std::string>{"4"});
}

// An edit read the stored missing values as text of fifteen digits, and the
// save wrote that text back: a value of more digits, which the data holds,
// changed (and stopped counting as missing) when only the description did.
TEST_F(DesignerRoad, StoredMissingValuesOfSeventeenDigitsSurviveAnEditThatDoesNotTouchThem) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    AutoAnswer app;
    struct Row {
        const char* type;
        dao::Variant equal, low, high;
        const char* why;
    } rows[] = {
        {"1", 0.1 + 0.2, {}, {}, "0.30000000000000004, read as 0.3"},
        {"2", {}, 1.0 / 3, 2.0 / 3, "a third and two thirds, seventeen digits each"},
        {"2", {}, {}, -123456789.01234567, "a bound of nine digits before the point"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        vtest::ScenarioSpec spec = DescribeScores("Out");
        spec.missingType = r.type;
        spec.missingEqual = r.equal;
        spec.missingLow = r.low;
        spec.missingHigh = r.high;
        const std::int32_t id = vtest::StoreScenario(*gdbCurrent, spec);
        list->SetScenTypeMain(QStringLiteral("P"));
        list->SetScenType(QStringLiteral("*"));
        list->LoadScenarios();
        SelectScenario(list, id);
        DesignerScript e;
        e.steps.push_back([](QDialog& w) {
            auto& page = dynamic_cast<frmQuorb_Finish&>(w);
            page.txtDescription()->setText(QStringLiteral("renamed"));
            emit page.txtDescription()->editingFinished(); // leaving the box stores it
            page.cmdNav(3)->click();                        // Save
        });
        list->EditCurrentScenario(50);
        ASSERT_TRUE(e.steps.empty());
        ASSERT_EQ(Stored("usysQuorbScenarios", id, "Scenario_Description"), "renamed");
        auto rs = gdbCurrent->OpenRecordset("SELECT * FROM usysQuorbScenarios WHERE Scenario_ID = " + std::to_string(id),
                                            dao::dbOpenSnapshot);
        const std::pair<const char*, const dao::Variant&> columns[] = {
            {"MissingEqual", r.equal}, {"MissingLow", r.low}, {"MissingHigh", r.high}};
        for (const auto& [column, expected] : columns) {
            const dao::Variant stored = rs->Fields(column)->Value();
            if (expected.IsEmpty())
                EXPECT_TRUE(stored.IsNull()) << column;
            else
                EXPECT_EQ(stored.ToDouble(), expected.ToDouble()) << column; // the same double, bit for bit
        }
    }
    EXPECT_EQ(app.texts, QStringList());
}

TEST_F(AppFixture, ExitChosenInTheErrorDialogWhileTheDesignerOpensEndsItWithoutShowingAPage) {
    // Another program dropped the field table: the field page's filling
    // fails with the error dialog. Exit there closed the program's windows,
    // and the designer went on to show its page over them all the same.
    struct Row {
        int startPage;
        const char* command;
    } rows[] = {{3, "Edit Fields"}, {30, "Edit Options"}, {50, "Edit Output"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        ModalScript script;
        const std::string path = File(std::string("scores") + std::to_string(r.startPage) + ".db");
        CreateScoresDatabase(path, true, {DescribeScores("outDescribe")});
        script.OpenDatabase(path);
        QPointer<MDIMain> frame = Start();
        ASSERT_FALSE(frame.isNull());
        gdbCurrent->TableDefs().Delete(kFieldsTableName);
        DesignerScript designer;
        script.ErrorDialog(true);
        frame->StatMain()->EditCurrentScenario(r.startPage);
        Pump(50);
        EXPECT_TRUE(script.Done());
        EXPECT_TRUE(script.Unexpected().isEmpty()) << script.UnexpectedText();
        EXPECT_TRUE(designer.shown.isEmpty()) << designer.shown.join(QLatin1Char(',')).toStdString();
        EXPECT_TRUE(designer.messages.isEmpty()) << designer.messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(frame.isNull());
    }
}

} // namespace

