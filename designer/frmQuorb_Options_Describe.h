#pragma once
// Options page of "Describe" scenarios: which groups of statistics the
// analysis writes, the variance divisor, confidence intervals, the t-test
// against a given mean, percentiles and a frequency distribution.
//
// Numbers typed into the boxes are kept as doubles (a mean to test of 1.1
// stays 1.1); a mean to test that is no number is refused with a message.
#include "designer/COptionsPage.h"

class frmQuorb_Options_Describe : public COptionsPage {
    Q_OBJECT
public:
    explicit frmQuorb_Options_Describe(QWidget* parent = nullptr);

protected:
    std::string PageChecks() override;
    void EnableControls() override;

private:
    void SetMethodOptionEnabled();
    void SetPercentileOptionEnabled();
    void SetStdDevEnabled();
    void SetFreqGroupSpecEnabled();
    BoxResult CIStdDevRule(const QString& text);
    BoxResult CIUserRule(const QString& text);
    BoxResult InterVRule(const QString& text);
    BoxResult TTestValueRule(const QString& text);
};
