#pragma once
// CMelvarsPropWiz: the scenario designer. One object holds one scenario while
// it is created or edited (every property of the stored scenario, its field
// assignments and the Changed flag) and runs the designer's pages one after
// the other (ShowStatWizard).
//
//     CMelvarsPropWiz wiz;
//     wiz.SetScenario_ID(0);
//     wiz.SetCalcType("Describe");
//     wiz.SetScenario_Type("P");
//     ...                              // the defaults of a new scenario
//     if (wiz.ShowStatWizard(1)) run(wiz.Scenario_ID());
//
// Properties keep the stored scenario's names: the Get is the bare name, the
// Let is "Set" + the name (as CMelvarsScenario). No Let sets Changed; the
// pages set it after storing a user's edit. SetScenario_Type keeps only
// exactly "P", "G" or "N".
//
// Page numbers: 1 type, 2 input table, 3 field roles, 4 to 29 the options
// page of a type (4 to 18 today; the catalogue of analysis types gives each
// type its page), 30 straight to the options page (the field page is made
// but not shown), 50 Finish, 99 a type without options page, -1 end.
// Navigation codes: 1 back, 2 next (Finish: leave), 3 save and run, 4 cancel.
// Cancel on any page but the Finish page (which asks itself) ends the
// designer, after the question "... Are you sure you want to cancel?" when
// the scenario changed. Each page is shown where the previous one stood.
//
// The designer works on the application's current database (gdbCurrent) and
// reports unexpected errors to the application's handler (gErr).
#include "designer/CWizPage.h"
#include "scenario/CMelvarsScenario.h"
#include "scenario/CScenarioFields.h"
#include "scenario/ScenarioSave.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CProgramSettings;
class QWidget;

class CMelvarsPropWiz : private CMelvarsScenario {
public:
    CMelvarsPropWiz();
    ~CMelvarsPropWiz();
    CMelvarsPropWiz(const CMelvarsPropWiz&) = delete;
    CMelvarsPropWiz& operator=(const CMelvarsPropWiz&) = delete;

    // Runs the designer from the start page (1, 2, 3, an options page, 30 or 50).
    // True only when the Finish page was left with "Save and &Run".
    bool ShowStatWizard(long startPage);

    // ---- the scenario's properties -----------------------------------------
    std::int32_t Scenario_ID() const noexcept { return m_Scenario_ID; }
    void SetScenario_ID(std::int32_t value) noexcept { m_Scenario_ID = value; }
    // Every property of the scenario record, from its one list
    // (ScenarioOptionList.h): the Get and the Let of each.
#define VARNELLO_WIZARD_PROPERTY(Property, ...) using CMelvarsScenario::Property, CMelvarsScenario::Set##Property;
    using CMelvarsScenario::Scenario_Type, CMelvarsScenario::SetScenario_Type;
    VARNELLO_SCENARIO_HEADER(VARNELLO_WIZARD_PROPERTY)
    VARNELLO_SCENARIO_OPTIONS(VARNELLO_WIZARD_PROPERTY)
#undef VARNELLO_WIZARD_PROPERTY

    // The field assignments (shared with the pages, changed in place).
    CScenarioFields& ScenarioFields() const { return *m_ScenarioFields; }
    void SetScenarioFields(std::shared_ptr<CScenarioFields> fields);

    // The scenario's properties as one CMelvarsScenario (its own field
    // collection is not used by the designer: see ScenarioFields).
    const CMelvarsScenario& Scenario() const noexcept { return *this; }
    CMelvarsScenario& Scenario() noexcept { return *this; }

    // ---- for the pages ----------------------------------------------------
    bool Changed() const noexcept { return m_Changed; }
    void SetChanged(bool changed) noexcept { m_Changed = changed; }

    // Option checks: the first fault's message (empty when none); the focus
    // moves to the page's control of that name.
    std::string CheckDescribe(QWidget& page);
    std::string CheckFrequency(QWidget& page, bool freqN, bool freqP);
    std::string CheckSignTest(QWidget& page);
    std::string CheckKSFit(QWidget& page);
    std::string CheckPaired(QWidget& page);
    // The output table names of the Finish page, from OutputTable1 and
    // OutputTable2; shows its message itself. True when they are acceptable.
    bool CheckFinal(QWidget& page, std::string& firstName, std::string& secondName);
    // The same rules on two given names (the page's boxes). Besides the
    // rules above, a name is refused with the data layer's own text when a run
    // could not make a table of that name, and when it is the input table of
    // this or of any stored scenario, or a scenario table.
    bool CheckFinalNames(QWidget& page, const std::string& firstName, const std::string& secondName);
    // Whether a scenario stored in the current database reads the table, or
    // writes it as one of its outputs (letter case aside).
    static bool IsInputOfStoredScenario(const std::string& table);
    static bool IsOutputOfStoredScenario(const std::string& table);

    // Saves the scenario into the current database in one transaction. On
    // success a new scenario receives its number and Changed becomes False;
    // on failure the wizard is unchanged and the reason is shown. True when
    // saved.
    bool PostScenario();
    // The reason of the last failed save; empty after a success.
    const std::string& LastSaveError() const noexcept { return m_lastSaveError; }

    // The options page of a type (its number in the catalogue of analysis
    // types), 99 for a name that is none of the types (letter case counts).
    static long GetOptionsPageOf(const std::string& calcType);
    long GetOptionsPage() const { return GetOptionsPageOf(CalcType()); }
    // The group letter of a type: "P", "G", "N", or "" for none of them.
    static std::string GroupOfType(const std::string& calcType);
    // Whether the page number is the options page of a type.
    static bool IsOptionsPage(long page);

    // The settings that hold "OutputTablePrefix" (none: the default prefix).
    void SetSettings(std::shared_ptr<CProgramSettings> settings) { m_settings = std::move(settings); }
    std::string OutputTablePrefix() const;

    // The window the pages are shown over. Closed while the designer runs
    // (the program ends: Exit in an error dialog), it ends the designer: no
    // page is shown again over a window that is gone.
    void SetParentWindow(QWidget* parent) {
        m_parent = parent;
        m_hasParent = parent != nullptr;
    }

    // The page form of a page number while ShowStatWizard runs (else null).
    CWizPage* PageForm(long page) const;

private:
    long ConfirmCancel(long page);
    CWizPage* EnsurePage(long page);
    void UnloadPages();

    std::int32_t m_Scenario_ID = 0;
    std::shared_ptr<CScenarioFields> m_ScenarioFields;
    bool m_Changed = false;
    std::string m_lastSaveError;
    std::shared_ptr<CProgramSettings> m_settings;
    bool ParentClosed() const;
    QPointer<QWidget> m_parent;
    bool m_hasParent = false;
    // Page forms of the running ShowStatWizard, by page number (1 to 29, 50).
    std::array<std::unique_ptr<CWizPage>, 51> m_pages;
};
