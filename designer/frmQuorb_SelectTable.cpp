#include "designer/frmQuorb_SelectTable.h"

#include "db/JetFunctions.h"

#include "db/Dao.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/WizServices.h"
#include "designer/frmDataGridDialog.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "platform/ui/Twips.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/ui/CListView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::ui::PixelsFromTwips;

namespace {

bool StartsWith(const std::string& upper, const char* prefix) { return upper.rfind(prefix, 0) == 0; }

} // namespace

frmQuorb_SelectTable::frmQuorb_SelectTable(QWidget* parent) : CWizPage(parent), m_lvw(std::make_unique<CListView>()) {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:Form_Load");
    setObjectName(QStringLiteral("frmQuorb_SelectTable"));
    setWindowTitle(QStringLiteral("ZUR Statistics Table Selection"));

    auto* label = new QLabel(QStringLiteral("Analysis Source"), this);
    label->setObjectName(QStringLiteral("Label2"));
    m_txtTable = new QLineEdit(this);
    m_txtTable->setObjectName(QStringLiteral("txtTable"));
    m_tabSource = new QTabBar(this);
    m_tabSource->setObjectName(QStringLiteral("tabSource"));
    m_tabSource->addTab(QStringLiteral("Tables"));
    m_tabSource->addTab(QStringLiteral("Queries"));
    m_tabSource->addTab(QStringLiteral("Both"));
    m_tabSource->setExpanding(false);
    m_lvwTableQuery = new QTreeWidget(this);
    m_lvwTableQuery->setObjectName(QStringLiteral("lvwTableQuery"));
    m_lvwTableQuery->setRootIsDecorated(false);
    m_lvwTableQuery->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type")});
    m_lvwTableQuery->setColumnWidth(0, PixelsFromTwips(3500));
    m_lvwTableQuery->setColumnWidth(1, PixelsFromTwips(1440));
    m_lvwTableQuery->header()->setSectionsClickable(true);
    m_lvw->SetListView(m_lvwTableQuery);
    m_lvw->SetFullRowSelect();

    m_cmdViewTable = NavButton("&View", -1, "cmdViewTable");
    // Help, Cancel, Back, Next: the row of every page, View at its left.
    const std::pair<int, const char*> navs[] = {{0, "Help"}, {4, "Cancel"}, {1, "< &Back"}, {2, "&Next >"}};
    for (const auto& [i, caption] : navs) {
        QPushButton* b = NavButton(caption, i);
        m_cmdNav[static_cast<std::size_t>(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i = i] { cmdNav_Click(i); });
    }
    m_buttons = ButtonRow({m_cmdViewTable}, m_cmdNav[0], m_cmdNav[4], m_cmdNav[1], m_cmdNav[2]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_txtTable);
    layout->addWidget(m_tabSource);
    layout->addWidget(m_lvwTableQuery, 1);
    layout->setSpacing(4);
    layout->addLayout(m_buttons);

    connect(m_cmdViewTable, &QPushButton::clicked, this, [this] { cmdViewTable_Click(); });
    connect(m_txtTable, &QLineEdit::textChanged, this, [this] { SetNextEnabled(); });
    connect(m_tabSource, &QTabBar::currentChanged, this, [this](int i) { LoadQueryTableLists(i + 1); });
    connect(m_lvwTableQuery, &QTreeWidget::itemClicked, this, [this] { lvwTableQuery_Click(); });
    connect(m_lvwTableQuery, &QTreeWidget::itemDoubleClicked, this, [this] {
        lvwTableQuery_Click();
        cmdNav_Click(2);
    });
    connect(m_lvwTableQuery->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { m_lvw->OnColumnClick(section + 1); });
    LoadQueryTableLists(1);
    SetNextEnabled();
}

frmQuorb_SelectTable::~frmQuorb_SelectTable() = default;

void frmQuorb_SelectTable::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:Set Wiz");
    if (m_Wiz || !wiz) return;
    m_Wiz = wiz;
    m_txtTable->setText(QString::fromStdString(wiz->Table()));
    SetNextEnabled();
}

