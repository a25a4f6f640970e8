#pragma once
// Options page of "N Sample" scenarios (Kruskal-Wallis): the detail table.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_NSample : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_NSample(QWidget* parent = nullptr);
};
