#pragma once
// Options page of "Frequency" scenarios: the number of intervals, which
// border an interval includes, default or specified intervals (initial value
// and width) and the sum of values.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Frequency : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Frequency(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
    void EnableControls() override { SetFreqGroupSpecEnabled(); }

private:
    void SetFreqGroupSpecEnabled();
};
