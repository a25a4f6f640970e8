#pragma once
// Options page of "2 Sample" scenarios: the Wald-Wolfowitz runs test, or
// the Mann-Whitney U and two-sample Kolmogorov-Smirnov tests.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_TwoSample : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_TwoSample(QWidget* parent = nullptr);
};
