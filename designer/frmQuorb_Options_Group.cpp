#include "designer/frmQuorb_Options_Group.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Group::frmQuorb_Options_Group(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Group", "ZUR Statistics Group Options", 138, parent) {
    auto* fra = Frame("fraGroup", "Group Analysis Options");
    auto* v = new QVBoxLayout(fra);
    // Filled detail first, as the page always did; the order shows nowhere.
    auto* detail = Check(fra, "chkGroupDetail", "Create &Detail table", &S_::GroupDetail, &S_::SetGroupDetail);
    v->addWidget(Check(fra, "chkGroupIgnoreBlanks", "&Ignore records with blank value in comparison field",
                       &S_::GroupIgnoreBlanks, &S_::SetGroupIgnoreBlanks));
    v->addWidget(detail);
    v->addStretch();
}
