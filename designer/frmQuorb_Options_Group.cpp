#include "designer/frmQuorb_Options_Group.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Group::frmQuorb_Options_Group(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Group", "ZUR Statistics Group Options", 138, parent) {
    auto* fra = Frame("fraGroup", "Group Analysis Options");
    auto* v = new QVBoxLayout(fra);
    // Filled detail first, as the page always did; Tab goes as the boxes stand.
    auto* detail = Check(fra, "chkGroupDetail", "Create &Detail table", &S_::GroupDetail, &S_::SetGroupDetail);
    auto* ignore = Check(fra, "chkGroupIgnoreBlanks", "&Ignore records with blank value in comparison field",
                         &S_::GroupIgnoreBlanks, &S_::SetGroupIgnoreBlanks);
    v->addWidget(ignore);
    v->addWidget(detail);
    // Tab goes down the frame as it shows the boxes.
    setTabOrder(ignore, detail);
    v->addStretch();
}
