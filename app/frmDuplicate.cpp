#include "app/frmDuplicate.h"

#include "app/AppGlobals.h"
#include "db/DaoError.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/ui/CHourglass.h"
#include "util/ui/modZURSTAT.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace {

// Focus on the box selects its whole text.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn)
            SelectAllText(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

frmDuplicate::frmDuplicate(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDuplicate"));
    setWindowTitle(QStringLiteral("Duplicate Scenario"));
    setModal(true);

    auto* lblScenario = new QLabel(QStringLiteral("Scenario Description:"), this);
    lblScenario->setObjectName(QStringLiteral("lblScenario"));
    m_lblCurrentScenario = new QLabel(this);
    m_lblCurrentScenario->setObjectName(QStringLiteral("lblCurrentScenario"));
    m_lblCurrentScenario->setTextFormat(Qt::PlainText); // the description as it stands, never read as HTML
    m_lblCurrentScenario->setFrameShape(QFrame::StyledPanel);
    m_lblCurrentScenario->setMinimumWidth(320);
    auto* lblDuplicateScenario = new QLabel(QStringLiteral("New Scenario Description"), this);
    lblDuplicateScenario->setObjectName(QStringLiteral("lblDuplicateScenario"));
    m_txtNewScenario = new QLineEdit(this);
    m_txtNewScenario->setObjectName(QStringLiteral("txtNewScenario"));
    m_txtNewScenario->setMaxLength(255);
    m_txtNewScenario->installEventFilter(new SelectAllOnFocus(m_txtNewScenario));
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdAction_0"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdAction_1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblScenario);
    layout->addWidget(m_lblCurrentScenario);
    layout->addSpacing(8);
    layout->addWidget(lblDuplicateScenario);
    layout->addWidget(m_txtNewScenario);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    layout->addLayout(buttons);
    setTabOrder(m_txtNewScenario, m_cmdOK);
    setTabOrder(m_cmdOK, m_cmdCancel);

    connect(m_txtNewScenario, &QLineEdit::textChanged, this, [this] { txtNewScenario_Change(); });
    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdAction_Click(0); });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { cmdAction_Click(1); });
    txtNewScenario_Change();
}

void frmDuplicate::SetScenarioID(long scenarioID) {
    ProcGuard proc(gErr, "frmDuplicate:ScenarioID");
    m_scenarioOK = false;
    m_rsScenario.reset();
    m_rsOptions.reset();
    try {
        if (scenarioID == 0)
            return;
        m_scenarioID = scenarioID;
        const std::string number = std::to_string(scenarioID);
        m_rsScenario = gdbCurrent->OpenRecordset(std::string("SELECT * FROM [") + kScenarioTableName +
                                                 "] WHERE [Scenario_ID] = " + number + ";");
        if (m_rsScenario->EOF_())
            return;
        const dao::Variant desc = m_rsScenario->Fields("Scenario_Description")->Value();
        const QString text = desc.IsNull() ? QString() : QString::fromStdString(desc.ToString());
        m_lblCurrentScenario->setText(text);
        m_txtNewScenario->setText(QStringLiteral("Copy of ") + text);
        m_rsOptions = gdbCurrent->OpenRecordset(std::string("SELECT * FROM [") + kOptionsTableName +
                                                "] WHERE [Scenario_ID] = " + number + ";");
        // A copy needs both rows: without its options row the scenario
        // cannot be copied whole.
        m_scenarioOK = !m_rsOptions->EOF_();
    } catch (...) {
        m_scenarioOK = false;
        proc.HandleError();
    }
}

void frmDuplicate::txtNewScenario_Change() {
    ProcGuard proc(gErr, "frmDuplicate:txtNewScenario_Change");
    m_cmdOK->setEnabled(!m_txtNewScenario->text().isEmpty());
}

void frmDuplicate::cmdAction_Click(int index) {
    ProcGuard proc(gErr, "frmDuplicate:cmdAction_Click");
    try {
        if (index == 0) {
            if (SaveNewScenario())
                accept();
        } else if (index == 1) {
            reject();
        }
    } catch (...) {
        proc.HandleError();
    }
}

bool frmDuplicate::SaveNewScenario() {
    ProcGuard proc(gErr, "frmDuplicate:SaveNewScenario");
    CHourglass hourglass;
    hourglass.SetValue(true);
    try {
        if (!m_rsScenario || !m_rsOptions || m_rsScenario->EOF_() || m_rsOptions->EOF_())
            return false;
        dao::WorkspacePtr ws = gwsCurrent ? gwsCurrent : dao::DBEngine().Workspaces(0);
        // The three steps stand or fall together: a failure leaves no
        // scenario without its options or fields. The file's write lock
        // comes first: the rows are read before they are written.
        dao::TransactionGuard transaction(*ws, *gdbCurrent);
        // The scenario as it stands now, not as it stood when the dialog
        // opened: another program may have changed or deleted it since, and
        // the copy takes its header, options and fields from one version.
        m_rsScenario->Requery();
        m_rsOptions->Requery();
        if (m_rsScenario->EOF_() || m_rsOptions->EOF_())
            throw dao::DaoError(3167, "Record is deleted.");

        auto rs = gdbCurrent->OpenRecordset(kScenarioTableName, dao::dbOpenDynaset);
        rs->AddNew();
        dao::Fields& source = m_rsScenario->Fields();
        for (int i = 0; i < source.Count(); ++i) {
            const dao::FieldPtr field = source(i);
            const std::string& name = field->Name();
            if (name == "Scenario_ID")
                continue;
            if (name == "Scenario_Description")
                rs->Fields(name)->SetValue(dao::Variant(m_txtNewScenario->text().toStdString()));
            else
                rs->Fields(name)->SetValue(field->Value());
        }
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        const long newID = static_cast<long>(rs->Fields("Scenario_ID")->Value().ToLong());
        rs->Close();

        auto options = gdbCurrent->OpenRecordset(kOptionsTableName, dao::dbOpenDynaset);
        options->AddNew();
        dao::Fields& optionFields = m_rsOptions->Fields();
        for (int i = 0; i < optionFields.Count(); ++i) {
            const dao::FieldPtr field = optionFields(i);
            if (field->Name() == "Scenario_ID")
                options->Fields(field->Name())->SetValue(dao::Variant::Long(static_cast<std::int32_t>(newID)));
            else
                options->Fields(field->Name())->SetValue(field->Value());
        }
        options->Update();
        options->Close();

        gdbCurrent->Execute(std::string("INSERT INTO [") + kFieldsTableName +
                                "] (Scenario_Id, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice ) " +
                                "SELECT " + std::to_string(newID) +
                                " AS Expr1, [FieldDef_Name], [FieldDef_Ordinal_Position], [FieldDef_Choice] " +
                                "FROM [" + kFieldsTableName + "] " + "WHERE [Scenario_ID]=" +
                                std::to_string(m_scenarioID),
                            dao::dbFailOnError);
        transaction.Commit();
        m_newScenarioID = newID;
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}
