#pragma once
// "Duplicate Scenario": copies one stored scenario under a new number. The
// copy is a new header row with every column of the source but the key and
// the description, a new options row, and a copy of every field row. Setting
// ScenarioID reads the source; OK writes the copy in one transaction (nothing
// is kept when any step fails) and closes the dialog; Cancel closes it.
//
//     frmDuplicate dialog(owner);
//     dialog.SetScenarioID(id);
//     if (dialog.ScenarioOK())
//         dialog.exec();
#include "db/Dao.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frmDuplicate : public QDialog {
    Q_OBJECT
public:
    explicit frmDuplicate(QWidget* parent = nullptr);

    long ScenarioID() const { return m_scenarioID; }
    // Reads the scenario and its options row and fills the dialog. OK only
    // when both rows were found without an error.
    void SetScenarioID(long scenarioID);
    bool ScenarioOK() const { return m_scenarioOK; }
    void SetScenarioOK(bool ok) { m_scenarioOK = ok; }

    // 0 OK (writes the copy; the dialog closes only when it was written),
    // 1 Cancel.
    void cmdAction_Click(int index);
    // The number the last successful copy was given; 0 before.
    long NewScenarioID() const { return m_newScenarioID; }

    QLabel* lblCurrentScenario() const { return m_lblCurrentScenario; }
    QLineEdit* txtNewScenario() const { return m_txtNewScenario; }
    QPushButton* cmdAction(int index) const { return index == 0 ? m_cmdOK : m_cmdCancel; }

private:
    bool SaveNewScenario();
    void txtNewScenario_Change();

    long m_scenarioID = 0;
    long m_newScenarioID = 0;
    bool m_scenarioOK = false;
    dao::RecordsetPtr m_rsScenario;
    dao::RecordsetPtr m_rsOptions;

    QLabel* m_lblCurrentScenario = nullptr;
    QLineEdit* m_txtNewScenario = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
