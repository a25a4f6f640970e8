#pragma once
// Options page of "N Fields" scenarios (Friedman two-way ANOVA): the detail
// table.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_NFields : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_NFields(QWidget* parent = nullptr);
};
