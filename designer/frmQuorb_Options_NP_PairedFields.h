#pragma once
// Options page of "Paired Fields" scenarios: the sign test, the Wilcoxon
// signed rank test and Spearman's rank correlation; at least one.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_PairedFields : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_PairedFields(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
};
