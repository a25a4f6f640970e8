#pragma once
// Options page of the group analyses ("Two Sample t-Test", "ANOVA", "Two way
// ANOVA"): blanks in the comparison field and the detail table.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Group : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Group(QWidget* parent = nullptr);
};
