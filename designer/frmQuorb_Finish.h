#pragma once
// Page 50 of the designer: the analysis type, the description and the names
// of the one or two output tables (default names from the setting
// "OutputTablePrefix" and the type). "&Save" saves, "Save and &Run" first
// checks the names, offers to drop output tables that exist, then saves and
// asks for the run; "Cancel" leaves (asking when the scenario changed).
//
// A name is refused when a run would refuse it (the data layer's own rule),
// when it is the input table of any stored scenario, or a scenario table.
// An existing table that no stored scenario writes holds data: replacing it,
// or storing its name with "&Save" (a later run replaces it), needs its own
// warning (designer/ReplacedTables.h, which the scenario list's Run asks
// through as well). Every question's default answer is No.
#include "designer/CWizPage.h"
#include "designer/ReplacedTables.h"

#include <array>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmQuorb_Finish : public CWizPage {
    Q_OBJECT
public:
    explicit frmQuorb_Finish(QWidget* parent = nullptr);

    // Keeps the first wizard; fills the page anew on every showing.
    void SetWiz(CMelvarsPropWiz* wiz) override;

    struct OutputWords {
        std::string first;  // builds the first default name
        std::string label;  // in the first label's caption
        std::string second; // builds the second default name and label
    };
    // The words of a type (letter case counts; none for any other name), from
    // the catalogue of analysis types.
    static OutputWords WordsOf(const std::string& calcType);
    // True when the wizard's type and options make a second output table.
    static bool HasSecondTable(const CMelvarsPropWiz& wiz);

    void cmdNav_Click(int index);

    QLineEdit* txtAnalysisType() const { return m_txtAnalysisType; }
    QLineEdit* txtDescription() const { return m_txtDescription; }
    QLineEdit* txtScenario_Output_Table1_Name() const { return m_txtName1; }
    QLineEdit* txtScenario_Output_Table2_Name() const { return m_txtName2; }
    QLabel* lblScenario_Output_Table1_Name() const { return m_lblName1; }
    QLabel* lblScenario_Output_Table2_Name() const { return m_lblName2; }
    QGroupBox* fraOutputTables() const { return m_fraOutputTables; }
    QPushButton* cmdNav(int index) const { return m_cmdNav[static_cast<std::size_t>(index)]; }

    // The column sizes of the names: longer names cannot be stored.
    static constexpr int Table1NameSize = 50;
    static constexpr int Table2NameSize = 64;
    // The longest prefix with which every proposed name fits its box whole
    // (the longest type words leave it; the options dialog holds no more).
    static int PrefixSize();

    static constexpr int HelpTopic = 250;

protected:
    // Escape and the close box do what Cancel does (asking when the
    // scenario changed).
    void EscapePressed() override { cmdNav_Click(2); }

private:
    bool CheckExistingTableNames();
    // The page's questions: the message form over the page, No the default.
    replacedtables::Asking PageQuestions();
    void StoreBoxes();
    void LostFocusRule(QLineEdit* box, int which);

    QLineEdit* m_txtAnalysisType = nullptr;
    QLineEdit* m_txtDescription = nullptr;
    QLineEdit* m_txtName1 = nullptr;
    QLineEdit* m_txtName2 = nullptr;
    QLabel* m_lblName1 = nullptr;
    QLabel* m_lblName2 = nullptr;
    QGroupBox* m_fraOutputTables = nullptr;
    std::array<QPushButton*, 5> m_cmdNav{};
};
