#pragma once
// Options page of "Percentiles" scenarios: which percentile points are
// computed. Quintiles are stored as "5".
#include "designer/COptionsPage.h"

class frmQuorb_Options_Percentile : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Percentile(QWidget* parent = nullptr);
};
