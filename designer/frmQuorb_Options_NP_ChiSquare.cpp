#include "designer/frmQuorb_Options_NP_ChiSquare.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_ChiSquare::frmQuorb_Options_NP_ChiSquare(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_ChiSquare", "ZUR Statistics Chi Square Options", 262, parent) {
    auto* fra = Frame("fraChiOptions", "Chi-Square Options");
    auto* g = new QGridLayout(fra);
    // The boxes have no captions: the labels beside them speak for them.
    auto* all = Check(fra, "chkChiAll", "", &S_::ChiAll, &S_::SetChiAll);
    auto* blanks = Check(fra, "chkChiIgnoreBlanks", "", &S_::ChiIgnoreBlanks, &S_::SetChiIgnoreBlanks);
    auto* detail = Check(fra, "chkChiDetail", "", &S_::ChiDetail, &S_::SetChiDetail);
    auto* label1 = Label(fra, "Label1", "&If group fields are specified, use the same comparison values for each group", true);
    label1->setBuddy(all);
    auto* label4 = Label(fra, "Label4", "I&gnore records with a blank (null) value in the comparison field", true);
    label4->setBuddy(blanks);
    auto* label5 = Label(fra, "Label5", "Create Detail Table", true);
    label5->setBuddy(detail);
    g->addWidget(all, 0, 0, Qt::AlignTop);
    g->addWidget(label1, 0, 1);
    g->addWidget(Label(fra, "Label2",
                       "(expected value for each comparison field value is calculated for all groups including those "
                       "without records for some comparison values)",
                       true),
                 1, 1);
    g->addWidget(Label(fra, "Label3", "Without this option, calculations are only based on comparison values in each group.",
                       true),
                 2, 1);
    g->addWidget(blanks, 0, 2, Qt::AlignTop);
    g->addWidget(label4, 0, 3);
    g->addWidget(detail, 1, 2, Qt::AlignTop);
    g->addWidget(label5, 1, 3, Qt::AlignTop);
    g->addWidget(Label(fra, "Label6", "Shows the count and percent of total for every unique value in each Compare field",
                       true),
                 2, 3, Qt::AlignTop);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);
    g->setRowStretch(3, 1);
}
