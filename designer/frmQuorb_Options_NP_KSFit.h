#pragma once
// Options page of "K-S Fit" scenarios: the distributions the data are
// tested against; at least one must be chosen.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_KSFit : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_KSFit(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
};
