#include "designer/frmQuorb_Finish.h"

#include "db/Dao.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/NumericLineEdit.h"
#include "designer/ReplacedTables.h"
#include "designer/WizServices.h"
#include "engine/AnalysisCatalogue.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"

#include <algorithm>

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmQuorb_Finish::frmQuorb_Finish(QWidget* parent) : CWizPage(parent) {
    setObjectName(QStringLiteral("frmQuorb_Finish"));
    setWindowTitle(QStringLiteral("ZUR Statistics Output Tables and Description"));

    auto* fraAnalysis = new QGroupBox(QStringLiteral("Analysis"), this);
    fraAnalysis->setObjectName(QStringLiteral("fraAnalysis"));
    m_txtAnalysisType = new QLineEdit(fraAnalysis);
    m_txtAnalysisType->setObjectName(QStringLiteral("txtAnalysisType"));
    m_txtAnalysisType->setReadOnly(true);
    m_txtAnalysisType->setFocusPolicy(Qt::NoFocus);
    m_txtAnalysisType->setBackgroundRole(QPalette::Button);
    m_txtAnalysisType->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));
    m_txtDescription = new SelectAllLineEdit(fraAnalysis);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setMaxLength(255);
    auto* ga = new QGridLayout(fraAnalysis);
    auto* label1 = new QLabel(QStringLiteral("Analysis Type:"), fraAnalysis);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(QStringLiteral("Description:"), fraAnalysis);
    label2->setObjectName(QStringLiteral("Label2"));
    ga->addWidget(label1, 0, 0);
    ga->addWidget(m_txtAnalysisType, 0, 1);
    ga->addWidget(label2, 1, 0);
    ga->addWidget(m_txtDescription, 1, 1);

    m_fraOutputTables = new QGroupBox(QStringLiteral("Output Table"), this);
    m_fraOutputTables->setObjectName(QStringLiteral("fraOutputTables"));
    m_lblName1 = new QLabel(m_fraOutputTables);
    m_lblName1->setObjectName(QStringLiteral("lblScenario_Output_Table1_Name"));
    m_lblName2 = new QLabel(m_fraOutputTables);
    m_lblName2->setObjectName(QStringLiteral("lblScenario_Output_Table2_Name"));
    m_txtName1 = new SelectAllLineEdit(m_fraOutputTables);
    m_txtName1->setObjectName(QStringLiteral("txtScenario_Output_Table1_Name"));
    m_txtName1->setMaxLength(Table1NameSize);
    m_txtName2 = new SelectAllLineEdit(m_fraOutputTables);
    m_txtName2->setObjectName(QStringLiteral("txtScenario_Output_Table2_Name"));
    m_txtName2->setMaxLength(Table2NameSize);
    auto* go = new QGridLayout(m_fraOutputTables);
    go->addWidget(m_lblName1, 0, 0);
    go->addWidget(m_txtName1, 1, 0);
    go->addWidget(m_lblName2, 2, 0);
    go->addWidget(m_txtName2, 3, 0);
    go->setRowStretch(4, 1);

    const char* captions[] = {"Help", "< &Back", "Cancel", "&Save", "Save and &Run"};
    for (int i = 0; i < 5; ++i) {
        QPushButton* b = NavButton(captions[i], i);
        m_cmdNav[static_cast<std::size_t>(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i] { cmdNav_Click(i); });
    }
    // The row of every page: Help, Cancel, Back and the forward button (here
    // Save and Run) at the right; Save, the page's own, at the left.
    QHBoxLayout* buttons = ButtonRow({m_cmdNav[3]}, m_cmdNav[0], m_cmdNav[2], m_cmdNav[1], m_cmdNav[4]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraAnalysis);
    layout->addWidget(m_fraOutputTables, 1);
    layout->addLayout(buttons);

    connect(m_txtDescription, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtDescription, 0); });
    connect(m_txtName1, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtName1, 1); });
    connect(m_txtName2, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtName2, 2); });
}

int frmQuorb_Finish::PrefixSize() {
    int size = Table1NameSize;
    for (const AnalysisType& t : AnalysisTypes()) {
        size = std::min(size, Table1NameSize - static_cast<int>(dao::CharLength(t.outputWords)));
        size = std::min(size, Table2NameSize - static_cast<int>(dao::CharLength(t.output2Words)));
    }
    return std::max(size, 0);
}

frmQuorb_Finish::OutputWords frmQuorb_Finish::WordsOf(const std::string& calcType) {
    const AnalysisType* t = AnalysisTypeNamed(calcType);
    if (!t) return {};
    return {std::string(t->outputWords), std::string(t->outputLabel), std::string(t->output2Words)};
}

bool frmQuorb_Finish::HasSecondTable(const CMelvarsPropWiz& w) {
    const AnalysisType* t = AnalysisTypeNamed(w.CalcType());
    return t && t->hasSecondTable && t->hasSecondTable(w.Scenario());
}

