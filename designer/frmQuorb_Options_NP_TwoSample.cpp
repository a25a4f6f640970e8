#include "designer/frmQuorb_Options_NP_TwoSample.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_TwoSample::frmQuorb_Options_NP_TwoSample(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_TwoSample", "ZUR Statistics Two-Samples Test Options", 182, parent) {
    auto* fra = Frame("fraTwoSampleType", "Two-Sample Type");
    auto* v = new QVBoxLayout(fra);
    const int type = OptionGroup(&S_::NPTwoType, &S_::SetNPTwoType);
    v->addWidget(Option(type, fra, "optNPTwoTypeWald", "&Wald-Wolfowitz Runs Test", "Wald"));
    v->addWidget(Option(type, fra, "optNPTwoTypeMann", "&Mann-Whitney U Test and Kolmogorov-Smirnov 2-Sample Test",
                        "Mann"));
    v->addStretch();
}
