#include "DesignerTestSupport.h"

#include "db/Dao.h"
#include "designer/TransferButton.h"
#include "designer/TransferInOut.h"
#include "designer/WizServices.h"
#include "designer/OptionsPages.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioSave.h"

#include <QApplication>
#include <QListWidget>
#include <QTreeWidget>

#include <stdexcept>

namespace dtest {

Script::Script(bool answerMessages) {
    wizsvc::SetModalShower([this](QDialog& dialog) {
        shown << dialog.objectName();
        if (steps.empty()) {
            ADD_FAILURE() << "no step for the window " << dialog.objectName().toStdString();
            throw std::runtime_error("unscripted window");
        }
        Step step = std::move(steps.front());
        steps.pop_front();
        step(dialog);
    });
    if (!answerMessages) {
        wizsvc::SetMessageHandler({});
        return;
    }
    wizsvc::SetMessageHandler([this](const QString& text, int style) {
        messages.push_back({text, style});
        if (style != 4) return 1;
        if (answers.empty()) return 7;
        const int a = answers.front();
        answers.pop_front();
        return a;
    });
}

Script::~Script() {
    wizsvc::SetModalShower({});
    wizsvc::SetMessageHandler({});
}

QStringList Script::MessageTexts() const {
    QStringList texts;
    for (const Message& m : messages) texts << m.text;
    return texts;
}

void DesignerTest::SetUp() {
    m_db = dao::DBEngine().CreateDatabase(m_tmp.file("designer.db"), dao::dbLangGeneral);
    auto td = m_db->CreateTableDef("Data");
    const std::pair<const char*, int> columns[] = {
        {"Class", dao::dbText},   {"Region", dao::dbText}, {"Score", dao::dbDouble}, {"Score2", dao::dbDouble},
        {"Units", dao::dbLong},   {"Weight", dao::dbDouble}, {"Flag", dao::dbBoolean}, {"Day", dao::dbDate},
        {"Notes", dao::dbMemo},   {"Tiny", dao::dbByte},
    };
    for (const auto& [name, type] : columns)
        td->Fields().Append(td->CreateField(name, type, type == dao::dbText ? 10 : 0));
    m_db->TableDefs().Append(td);
    auto rs = m_db->OpenRecordset("Data", dao::dbOpenDynaset);
    const char* classes[] = {"A", "A", "A", "B", "B", "B"};
    const double scores[] = {2, 4, 6, 10, 20, 30};
    for (int i = 0; i < 6; ++i) {
        rs->AddNew();
        rs->Fields("Class")->SetValue(classes[i]);
        rs->Fields("Region")->SetValue(i % 2 ? "North" : "South");
        rs->Fields("Score")->SetValue(scores[i]);
        rs->Fields("Score2")->SetValue(scores[i] + 1);
        rs->Fields("Units")->SetValue(i + 1);
        rs->Fields("Weight")->SetValue(1.0);
        rs->Update();
    }
    rs->Close();
    m_db->CreateQueryDef("DataQuery", "SELECT Class, Score, Notes FROM Data");
    ASSERT_TRUE(vtest::CreateScenarioTablesIn(m_db));
    gdbCurrent = m_db;
}

void DesignerTest::TearDown() {
    gdbCurrent.reset();
    if (m_db) m_db->Close();
}

QStringList DesignerTest::Rows(const std::string& sql) const {
    QStringList rows;
    auto rs = m_db->OpenRecordset(sql, dao::dbOpenSnapshot);
    for (; !rs->EOF_(); rs->MoveNext()) {
        QStringList cells;
        for (int c = 0; c < rs->FieldCount(); ++c) {
            const dao::Variant v = rs->GetValue(c);
            cells << QString::fromStdString(rs->Fields(c)->Name()) + QLatin1Char('=') +
                         (v.IsNull() ? QStringLiteral("Null") : QString::fromStdString(v.ToString()));
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

bool DesignerTest::TableExists(const std::string& name) const {
    m_db->TableDefs().Refresh();
    return m_db->TableDefs().Find(name) != nullptr;
}

void DesignerTest::AddTable(const char* name) {
    auto td = m_db->CreateTableDef(name);
    td->Fields().Append(td->CreateField("A", dao::dbLong));
    m_db->TableDefs().Append(td);
}

void Transfer(frmQuorb_Fields& page, const char* control, long index, const QString& field) {
    if (!field.isEmpty()) {
        EXPECT_TRUE(page.SelectAvailable(field)) << field.toStdString();
    }
    QWidget* w = page.TransferControl(QString::fromLatin1(control));
    ASSERT_NE(w, nullptr) << control;
    if (auto* tb = qobject_cast<TransferButton*>(w)) {
        tb->cmdTransfer_Click(static_cast<int>(index));
    } else if (auto* io = qobject_cast<TransferInOut*>(w)) {
        io->cmdTransfer_Click(static_cast<int>(index));
    }
}

QStringList Names(const QListWidget* list) {
    QStringList names;
    // The type stands after the last separator: a name may hold one too.
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text().section(QStringLiteral(" - ("), 0, -2);
    return names;
}

QStringList TreeRows(const QTreeWidget* tree) {
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0) + QLatin1Char('/') + tree->topLevelItem(i)->text(1);
    return rows;
}

QStringList Said(const char* message) { return message ? QStringList{QString::fromLatin1(message)} : QStringList{}; }

void SetNewScenarioDefaults(CMelvarsPropWiz& wiz) {
    const CMelvarsScenario defaults = NewScenarioDefaults();
    for (const auto& [column, value] : ScenarioOptionValues(defaults)) SetScenarioOption(wiz.Scenario(), column, value);
}

std::unique_ptr<CWizPage> NewPage(long number, CMelvarsPropWiz& wiz) {
    std::unique_ptr<CWizPage> page;
    switch (number) {
    case 1: page = std::make_unique<frmQuorb_Create>(); break;
    case 2: page = std::make_unique<frmQuorb_SelectTable>(); break;
    case 3: page = std::make_unique<frmQuorb_Fields>(); break;
    case 50: page = std::make_unique<frmQuorb_Finish>(); break;
    default: page.reset(CreateOptionsPage(number, nullptr)); break;
    }
    if (page) page->SetWiz(&wiz);
    return page;
}

void Pump() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

} // namespace dtest
