#include "designer/frmQuorb_Options_Compare.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

using S_ = CMelvarsScenario;

frmQuorb_Options_Compare::frmQuorb_Options_Compare(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Compare", "ZUR Statistics Compare Options", 95, parent) {
    auto* fra = Frame("fraComparisonOptions", "Comparison Options");
    auto* g = new QGridLayout(fra);
    struct Row {
        const char* name;
        const char* caption;
        const char* label;
        const char* labelText;
        BoolGet get;
        BoolSet set;
    };
    const Row rows[] = {
        {"chkCountXY", "C&ount Difference", "Label1", "Count < Y, Count = Y, Count > Y", &S_::CountXY, &S_::SetCountXY},
        {"chkMeanXY", "&Mean Difference", "Label2", "Mean X, Mean Y, Mean X-Y, Standard Deviation X-Y", &S_::MeanXY,
         &S_::SetMeanXY},
        {"chkCorrXY", "Co&rrelation", "Label3", "Covariance, Correlation, R-Square", &S_::CorrXY, &S_::SetCorrXY},
        {"chktTest", "Paired &t-test", "Label4", "Degrees of Freedom, t-Value, Probability (1 and 2 tails)", &S_::TTest,
         &S_::SetTTest},
    };
    int r = 0;
    for (const Row& row : rows) {
        g->addWidget(Check(fra, row.name, row.caption, row.get, row.set), r, 0);
        g->addWidget(Label(fra, row.label, row.labelText), r++, 1);
    }
    g->setColumnStretch(1, 1);
    g->setRowStretch(r, 1);
}
