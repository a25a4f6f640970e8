#include "designer/frmQuorb_Options_Percentile.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Percentile::frmQuorb_Options_Percentile(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Percentile", "ZUR Statistics Percentile Options", 87, parent) {
    auto* fra = Frame("Frame8", "Percentile Options");
    auto* v = new QVBoxLayout(fra);
    const int g = OptionGroup(&S_::PercentileRadio, &S_::SetPercentileRadio);
    v->addWidget(Option(g, fra, "optPcntRadioMedian", "Median", "Median"));
    v->addWidget(Option(g, fra, "optPcntRadioQuartiles", "Quartiles", "Quartiles"));
    v->addWidget(Option(g, fra, "optPcntRadioQuintiles", "Quintiles", "5"));
    v->addWidget(Option(g, fra, "optPcntRadioDeciles", "Deciles", "Deciles"));
    v->addWidget(Option(g, fra, "optPcntRadioPercentiles", "Percentiles", "Percentiles"));
    v->addStretch();
}
