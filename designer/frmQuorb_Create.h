#pragma once
// Page 1 of the designer: the analysis type of a new scenario, one option
// button per type of the catalogue of analysis types (its caption and index
// from there), under the headings "Parametric", "Group" and
// "Non-Parametric" of the types' groups. The user's choice is stored into
// the wizard's CalcType
// at once, and the group letter of its heading ("P", "G", "N") into
// Scenario_Type, so that the scenario is listed under its own group.
// Cancel (and Escape, and the close box) leaves the designer as Cancel on
// the other pages does.
#include "designer/CWizPage.h"

#include <array>
#include <map>

class QPushButton;
class QRadioButton;
class QLabel;

class frmQuorb_Create : public CWizPage {
    Q_OBJECT
public:
    explicit frmQuorb_Create(QWidget* parent = nullptr);

    // Keeps the first wizard, then selects the button of its CalcType (an
    // unknown or empty type selects "Describe" as a user's click would).
    void SetWiz(CMelvarsPropWiz* wiz) override;
    // Only 1 back, 2 next and 4 cancel are taken.
    void SetNavResult(long code) override;
    static constexpr int HelpTopic = 10;

    // The type name of a button index (1-7, 20-22, 30-36 today); empty for
    // others.
    static const char* TypeOfIndex(int index);

    QRadioButton* optType(int index) const;
    QPushButton* cmdNav(int index) const;

    void optType_Click(int index);
    void cmdNav_Click(int index);

protected:
    void EscapePressed() override { cmdNav_Click(4); }

private:
    std::map<int, QRadioButton*> m_optType; // by button index
    std::array<QLabel*, 3> m_lblTypes{};
    std::array<QPushButton*, 5> m_cmdNav{}; // 0 help, 1 back, 2 next, 4 cancel
};
