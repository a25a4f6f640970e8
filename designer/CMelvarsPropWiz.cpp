#include "designer/CMelvarsPropWiz.h"

#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "designer/OptionsPages.h"
#include "designer/ReplacedTables.h"
#include "designer/WizServices.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioOptions.h"
#include "scenario/ScenarioTables.h"
#include "util/CProgramSettings.h"
#include "util/modZURSTAT.h"
#include "util/ui/modZURSTAT.h"

#include <QLineEdit>
#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace {

// The control of the page with that object name gets the focus.
void FocusControl(QWidget& page, const char* name) {
    if (auto* w = page.findChild<QWidget*>(QString::fromLatin1(name))) w->setFocus();
}

bool IsBlank(const dao::Variant& v) { return IsZLS(v); }

// The text of a page's text box (empty when it has none of that name).
QString BoxText(QWidget& page, const char* name) {
    auto* box = page.findChild<QLineEdit*>(QString::fromLatin1(name));
    return box ? box->text() : QString();
}

// Names the designer never writes output into: the scenario tables.
bool IsScenarioTableName(const std::string& name) {
    for (const char* t : {kScenarioTableName, kOptionsTableName, kFieldsTableName})
        if (dao::NamesEqual(name, t)) return true;
    return false;
}

// True when the current database has a query (or view) of that name.
bool IsQueryName(const std::string& name) {
    try {
        return gdbCurrent && gdbCurrent->QueryDefs().Find(name) != nullptr;
    } catch (const dao::DaoError&) {
        return false;
    }
}

// True when one of the columns of the scenario table names the table in a
// stored scenario (names compared as the database compares them). The names
// are matched in memory: no SQL is built from them.
bool StoredScenarioNames(const std::string& table, std::initializer_list<const char*> columns) {
    if (!gdbCurrent || table.empty() || !TableDefExists(gdbCurrent, kScenarioTableName)) return false;
    std::string sql = "SELECT ";
    for (const char* c : columns) sql += std::string(sql.size() > 7 ? ", " : "") + c;
    sql += std::string(" FROM ") + kScenarioTableName;
    try {
        dao::RecordsetPtr rs = gdbCurrent->OpenRecordset(sql, dao::dbOpenSnapshot);
        for (; !rs->EOF_(); rs->MoveNext()) {
            for (int i = 0; i < rs->FieldCount(); ++i) {
                const dao::Variant v = rs->GetValue(i);
                if (!v.IsNull() && !v.IsEmpty() && dao::NamesEqual(v.ToString(), table)) return true;
            }
        }
    } catch (const dao::DaoError&) {
        // A scenario table that cannot be read names nothing.
    }
    return false;
}

} // namespace

CMelvarsPropWiz::CMelvarsPropWiz() : m_ScenarioFields(std::make_shared<CScenarioFields>()) {}

bool CMelvarsPropWiz::IsInputOfStoredScenario(const std::string& table) {
    return StoredScenarioNames(table, {"Scenario_Input_Table_Name"});
}

bool CMelvarsPropWiz::IsOutputOfStoredScenario(const std::string& table) {
    return StoredScenarioNames(table, {"Scenario_Output_Table1_Name", "Scenario_Output_Table2_Name"});
}

CMelvarsPropWiz::~CMelvarsPropWiz() {
    ProcGuard proc(gErr, "CMelvarsPropWiz:Class_Terminat");
    try {
        UnloadPages();
        for (long i = m_ScenarioFields->Count(); i >= 1; --i) m_ScenarioFields->Remove(i);
    } catch (...) {
        proc.HandleError();
    }
}

void CMelvarsPropWiz::SetScenarioFields(std::shared_ptr<CScenarioFields> fields) {
    m_ScenarioFields = fields ? std::move(fields) : std::make_shared<CScenarioFields>();
}

long CMelvarsPropWiz::GetOptionsPageOf(const std::string& calcType) {
    const AnalysisType* t = AnalysisTypeNamed(calcType);
    return t ? t->optionsPage : 99;
}

