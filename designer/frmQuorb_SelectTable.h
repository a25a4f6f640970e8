#pragma once
// Page 2 of the designer: the table or query the scenario reads. Lists the
// current database's tables (without system, scenario and temporary ones)
// and select queries on three tabs, takes a name by click or by typing, and
// shows the selected row's data in the table viewer.
#include "designer/CWizPage.h"

#include <array>
#include <memory>

class CListView;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;

class frmQuorb_SelectTable : public CWizPage {
    Q_OBJECT
public:
    explicit frmQuorb_SelectTable(QWidget* parent = nullptr);
    ~frmQuorb_SelectTable() override;

    // The first time only: puts the wizard's Table into the name box.
    void SetWiz(CMelvarsPropWiz* wiz) override;

    QLineEdit* txtTable() const { return m_txtTable; }
    QTabBar* tabSource() const { return m_tabSource; }
    QTreeWidget* lvwTableQuery() const { return m_lvwTableQuery; }
    QPushButton* cmdViewTable() const { return m_cmdViewTable; }
    QPushButton* cmdNav(int index) const { return m_cmdNav[static_cast<std::size_t>(index)]; }

    // Tab 1 tables, 2 select queries, 3 both.
    void LoadQueryTableLists(int tabIndex);
    void cmdNav_Click(int index);
    void cmdViewTable_Click();
    void lvwTableQuery_Click();

protected:
    void EscapePressed() override { cmdNav_Click(1); }

private:
    void SetNextEnabled();

    QLineEdit* m_txtTable = nullptr;
    QTabBar* m_tabSource = nullptr;
    QTreeWidget* m_lvwTableQuery = nullptr;
    QPushButton* m_cmdViewTable = nullptr;
    std::array<QPushButton*, 3> m_cmdNav{};
    std::unique_ptr<CListView> m_lvw;
};
