#include "designer/frmQuorb_Create.h"

#include "designer/CMelvarsPropWiz.h"
#include "designer/WizServices.h"
#include "engine/AnalysisCatalogue.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <iterator>
#include <utility>
#include <vector>

namespace {

// The headings of the three groups of types, in the order the groups stand.
const std::pair<char, const char*> kHeadings[] = {{'P', "Parametric"}, {'G', "Group"}, {'N', "Non-Parametric"}};

} // namespace

frmQuorb_Create::frmQuorb_Create(QWidget* parent) : CWizPage(parent) {
    setObjectName(QStringLiteral("frmQuorb_Create"));
    setWindowTitle(QStringLiteral("ZUR Statistics -- Select Analysis Type"));

    auto* fraType = new QGroupBox(QStringLiteral("Analysis Type"), this);
    fraType->setObjectName(QStringLiteral("fraType"));
    auto* grid = new QGridLayout(fraType);
    auto* group = new QButtonGroup(this);
    // One block of buttons per group, in the catalogue's order, its heading
    // beside the first button; a little room between the blocks.
    int row = 0;
    for (std::size_t block = 0; block < std::size(kHeadings); ++block) {
        const auto [letter, caption] = kHeadings[block];
        const std::vector<const AnalysisType*> types = AnalysisTypesOfGroup(letter);
        if (types.empty()) continue;
        if (row > 0) grid->setRowMinimumHeight(row++, 6);
        auto* heading = new QLabel(QString::fromLatin1(caption), fraType);
        heading->setObjectName(QStringLiteral("lblTypes_%1").arg(block));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        m_lblTypes[block] = heading;
        grid->addWidget(heading, row, 0, Qt::AlignTop);
        for (const AnalysisType* t : types) {
            auto* button = new QRadioButton(QString::fromUtf8(t->typeCaption), fraType);
            button->setObjectName(QStringLiteral("optType_%1").arg(t->typeIndex));
            group->addButton(button, t->typeIndex);
            m_optType[t->typeIndex] = button;
            grid->addWidget(button, row, 1);
            grid->setRowStretch(row, 1);
            // Checking a button by code under Loading stores nothing; a user's
            // click or arrow key stores the type.
            connect(button, &QRadioButton::toggled, this, [this, i = t->typeIndex](bool on) {
                if (on) optType_Click(i);
            });
            ++row;
        }
    }
    grid->setColumnStretch(1, 1);
    // The seventeen buttons stand close where the screen is small (1366 x 768
    // at 150 %), so that the page with its buttons fits on it; on a larger
    // screen the rows share the page's height as before.
    grid->setVerticalSpacing(2);

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
    // The catalogue's names are literals: their text ends with a null.
    for (const AnalysisType& t : AnalysisTypes())
        if (t.typeIndex == index) return t.name.data();
    return "";
}

QRadioButton* frmQuorb_Create::optType(int index) const {
    const auto it = m_optType.find(index);
    return it == m_optType.end() ? nullptr : it->second;
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
        const AnalysisType* t = AnalysisTypeNamed(m_Wiz->CalcType());
        const int match = t ? t->typeIndex : 0;
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