std::string CMelvarsPropWiz::GroupOfType(const std::string& calcType) {
    const AnalysisType* t = AnalysisTypeNamed(calcType);
    return t ? std::string(1, t->group) : std::string();
}

bool CMelvarsPropWiz::IsOptionsPage(long page) {
    for (const AnalysisType& t : AnalysisTypes())
        if (t.optionsPage == page) return true;
    return false;
}

std::string CMelvarsPropWiz::OutputTablePrefix() const {
    std::string prefix;
    if (m_settings) prefix = m_settings->ReadEntry("OutputTablePrefix", "VRNL_");
    return prefix.empty() ? std::string("VRNL_") : prefix;
}

CWizPage* CMelvarsPropWiz::PageForm(long page) const {
    if (page < 0 || page >= static_cast<long>(m_pages.size())) return nullptr;
    return m_pages[static_cast<std::size_t>(page)].get();
}

CWizPage* CMelvarsPropWiz::EnsurePage(long page) {
    auto& slot = m_pages[static_cast<std::size_t>(page)];
    if (!slot) {
        switch (page) {
        case 1: slot = std::make_unique<frmQuorb_Create>(m_parent); break;
        case 2: slot = std::make_unique<frmQuorb_SelectTable>(m_parent); break;
        case 3: slot = std::make_unique<frmQuorb_Fields>(m_parent); break;
        case 50: slot = std::make_unique<frmQuorb_Finish>(m_parent); break;
        default: slot.reset(CreateOptionsPage(page, m_parent)); break;
        }
    }
    return slot.get();
}

void CMelvarsPropWiz::UnloadPages() {
    // In the order of the page table, the Finish page last.
    for (std::size_t i = 1; i < m_pages.size(); ++i) m_pages[i].reset();
}

bool CMelvarsPropWiz::ParentClosed() const { return m_hasParent && (!m_parent || !m_parent->isVisible()); }

long CMelvarsPropWiz::ConfirmCancel(long page) {
    if (!m_Changed) return -1;
    const int response = wizsvc::WizMessage(
        m_parent, QStringLiteral("You have made changes to this scenario. Are you sure you want to cancel?"), 4);
    return response == 6 ? -1 : page;
}

bool CMelvarsPropWiz::ShowStatWizard(long startPage) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:ShowStatWizard");
    bool result = false;
    try {
        long page = startPage;
        long previous = 0;
        QRect place;
        while (page != -1) {
            long next = page;
            if ((page >= 1 && page <= 3) || IsOptionsPage(page) || page == 50) {
                if (page == 50 && !PageForm(3)) EnsurePage(3)->SetWiz(this);
                CWizPage* form = EnsurePage(page);
                long nav = 0;
                if (form) {
                    form->SetWiz(this);
                    // Exit chosen in the error dialog of a failure while the
                    // page filled: the program ends, the page is not shown.
                    if (ParentClosed()) break;
                    // Every page stands where the previous one stood (the
                    // first where the dialog places itself), so the wizard
                    // does not jump from step to step.
                    // (A page whose controls need more room, with a large
                    // font, is never made smaller than they need.)
                    if (place.isValid())
                        form->setGeometry(QRect(place.topLeft(), place.size().expandedTo(form->minimumSizeHint())));
                    wizsvc::ShowModal(*form);
                    place = form->geometry();
                    nav = form->NavResult();
                    if (ParentClosed()) break;
                } else {
                    // No page for these options yet: the stored (or default)
                    // options pass, in the direction the user is travelling.
                    nav = previous == 50 ? 1 : 2;
                }
                if (page == 1) {
                    if (nav == 1) next = -1;
                    else if (nav == 2) next = 2;
                    else if (nav == 4) next = ConfirmCancel(1);
                } else if (page == 2) {
                    if (nav == 1) next = 1;
                    else if (nav == 2) next = 3;
                    else if (nav == 4) next = ConfirmCancel(2);
                } else if (page == 3) {
                    if (nav == 1) next = -1;
                    else if (nav == 2) next = GetOptionsPage();
                    else if (nav == 4) next = ConfirmCancel(3);
                } else if (page == 50) {
                    if (nav == 1) next = GetOptionsPage();
                    else if (nav == 2) next = -1;
                    else if (nav == 3) {
                        next = -1;
                        result = true;
                    }
                } else {
                    if (nav == 1) next = 3;
                    else if (nav == 2) next = 50;
                    else if (nav == 4) next = ConfirmCancel(page);
                }
                // A page shown again keeps its NavResult until a button sets
                // it anew; clear it so that a closed window is not read as the
                // last code.
                if (form) form->SetNavResult(0);
            } else if (page == 30) {
                if (!PageForm(3)) EnsurePage(3)->SetWiz(this);
                next = GetOptionsPage();
            } else if (page == 99) {
                wizsvc::WizMessage(m_parent, QStringLiteral("No forward yet..."), 0);
                next = -1;
            } else {
                next = -1;
            }
            previous = page;
            page = next;
        }
    } catch (...) {
        proc.HandleError();
        return result;
    }
    UnloadPages();
    return result;
}

