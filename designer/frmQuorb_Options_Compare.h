#pragma once
// Options page of "Compare" scenarios: which result groups the paired
// comparison of Y with each X writes. Next always leaves the page.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Compare : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Compare(QWidget* parent = nullptr);
};
