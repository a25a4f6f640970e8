#include "designer/frmQuorb_Options_NP_NSample.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_NSample::frmQuorb_Options_NP_NSample(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_NSample", "ZUR Statistics N Sample Kruskal-Wallis Test Options", 191, parent) {
    auto* fra = Frame("fraGroup", "N Sample Options");
    auto* v = new QVBoxLayout(fra);
    v->addWidget(Check(fra, "chkNPKruskalDetail", "Create &Detail table", &S_::NPKruskalDetail,
                       &S_::SetNPKruskalDetail));
    v->addWidget(Label(fra, "Label1",
                       "A Kruskal-Wallis table is always created. The detail table shows summary calculations for "
                       "each group.",
                       true));
    v->addStretch();
}
