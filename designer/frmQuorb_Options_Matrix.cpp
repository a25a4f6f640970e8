#include "designer/frmQuorb_Options_Matrix.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

using S_ = CMelvarsScenario;

frmQuorb_Options_Matrix::frmQuorb_Options_Matrix(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Matrix", "ZUR Statistics Matrix Options", 101, parent) {
    auto* fra = Frame("fraComparisonOptions", "Comparison Options");
    auto* g = new QGridLayout(fra);
    struct Box {
        const char* name;
        const char* caption;
        BoolGet get;
        BoolSet set;
    };
    const Box boxes[] = {
        {"chkMCnt", "C&ount", &S_::MCnt, &S_::SetMCnt},
        {"chkMMis", "&Missing", &S_::MMis, &S_::SetMMis},
        {"chkMMean", "Mean &Difference", &S_::MMean, &S_::SetMMean},
        {"chkMDev", "&Std. Deviation Difference", &S_::MDev, &S_::SetMDev},
        {"chkMCov", "Co&variance", &S_::MCov, &S_::SetMCov},
        {"chkMCor", "Co&rrelation", &S_::MCor, &S_::SetMCor},
        {"chkMR2", "R-S&quare", &S_::MR2, &S_::SetMR2},
        {"chkMT", "Paired &t-Test (t Value)", &S_::MT, &S_::SetMT},
    };
    int i = 0;
    for (const Box& b : boxes) {
        g->addWidget(Check(fra, b.name, b.caption, b.get, b.set), i < 5 ? i : i - 5, i < 5 ? 0 : 1, 1, 1);
        ++i;
    }
    g->addWidget(Check(fra, "chkMProb", "Paired t-Test &Probability", &S_::MProb, &S_::SetMProb,
                       [this] { SetTTestProbEnabled(); }),
                 3, 1);
    auto* tails = new QHBoxLayout;
    const int tail = OptionGroup(&S_::MProbTail, &S_::SetMProbTail);
    tails->addSpacing(20);
    tails->addWidget(Option(tail, fra, "optMProbTail1", "&1-tail", "1-tail"));
    tails->addWidget(Option(tail, fra, "optMProbTail2", "&2-tail", "2-tail"));
    tails->addStretch();
    g->addLayout(tails, 4, 1);
    g->setRowStretch(5, 1);
}

void frmQuorb_Options_Matrix::SetTTestProbEnabled() {
    // The stored switch decides; the selection stays as it is.
    const bool on = S().MProb();
    for (const char* n : {"optMProbTail1", "optMProbTail2"}) Control(n)->setEnabled(on);
}

std::string frmQuorb_Options_Matrix::PageChecks() {
    std::string msg = m_Wiz->CheckDescribe(*this);
    if (msg.empty()) msg = m_Wiz->CheckFrequency(*this, S().FreqN(), S().FreqP());
    return msg;
}