std::string CMelvarsPropWiz::CheckDescribe(QWidget& page) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckDescribe");
    std::string msg;
    try {
        if (CI()) {
            if (!CI95() && IsBlank(CIUser())) {
                msg = "Confidence Interval value (95% or Other%) required";
                FocusControl(page, "chkCI95");
            }
            if (msg.empty() && CI95() && !IsBlank(CIUser()) && dao::Val(CIUser().ToString()) == 95.0) {
                msg = "Duplicate Confidence Interval % selected";
                FocusControl(page, "txtCIUser");
            }
            if (msg.empty() && CITypeRadio() == "Normal" && IsBlank(CIStdDev())) {
                msg = "Confidence Interval standard deviation required";
                FocusControl(page, "txtCIStdDev");
            }
        }
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

std::string CMelvarsPropWiz::CheckFrequency(QWidget& page, bool freqN, bool freqP) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckFrequency");
    std::string msg;
    try {
        if (!freqN && !freqP) return msg;
        if (BoxText(page, "txtInterV").isEmpty()) {
            msg = "Frequency: Number of intervals required";
            FocusControl(page, "txtInterV");
        }
        // The Describe page stores "Specified", the Frequency page "Specified:".
        if (msg.empty() && (FreqGroupRadio() == "Specified:" || FreqGroupRadio() == "Specified")) {
            if (BoxText(page, "txtFreqInit").isEmpty()) {
                msg = "Frequency: Specified Initial Value required";
                FocusControl(page, "txtFreqInit");
            } else if (BoxText(page, "txtFreqWidth").isEmpty()) {
                msg = "Frequency: Specified Interval Width required";
                FocusControl(page, "txtFreqWidth");
            }
        }
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

std::string CMelvarsPropWiz::CheckSignTest(QWidget& page) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckSignTest");
    std::string msg;
    try {
        if (!SignMean() && !SignMedian() && !SignCustom()) {
            msg = "No test type selected";
            FocusControl(page, "chkSignMean");
        } else if (SignCustom() && IsBlank(SignValue())) {
            msg = "Custom value required";
            FocusControl(page, "txtSignValue");
        } else if (const ScenarioOption* o = FindScenarioOption("SignValue");
                   SignCustom() && o && !OptionMisfit(*o, SignValue()).empty()) {
            // The options table keeps the value as a whole number: 2.5 would
            // be stored, and run, as 2.
            msg = "Custom value must be a whole number from -32768 to 32767";
            FocusControl(page, "txtSignValue");
        }
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

std::string CMelvarsPropWiz::CheckKSFit(QWidget& page) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckKSFit");
    std::string msg;
    if (!FitUniform() && !FitNormal() && !FitPoisson()) {
        msg = "No test type selected";
        FocusControl(page, "chkFitUniform");
    }
    return msg;
}

std::string CMelvarsPropWiz::CheckPaired(QWidget& page) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckPaired");
    std::string msg;
    if (!NPPair_Sign() && !NPPair_Wilcoxon() && !NPPair_Spearman()) {
        msg = "At least one analysis type must be selected";
        FocusControl(page, "chknPPair_Sign");
    }
    return msg;
}

bool CMelvarsPropWiz::CheckFinal(QWidget& page, std::string& firstName, std::string& secondName) {
    ProcGuard proc(gErr, "CMelvarsPropWiz:CheckFinal");
    firstName = OutputTable1();
    secondName = OutputTable2();
    return CheckFinalNames(page, firstName, secondName);
}

bool CMelvarsPropWiz::CheckFinalNames(QWidget& page, const std::string& first, const std::string& second) {
    std::string msg;
    const char* focus = nullptr;
    auto* label2 = page.findChild<QWidget*>(QStringLiteral("lblScenario_Output_Table2_Name"));
    const bool hasSecond = label2 && !label2->isHidden();
    if (first.empty()) {
        msg = "Output table name required.";
        focus = "txtScenario_Output_Table1_Name";
    }
    if (msg.empty() && second.empty() && hasSecond) {
        msg = "Second Output table name required.";
        focus = "txtScenario_Output_Table2_Name";
    }
    // Table names are the same whatever their letter case: "Out" and "out"
    // would overwrite each other.
    if (msg.empty() && !second.empty() && dao::NamesEqual(first, second)) {
        msg = "The first and second output table names must not be the same.";
        focus = "txtScenario_Output_Table2_Name";
    }
    // An output table is dropped and made anew at every run: it must be a
    // name the run can make, and neither the input of a scenario (this one or
    // any stored one) nor one of the scenario tables.
    for (int i = 0; i < 2 && msg.empty(); ++i) {
        const std::string& name = i == 0 ? first : second;
        if (name.empty()) continue;
        const char* box = i == 0 ? "txtScenario_Output_Table1_Name" : "txtScenario_Output_Table2_Name";
        if (const std::string fault = dao::TableDefs::NameFault(name); !fault.empty()) {
            msg = fault;
            focus = box;
        } else if (dao::NamesEqual(name, Table())) {
            msg = "The output table '" + name + "' is the scenario's input table. Please choose another name.";
            focus = box;
        } else if (IsScenarioTableName(name)) {
            msg = "The output table '" + name + "' is one of the scenario tables. Please choose another name.";
            focus = box;
        } else if (IsQueryName(name)) {
            // No table can be made under a query's name: every run would fail.
            msg = "The output table '" + name + "' is a query of the database. Please choose another name.";
            focus = box;
        } else if (std::string refusal = replacedtables::InputRefusal(name); !refusal.empty()) {
            msg = std::move(refusal);
            focus = box;
        }
    }
    if (msg.empty()) return true;
    if (focus) FocusControl(page, focus);
    wizsvc::WizMessage(&page, QString::fromStdString(msg), 0);
    return false;
}

bool CMelvarsPropWiz::PostScenario() {
    ProcGuard proc(gErr, "CMelvarsPropWiz:PostScenario");
    try {
        if (!gdbCurrent) throw RunTimeError(rterr::ObjectNotSet);
        std::vector<ScenarioFieldRow> fields;
        for (const CScenarioField& f : *m_ScenarioFields)
            fields.push_back({f.FieldName(), f.Choice(), f.OrdinalPosition()});
        const std::string user = dao::DBEngine().Workspaces(0)->UserName();
        const ScenarioSaveResult saved =
            SaveScenario(*gdbCurrent, m_Scenario_ID, Scenario(), GetScenarioSort(CalcType()), fields, user);
        if (!saved.Saved) {
            m_lastSaveError = saved.Message;
            wizsvc::WizMessage(m_parent, QStringLiteral("The scenario could not be saved.\r\n\r\n") +
                                             QString::fromStdString(saved.Message), 0);
            return false;
        }
        m_lastSaveError.clear();
        m_Scenario_ID = saved.ScenarioID;
        m_Changed = false;
        return true;
    } catch (...) {
        m_lastSaveError = ErrFromCurrentException().Description;
        proc.HandleError();
        wizsvc::WizMessage(m_parent, QStringLiteral("The scenario could not be saved.\r\n\r\n") +
                                         QString::fromStdString(m_lastSaveError), 0);
        return false;
    }
}
