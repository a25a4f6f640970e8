#pragma once
// Options page of "Matrix" scenarios: which statistics between the fields
// are written, and whether the paired t-test probability has one or two
// tails (offered only while the probability is asked for).
#include "designer/COptionsPage.h"

class frmQuorb_Options_Matrix : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Matrix(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
    void EnableControls() override { SetTTestProbEnabled(); }

private:
    void SetTTestProbEnabled();
};
