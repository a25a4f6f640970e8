#pragma once
// Options page of "Chi-Square" scenarios: the same comparison values for
// every group, blanks in the comparison field, and the detail table.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_ChiSquare : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_ChiSquare(QWidget* parent = nullptr);
};
