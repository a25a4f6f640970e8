#pragma once
// Options page of "Crosstab" scenarios: the function that fills each cell,
// the percentage rows, and the chi-square outputs, which only the count and
// sum functions offer.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Crosstab : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Crosstab(QWidget* parent = nullptr);

protected:
    void EnableControls() override { SetFraChiSquareOptionsEnabled(); }

private:
    void SetFraChiSquareOptionsEnabled();
};
