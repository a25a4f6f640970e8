#pragma once
// Options page of "Sign Test" scenarios: the cut-off values tested (the
// mean, the median, a custom value) and the custom value itself, editable
// while "Custom" is ticked.
#include "designer/COptionsPage.h"

class frmQuorb_Options_NP_SignTest : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_NP_SignTest(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
    void EnableControls() override { SetSignValueEnabled(); }

private:
    void SetSignValueEnabled();
};