void frmQuorb_Finish::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, "frmQuorb_Finish:Set Wiz");
    try {
        if (!m_Wiz) m_Wiz = wiz;
        if (!m_Wiz) return;
        m_txtDescription->setText(QString::fromStdString(m_Wiz->Scenario_Description()));
        m_txtAnalysisType->setText(QString::fromStdString(m_Wiz->CalcType()));
        m_txtName1->setText(QString::fromStdString(m_Wiz->OutputTable1()));
        m_txtName2->setText(QString::fromStdString(m_Wiz->OutputTable2()));
        const OutputWords w = WordsOf(m_Wiz->CalcType());
        const bool second = HasSecondTable(*m_Wiz);
        m_lblName1->setText(QString::fromStdString("Name for " + w.label + " output table: "));
        m_lblName2->setText(QString::fromStdString("Name for " + w.second + " output table: "));
        m_lblName2->setVisible(second);
        m_txtName2->setVisible(second);
        const std::string prefix = m_Wiz->OutputTablePrefix();
        if (m_txtName1->text().isEmpty())
            m_txtName1->setText(w.first.empty() ? QString() : QString::fromStdString(prefix + w.first));
        if (second) {
            if (m_txtName2->text().isEmpty())
                m_txtName2->setText(w.second.empty() ? QString() : QString::fromStdString(prefix + w.second));
            m_fraOutputTables->setTitle(QStringLiteral("Output Tables"));
        } else {
            m_txtName2->clear();
            m_fraOutputTables->setTitle(QStringLiteral("Output Table"));
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Finish::LostFocusRule(QLineEdit* box, int which) {
    if (!m_Wiz) return;
    const std::string text = box->text().toStdString();
    const std::string current =
        which == 0 ? m_Wiz->Scenario_Description() : (which == 1 ? m_Wiz->OutputTable1() : m_Wiz->OutputTable2());
    if (current == text) return;
    if (which == 0) m_Wiz->SetScenario_Description(text);
    else if (which == 1) m_Wiz->SetOutputTable1(text);
    else m_Wiz->SetOutputTable2(text);
    m_Wiz->SetChanged(true);
}

void frmQuorb_Finish::StoreBoxes() {
    m_Wiz->SetScenario_Description(m_txtDescription->text().toStdString());
    m_Wiz->SetOutputTable1(m_txtName1->text().toStdString());
    m_Wiz->SetOutputTable2(m_txtName2->text().toStdString());
}

replacedtables::Asking frmQuorb_Finish::PageQuestions() {
    replacedtables::Asking asking;
    asking.ask = [this](const QString& question) {
        const int answer = wizsvc::WizMessage(this, question, 4);
        QApplication::processEvents();
        return answer;
    };
    return asking;
}

bool frmQuorb_Finish::CheckExistingTableNames() {
    ProcGuard proc(gErr, "frmQuorb_Finish:CheckExistingTableNames");
    try {
        const replacedtables::ExistingTables existing(m_txtName1->text().toStdString(),
                                                      m_txtName2->text().toStdString());
        if (!existing.Any()) return true;
        if (!replacedtables::AgreeToReplace(existing, PageQuestions())) return false;
        // Dropped through the table definitions by name: no SQL is built from
        // the names.
        for (const std::vector<std::string>& names : {existing.Data(), existing.Outputs()}) {
            for (const std::string& name : names) {
                try {
                    gdbCurrent->TableDefs().Delete(name);
                } catch (...) {
                }
            }
        }
        try {
            gdbCurrent->TableDefs().Refresh();
        } catch (...) {
        }
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}

void frmQuorb_Finish::cmdNav_Click(int index) {
    ProcGuard proc(gErr, "frmQuorb_Finish:cmdNav_Click");
    try {
        if (!m_Wiz) return;
        // A name typed into a box counts before the button acts.
        CommitFocusedEdit();
        switch (index) {
        case 0:
            wizsvc::SendHelpKey(this, HelpTopic);
            break;
        case 1:
            LeaveWith(1);
            break;
        case 2:
            if (m_Wiz->Changed() &&
                wizsvc::WizMessage(this,
                                   QStringLiteral("You have made changes to this scenario. Are you sure you want to exit?"),
                                   4) != 6)
                break;
            LeaveWith(2);
            break;
        case 3:
            if (!m_Wiz->Changed()) {
                LeaveWith(2);
                break;
            }
            StoreBoxes();
            {
                std::string first, second;
                if (!m_Wiz->CheckFinal(*this, first, second)) break;
                // A stored name is taken for the scenario's output from then
                // on: a table of data is named as data before it is stored.
                if (!replacedtables::AgreeToNameData(replacedtables::ExistingTables(first, second), PageQuestions()))
                    break;
            }
            // A failed save keeps the page open with the user's entries.
            if (!m_Wiz->PostScenario()) break;
            LeaveWith(2);
            break;
        case 4:
            // The names are checked before any table is dropped.
            if (!m_Wiz->CheckFinalNames(*this, m_txtName1->text().toStdString(), m_txtName2->text().toStdString()))
                break;
            if (!CheckExistingTableNames()) break;
            if (!m_Wiz->Changed()) {
                LeaveWith(3);
                break;
            }
            StoreBoxes();
            if (!m_Wiz->PostScenario()) break;
            LeaveWith(3);
            break;
        default:
            break;
        }
    } catch (...) {
        proc.HandleError();
    }
}