void frmQuorb_SelectTable::LoadQueryTableLists(int tabIndex) {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:LoadTableLists");
    try {
        m_lvw->SetRedraw(false);
        m_lvwTableQuery->clear();
        const QIcon tableIcon = style()->standardIcon(QStyle::SP_FileIcon);
        const QIcon queryIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
        auto add = [&](const std::string& name, bool table) {
            auto* item = new CListViewItem(m_lvwTableQuery);
            // A legacy program's Latin-1 name ("Donn\xE9es") by the word it
            // spells, as the run finds it (StoredTableName).
            item->setText(0, QString::fromStdString(dao::ValidUtf8(name)));
            item->setText(1, table ? QStringLiteral("Table") : QStringLiteral("Query"));
            item->setIcon(0, table ? tableIcon : queryIcon);
            item->setData(0, Qt::UserRole, table ? QStringLiteral("table") : QStringLiteral("query"));
        };
        if (gdbCurrent) {
            if (tabIndex == 1 || tabIndex == 3) {
                for (const auto& td : gdbCurrent->TableDefs()) {
                    const std::string upper = dao::ToUpperAscii(td->Name());
                    if (StartsWith(upper, "MSYS") || StartsWith(upper, "USYS") || StartsWith(upper, "~TMPCLP")) continue;
                    add(td->Name(), true);
                }
            }
            if (tabIndex == 2 || tabIndex == 3) {
                auto& queries = gdbCurrent->QueryDefs();
                for (int i = 0; i < queries.Count(); ++i) {
                    const auto qd = queries(i);
                    // Select queries whose records can be read, the file's views
                    // among them; never union, crosstab or action queries.
                    if (qd->Type() != dao::dbQSelect || !qd->Readable()) continue;
                    if (StartsWith(dao::ToUpperAscii(qd->Name()), "~TMPCLP")) continue;
                    add(qd->Name(), false);
                }
            }
        }
        m_lvw->SetRedraw(true);
    } catch (...) {
        m_lvw->SetRedraw(true);
        proc.HandleError();
    }
}

void frmQuorb_SelectTable::SetNextEnabled() {
    m_cmdNav[2]->setEnabled(!m_txtTable->text().trimmed().isEmpty());
}

void frmQuorb_SelectTable::lvwTableQuery_Click() {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:lvwTableQuery_Click");
    m_lvw->OnClick();
    if (QTreeWidgetItem* item = m_lvwTableQuery->currentItem(); item && item->isSelected())
        m_txtTable->setText(item->text(0));
}

void frmQuorb_SelectTable::cmdViewTable_Click() {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:cmdViewTable_Click");
    try {
        QTreeWidgetItem* item = m_lvwTableQuery->currentItem();
        if (!item || !item->isSelected()) return;
        frmDataGridDialog viewer(this);
        viewer.ShowTableData(item->text(0), QStringLiteral("Input table or query - "));
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_SelectTable::MakeChangeSourceDialog() {
    m_dialog = true;
    m_cmdNav[1]->setText(QStringLiteral("Cancel"));
    m_cmdNav[2]->setText(QStringLiteral("OK"));
    // Back is the dialog's Cancel: the page's own Cancel goes.
    m_cmdNav[4]->hide();
    m_buttons->removeWidget(m_cmdNav[4]);
    // OK stands where Help stood and Help where Next stood.
    const int help = m_buttons->indexOf(m_cmdNav[0]);
    const int ok = m_buttons->indexOf(m_cmdNav[2]);
    m_buttons->removeWidget(m_cmdNav[2]);
    m_buttons->insertWidget(help, m_cmdNav[2]);
    m_buttons->removeWidget(m_cmdNav[0]);
    m_buttons->insertWidget(ok, m_cmdNav[0]);
}

void frmQuorb_SelectTable::cmdNav_Click(int index) {
    ProcGuard proc(gErr, "frmQuorb_SelectTable:cmdNav_Click");
    try {
        if (index < 0 || index > 4 || !m_cmdNav[static_cast<std::size_t>(index)] ||
            !m_cmdNav[static_cast<std::size_t>(index)]->isEnabled())
            return;
        switch (index) {
        case 0: wizsvc::SendHelpKey(this, 28); break;
        case 1: LeaveWith(1); break;
        case 2: {
            // A scenario keeps a name of at most kTableNameSize characters;
            // other programs make longer ones, which no scenario can store.
            const std::string name = m_txtTable->text().toStdString();
            if (const std::size_t chars = dao::CharLength(name); chars > static_cast<std::size_t>(kTableNameSize)) {
                wizsvc::WizMessage(this,
                                   QString::fromStdString("The table or query '" + name + "' has a name of " +
                                                          std::to_string(chars) +
                                                          " characters; a scenario keeps table and query names of "
                                                          "at most " + std::to_string(kTableNameSize) + " characters."),
                                   0);
                break;
            }
            if (m_Wiz) m_Wiz->SetTable(name);
            LeaveWith(2);
            break;
        }
        case 4:
            if (!m_dialog) LeaveWith(4);
            break;
        default: break;
        }
    } catch (...) {
        proc.HandleError();
    }
}
