#include "designer/frmQuorb_Finish.h"

#include "db/Dao.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/NumericLineEdit.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "platform/ui/Twips.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::ui::PixelsFromTwips;

frmQuorb_Finish::frmQuorb_Finish(QWidget* parent) : CWizPage(parent) {
    setObjectName(QStringLiteral("frmQuorb_Finish"));
    setWindowTitle(QStringLiteral("ZUR Statistics Output Tables and Description"));
    resize(PixelsFromTwips(9360), PixelsFromTwips(5040));

    auto* fraAnalysis = new QGroupBox(QStringLiteral("Analysis"), this);
    fraAnalysis->setObjectName(QStringLiteral("fraAnalysis"));
    m_txtAnalysisType = new QLineEdit(fraAnalysis);
    m_txtAnalysisType->setObjectName(QStringLiteral("txtAnalysisType"));
    m_txtAnalysisType->setReadOnly(true);
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

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[] = {"Help", "< &Back", "Cancel", "&Save", "Save and &Run"};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setObjectName(QStringLiteral("cmdNav_%1").arg(i));
        b->setAutoDefault(false);
        b->setFixedSize(PixelsFromTwips(1110), PixelsFromTwips(330));
        m_cmdNav[static_cast<std::size_t>(i)] = b;
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdNav_Click(i); });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraAnalysis);
    layout->addWidget(m_fraOutputTables, 1);
    layout->addLayout(buttons);

    connect(m_txtDescription, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtDescription, 0); });
    connect(m_txtName1, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtName1, 1); });
    connect(m_txtName2, &QLineEdit::editingFinished, this, [this] { LostFocusRule(m_txtName2, 2); });
}

frmQuorb_Finish::OutputWords frmQuorb_Finish::WordsOf(const std::string& t) {
    static const std::pair<const char*, OutputWords> words[] = {
        {"Describe", {"Describe", "Describe", ""}},
        {"Frequency", {"Frequency", "Freqency", ""}},
        {"Percentiles", {"Percentiles", "Percentiles", ""}},
        {"Compare", {"Compare", "Compare", ""}},
        {"Matrix", {"Matrix", "Matrix", ""}},
        {"Regression", {"Regression", "Regression", "Residual"}},
        {"Crosstab", {"Crosstab", "Crosstab", "Crosstab Chi-Square"}},
        {"Two Sample t-Test", {"Two Sample t-Test", "Two Sample t-Test", "Two Sample t-Test Details"}},
        {"ANOVA", {"ANOVA", "ANOVA", "ANOVA Details"}},
        {"Two way ANOVA", {"Two Way ANOVA", "Two Way ANOVA", "Two Way ANOVA Details"}},
        {"Chi-Square", {"Chi-Square", "Chi-Square", "Chi-Square Details"}},
        {"Sign Test", {"SignTest", "SignTest", ""}},
        {"K-S Fit", {"K-S Fit", "K-S Fit", ""}},
        {"2 Sample", {"2 Sample", "2 Sample", ""}},
        {"N Sample", {"N Sample Kruskal", "N Sample Kruskal", "N Sample Kruskal Details"}},
        {"Paired Fields", {"PairedFields", "PairedFields", ""}},
        {"N Fields", {"N Fields Friedman", "N Fields Friedman", "N Fields Friedman Details"}},
    };
    for (const auto& [name, w] : words)
        if (t == name) return w;
    return {};
}

bool frmQuorb_Finish::HasSecondTable(const CMelvarsPropWiz& w) {
    const std::string t = w.CalcType();
    if (t == "Regression") return w.Residual();
    if (t == "Crosstab") return w.XChi() && std::string("CS").find(w.XType()) != std::string::npos;
    if (t == "Two Sample t-Test" || t == "ANOVA" || t == "Two way ANOVA") return w.GroupDetail();
    if (t == "Chi-Square") return w.ChiDetail();
    if (t == "N Sample") return w.NPKruskalDetail();
    if (t == "N Fields") return w.NPFriedmanDetail();
    return false;
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

bool frmQuorb_Finish::CheckExistingTableNames() {
    ProcGuard proc(gErr, "frmQuorb_Finish:CheckExistingTableNames");
    try {
        const std::string first = m_txtName1->text().toStdString();
        const std::string second = m_txtName2->text().toStdString();
        std::string list;
        std::vector<std::string> existing;
        if (TableDefExists(gdbCurrent, first)) {
            list = first;
            existing.push_back(first);
        }
        if (!second.empty() && TableDefExists(gdbCurrent, second)) {
            if (!list.empty()) list += "\r\n";
            list += second;
            existing.push_back(second);
        }
        if (existing.empty()) return true;
        const int answer = wizsvc::WizMessage(
            this,
            QStringLiteral("The following output table(s) already exist in the current database. Do you want to "
                           "overwrite them?\r\n\r\n") +
                QString::fromStdString(list),
            4);
        QApplication::processEvents();
        if (answer != 6) return false;
        // Dropped through the table definitions by name: no SQL is built from
        // the names.
        for (const std::string& name : existing) {
            try {
                gdbCurrent->TableDefs().Delete(name);
            } catch (...) {
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
            wizsvc::SendHelpKey(this);
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
