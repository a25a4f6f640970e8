#include "designer/frmQuorb_Create.h"

#include "designer/CMelvarsPropWiz.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

struct TypeButton {
    int index;
    const char* caption;
    const char* type;
};

const TypeButton kTypes[] = {
    {1, "&Describe", "Describe"},
    {2, "&Frequency", "Frequency"},
    {3, "&Percentiles", "Percentiles"},
    {4, "Compar&e", "Compare"},
    {5, "&Matrix", "Matrix"},
    {6, "&Regression", "Regression"},
    {7, "&Crosstab", "Crosstab"},
    {20, "&Two Sample t-Test", "Two Sample t-Test"},
    {21, "&ANOVA", "ANOVA"},
    {22, "Two &way ANOVA", "Two way ANOVA"},
    {30, "Chi S&quare", "Chi-Square"},
    {31, "Si&gn Test", "Sign Test"},
    {32, "&K-S Fit", "K-S Fit"},
    {33, "&2 Sample", "2 Sample"},
    {34, "N &Sample", "N Sample"},
    {35, "Paired &Fields", "Paired Fields"},
    {36, "N &Fields", "N Fields"},
};

} // namespace

frmQuorb_Create::frmQuorb_Create(QWidget* parent) : CWizPage(parent) {
    setObjectName(QStringLiteral("frmQuorb_Create"));
    setWindowTitle(QStringLiteral("ZUR Statistics -- Select Analysis Type"));

    auto* fraType = new QGroupBox(QStringLiteral("Analysis Type"), this);
    fraType->setObjectName(QStringLiteral("fraType"));
    auto* grid = new QGridLayout(fraType);
    auto* group = new QButtonGroup(this);
    const char* headings[] = {"Parametric", "Group", "Non-Parametric"};
    int row = 0;
    for (const TypeButton& t : kTypes) {
        const int block = t.index < 20 ? 0 : (t.index < 30 ? 1 : 2);
        if (t.index == 1 || t.index == 20 || t.index == 30) {
            auto* heading = new QLabel(QString::fromLatin1(headings[block]), fraType);
            heading->setObjectName(QStringLiteral("lblTypes_%1").arg(block));
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            m_lblTypes[static_cast<std::size_t>(block)] = heading;
            grid->addWidget(heading, row, 0, Qt::AlignTop);
        }
        auto* button = new QRadioButton(QString::fromLatin1(t.caption), fraType);
        button->setObjectName(QStringLiteral("optType_%1").arg(t.index));
        group->addButton(button, t.index);
        m_optType[static_cast<std::size_t>(t.index)] = button;
        grid->addWidget(button, row, 1);
        // Checking a button by code under Loading stores nothing; a user's
        // click or arrow key stores the type.
        connect(button, &QRadioButton::toggled, this, [this, i = t.index](bool on) {
            if (on) optType_Click(i);
        });
        ++row;
        if (t.index == 7 || t.index == 22) grid->setRowMinimumHeight(row++, 6);
    }
    grid->setColumnStretch(1, 1);

    // Help, Cancel, Back, Next: the row of every page.
    const std::pair<int, const char*> navs[] = {{0, "Help"}, {4, "Cancel"}, {1, "< &Back"}, {2, "&Next >"}};
    for (const auto& [i, caption] : navs) {
        QPushButton* b = NavButton(caption, i);
        m_cmdNav[static_cast<std::size_t>(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i = i] { cmdNav_Click(i); });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraType, 1);
    layout->addLayout(ButtonRow({}, m_cmdNav[0], m_cmdNav[4], m_cmdNav[1], m_cmdNav[2]));
}

const char* frmQuorb_Create::TypeOfIndex(int index) {
    for (const TypeButton& t : kTypes)
        if (t.index == index) return t.type;
    return "";
}

QRadioButton* frmQuorb_Create::optType(int index) const {
    return index >= 0 && index < static_cast<int>(m_optType.size()) ? m_optType[static_cast<std::size_t>(index)]
                                                                     : nullptr;
}

QPushButton* frmQuorb_Create::cmdNav(int index) const {
    return index >= 0 && index < 5 ? m_cmdNav[static_cast<std::size_t>(index)] : nullptr;
}

void frmQuorb_Create::SetNavResult(long code) {
    // 0 clears the code before the page is shown again; 4 is its Cancel.
    if (code == 0 || code == 1 || code == 2 || code == 4) CWizPage::SetNavResult(code);
}

void frmQuorb_Create::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, "frmQuorb_Create:Set Wiz");
    try {
        if (!m_Wiz) m_Wiz = wiz;
        if (!m_Wiz) return;
        SetLoading(true);
        const std::string type = m_Wiz->CalcType();
        int match = 0;
        for (const TypeButton& t : kTypes)
            if (type == t.type) match = t.index;
        if (match != 0) {
            optType(match)->setChecked(true);
        } else {
            SetLoading(false);
            optType(1)->setChecked(true);
            optType_Click(1);
        }
        SetLoading(false);
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Create::optType_Click(int index) {
    ProcGuard proc(gErr, "frmQuorb_Create:optType_Click");
    try {
        if (Loading() || !m_Wiz) return;
        const std::string type = TypeOfIndex(index);
        if (type.empty()) return;
        m_Wiz->SetCalcType(type);
        // The heading of the type decides its group.
        m_Wiz->SetScenario_Type(CMelvarsPropWiz::GroupOfType(type));
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Create::cmdNav_Click(int index) {
    ProcGuard proc(gErr, "frmQuorb_Create:cmdNav_Click");
    try {
        if (index == 0) wizsvc::SendHelpKey(this, HelpTopic);
        else if (index == 1 || index == 2 || index == 4) LeaveWith(index);
    } catch (...) {
        proc.HandleError();
    }
}
