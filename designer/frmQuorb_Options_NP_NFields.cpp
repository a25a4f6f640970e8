#include "designer/frmQuorb_Options_NP_NFields.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_NFields::frmQuorb_Options_NP_NFields(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_NFields", "ZUR Statistics N Fields Friedman Two-Way ANOVA Options", 205,
                   parent) {
    auto* fra = Frame("fraGroup", "Options");
    auto* v = new QVBoxLayout(fra);
    v->addWidget(Check(fra, "chkNPFriedmanDetail", "Create &Detail table", &S_::NPFriedmanDetail,
                       &S_::SetNPFriedmanDetail));
    v->addWidget(Label(fra, "Label1",
                       "A Friedman table is always created. The detail table shows summary calculations for each group.",
                       true));
    v->addStretch();
}
