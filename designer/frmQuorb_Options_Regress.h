#pragma once
// Options page of "Regression" scenarios: simple, multiple or polynomial
// regression, the polynomial order (2 to 9, offered only for polynomial
// regression), the Y-intercept, the ANOVA columns and the residual table.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Regress : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Regress(QWidget* parent = nullptr);

protected:
    void EnableControls() override { SetPolyOptionEnabled(); }

private:
    void SetPolyOptionEnabled();
};
