#include "designer/frmQuorb_Options_NP_PairedFields.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_PairedFields::frmQuorb_Options_NP_PairedFields(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_PairedFields", "ZUR Statistics Paired Fields Options", 197, parent) {
    auto* fra = Frame("fraPairedFieldOptions", "Paired Field Options");
    auto* v = new QVBoxLayout(fra);
    v->addWidget(Check(fra, "chknPPair_Sign", "&Paired Sign Test", &S_::NPPair_Sign, &S_::SetNPPair_Sign));
    v->addWidget(Check(fra, "chkNPPair_Wilcoxon", "&Wilcoxon Signed Rank Test", &S_::NPPair_Wilcoxon,
                       &S_::SetNPPair_Wilcoxon));
    v->addWidget(Check(fra, "chkNPPair_Spearman", "&Spearman's Rank Correlation", &S_::NPPair_Spearman,
                       &S_::SetNPPair_Spearman));
    v->addStretch();
}

std::string frmQuorb_Options_NP_PairedFields::PageChecks() { return m_Wiz->CheckPaired(*this); }
