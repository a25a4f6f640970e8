#pragma once
// Page 2 of the designer: the table or query the scenario reads. Lists the
// current database's tables (without system, scenario and temporary ones)
// and select queries on three tabs, takes a name by click or by typing, and
// shows the selected row's data in the table viewer. Cancel (and Escape, and
// the close box) leaves the designer as on the other pages.
//
// The field page also shows it as its change-source dialog
// (MakeChangeSourceDialog): OK, Cancel and Help, Escape pressing Cancel.
#include "designer/CWizPage.h"

#include <array>
#include <memory>

class CListView;
class QHBoxLayout;
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
    // 0 help, 1 back, 2 next, 4 cancel (null for 3).
    QPushButton* cmdNav(int index) const { return m_cmdNav[static_cast<std::size_t>(index)]; }

    // Turns the page into the field page's change-source dialog: Back becomes
    // "Cancel", Next "OK", the page's own Cancel goes, and OK and Help change
    // places.
    void MakeChangeSourceDialog();
    bool IsChangeSourceDialog() const { return m_dialog; }

    // Tab 1 tables, 2 select queries, 3 both.
    void LoadQueryTableLists(int tabIndex);
    void cmdNav_Click(int index);
    void cmdViewTable_Click();
    void lvwTableQuery_Click();

protected:
    void EscapePressed() override { cmdNav_Click(m_dialog ? 1 : 4); }

private:
    void SetNextEnabled();

    QLineEdit* m_txtTable = nullptr;
    QTabBar* m_tabSource = nullptr;
    QTreeWidget* m_lvwTableQuery = nullptr;
    QPushButton* m_cmdViewTable = nullptr;
    std::array<QPushButton*, 5> m_cmdNav{};
    QHBoxLayout* m_buttons = nullptr;
    bool m_dialog = false;
    std::unique_ptr<CListView> m_lvw;
};
