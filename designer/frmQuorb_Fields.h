#pragma once
// Page 3 of the designer: which field of the source plays which role. The
// available fields of the input table or query on the left, the role lists
// of the scenario's analysis type on the right (one of six field frames),
// the weight and group lists below them. Every change goes at once into the
// wizard's field collection, which the Finish page stores.
#include "designer/CWizPage.h"

#include <QString>

#include <array>
#include <memory>
#include <string>

class CListView;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class TransferButton;
class TransferInOut;

class frmQuorb_Fields : public CWizPage {
    Q_OBJECT
public:
    explicit frmQuorb_Fields(QWidget* parent = nullptr);
    ~frmQuorb_Fields() override;

    // The first time only: fills the page and reads the stored assignments
    // merged with the source's fields into the wizard's field collection.
    void SetWiz(CMelvarsPropWiz* wiz) override;

    // The field frame (1 to 6) of an analysis type, letter case aside; 0 for
    // any other type. Both come from the catalogue of analysis types.
    static int GetFieldFrame(const std::string& calcType);
    // The fewest fields of each role that Next needs for the type, letter
    // case aside (none for any other type).
    struct Minimum {
        int group = 0, comparison = 0, x = 0, y = 0;
    };
    static Minimum FieldMinimum(const std::string& calcType);
    // The type text of a field type code ("#, Long" ...; "" for types the
    // page does not describe). A text beginning with "#" marks a number.
    static std::string GetFieldTypeText(int fieldType);
    // What the page says when the scenario's source is neither a table nor a
    // query of the database.
    static std::string MissingSourceMessage(const std::string& table);
    static constexpr int HelpTopic = 40;

    void LoadFieldLists();
    // One transfer action (0 remove, 1 add, 2 down, 3 up, 4 remove all) on a list.
    void HandleTransfer(long index, QListWidget* list, const std::string& choice, bool singleOnly,
                        bool numericOnly);
    void lvwAvailableFields_DblClick();
    // True when the assignments are complete for the type; otherwise shows why.
    bool CheckFields(const std::string& calcType);

    void cmdNav_Click(int index);
    void cmdChange_Click();
    void cmdIgnore_Click();
    void txtScenario_Description_LostFocus();

    // Controls, for the wizard's checks and the tests.
    QTreeWidget* lvwAvailableFields() const { return m_lvwAvailableFields; }
    QListWidget* lisIndependentFields(int index) const { return m_lisIndependent[static_cast<std::size_t>(index)]; }
    QListWidget* lisComparisonField(int index) const { return m_lisComparison[static_cast<std::size_t>(index)]; }
    QListWidget* lisDependentField(int index) const { return index == 3 ? m_lisDependent : nullptr; }
    QListWidget* lisWeightField() const { return m_lisWeight; }
    QListWidget* lisGroupFields() const { return m_lisGroup; }
    QGroupBox* fraFieldFrame(int index) const { return m_fraFieldFrame[static_cast<std::size_t>(index)]; }
    QGroupBox* fraGroup() const { return m_fraGroup; }
    QLineEdit* txtScenario_Description() const { return m_txtDescription; }
    QLabel* lblTable() const { return m_lblTable; }
    QLabel* lblCalcType() const { return m_lblCalcType; }
    QPushButton* cmdNav(int index) const { return m_cmdNav[static_cast<std::size_t>(index)]; }
    QPushButton* cmdChange() const { return m_cmdChange; }
    QPushButton* cmdIgnore() const { return m_cmdIgnore; }
    // The transfer control of a list by its name ("cmdTX", "cmdTWeight", ...).
    QWidget* TransferControl(const QString& name) const;
    int FieldFrame() const { return m_fieldFrame; }

    // Selects the available field of that name (letter case aside). True when found.
    bool SelectAvailable(const QString& name);

protected:
    void EscapePressed() override { cmdNav_Click(4); }

private:
    void GetScenarioFields(bool readStored);
    void Quorb_SelectField(QListWidget* list, const std::string& choice);
    void Quorb_UnSelectField(QListWidget* list);
    void Quorb_MoveField(QListWidget* list, bool up);
    void ReSequenceFields(QListWidget* list, const std::string& choice);
    void ShowMessage(const QString& text);
    void BindTransfer(QWidget* control, QListWidget* list, const char* choice, bool single, bool numeric);

    int m_fieldFrame = 0;
    QLabel* m_lblTable = nullptr;
    QLabel* m_lblCalcType = nullptr;
    QLineEdit* m_txtDescription = nullptr;
    QTreeWidget* m_lvwAvailableFields = nullptr;
    QPushButton* m_cmdChange = nullptr;
    QPushButton* m_cmdIgnore = nullptr;
    std::array<QPushButton*, 5> m_cmdNav{};
    std::array<QGroupBox*, 7> m_fraFieldFrame{};
    std::array<QListWidget*, 7> m_lisIndependent{};
    std::array<QListWidget*, 7> m_lisComparison{};
    QListWidget* m_lisDependent = nullptr;
    QListWidget* m_lisWeight = nullptr;
    QListWidget* m_lisGroup = nullptr;
    QGroupBox* m_fraGroup = nullptr;
    std::unique_ptr<CListView> m_lvw;
};
