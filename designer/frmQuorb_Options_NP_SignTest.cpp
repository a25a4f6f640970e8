#include "designer/frmQuorb_Options_NP_SignTest.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_SignTest::frmQuorb_Options_NP_SignTest(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_SignTest", "ZUR Statistics One-Sample Sign Test Options", 169, parent) {
    auto* fra = Frame("fraSignTest", "Select Test (Cut-Off) Values");
    auto* g = new QGridLayout(fra);
    g->addWidget(Check(fra, "chkSignMean", "Mean", &S_::SignMean, &S_::SetSignMean), 0, 0);
    g->addWidget(Check(fra, "chkSignMedian", "Median", &S_::SignMedian, &S_::SetSignMedian), 1, 0);
    g->addWidget(Check(fra, "chkSignCustom", "&Custom", &S_::SignCustom, &S_::SetSignCustom,
                       [this] { SetSignValueEnabled(); }),
                 2, 0);
    // The box shows the value as stored: 2.50 becomes 2.5, an emptied box 0.
    g->addWidget(Box(fra, "txtSignValue", [this] { return TextOf(S().SignValue()); },
                     [this](const QString& t) {
                         return FreeNumber(Control<QLineEdit>("txtSignValue"), t, &S_::SignValue, &S_::SetSignValue,
                                           true);
                     }),
                 2, 1);
    g->setColumnStretch(2, 1);
    g->setRowStretch(3, 1);
}

void frmQuorb_Options_NP_SignTest::SetSignValueEnabled() { Control("txtSignValue")->setEnabled(S().SignCustom()); }

std::string frmQuorb_Options_NP_SignTest::PageChecks() { return m_Wiz->CheckSignTest(*this); }
