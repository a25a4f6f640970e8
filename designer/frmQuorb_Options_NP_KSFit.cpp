#include "designer/frmQuorb_Options_NP_KSFit.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_NP_KSFit::frmQuorb_Options_NP_KSFit(QWidget* parent)
    : COptionsPage("frmQuorb_Options_NP_KSFit", "ZUR Statistics Kolmogorov-Smirnov Goodness of Fit Options", 174,
                   parent) {
    auto* fra = Frame("fraKSFit", "Distributions to Test");
    auto* v = new QVBoxLayout(fra);
    auto* uniform = Check(fra, "chkFitUniform", "&Uniform", &S_::FitUniform, &S_::SetFitUniform);
    auto* normal = Check(fra, "chkFitNormal", "N&ormal", &S_::FitNormal, &S_::SetFitNormal);
    auto* poisson = Check(fra, "chkFitPoisson", "&Poisson", &S_::FitPoisson, &S_::SetFitPoisson);
    v->addWidget(uniform);
    v->addWidget(normal);
    v->addWidget(poisson);
    auto* note = Label(fra, "Label1", "Requires non-negative integers. (time consuming for large values)");
    note->setContentsMargins(20, 0, 0, 0);
    v->addWidget(note);
    v->addStretch();
}

std::string frmQuorb_Options_NP_KSFit::PageChecks() { return m_Wiz->CheckKSFit(*this); }
