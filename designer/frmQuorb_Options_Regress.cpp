#include "designer/frmQuorb_Options_Regress.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Regress::frmQuorb_Options_Regress(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Regress", "ZUR Statistics Regression Options", 104, parent) {
    auto* row = new QHBoxLayout;
    Body()->addLayout(row, 1);
    auto* fraType = Frame("fraType", "Regression Type", false);
    row->addWidget(fraType, 1);
    auto* g = new QGridLayout(fraType);
    const int type = OptionGroup(&S_::RegressType, &S_::SetRegressType);
    g->addWidget(Option(type, fraType, "optRegressTypeSimple", "Simple", "S", [this] { SetPolyOptionEnabled(); }), 0, 0);
    g->addWidget(Label(fraType, "Label1", "(y = Ax + C)"), 0, 1);
    g->addWidget(Option(type, fraType, "optRegressTypeMultiple", "Multiple", "M", [this] { SetPolyOptionEnabled(); }),
                 1, 0);
    g->addWidget(Label(fraType, "Label2", "(y = Ax + Bz + ... + C)"), 1, 1);
    g->addWidget(Option(type, fraType, "optRegressTypePoly", "Polynomial", "P", [this] { SetPolyOptionEnabled(); }), 2,
                 0);
    g->addWidget(Label(fraType, "Label3", "(y = Ax +Bx² + ... + C)"), 2, 1);
    auto* order = new QHBoxLayout;
    order->addWidget(Label(fraType, "lblRPoly", "Polynomial Order:"));
    order->addWidget(Box(fraType, "txtRPoly", [this] { return QString::number(S().RPoly()); },
                         [this](const QString& t) {
                             return BoundedWholeNumber(t, &S_::RPoly, &S_::SetRPoly, 2, 9,
                                                       "Please enter a number between 2 and 9.");
                         }));
    order->addWidget(Label(fraType, "lbl2to9", "(2 to 9)"));
    order->addStretch();
    g->addLayout(order, 3, 0, 1, 2);
    g->setColumnStretch(1, 1);
    g->setRowStretch(4, 1);

    auto* fraCalc = Frame("fraCalcOptions", "Calculation Options", false);
    row->addWidget(fraCalc, 1);
    auto* v = new QVBoxLayout(fraCalc);
    v->addWidget(Check(fraCalc, "chkRYInt", "Calculate &Y-Intercept", &S_::RYInt, &S_::SetRYInt));
    auto* note = Label(fraCalc, "Label5", "(Leave blank for zero-intercept)");
    note->setContentsMargins(20, 0, 0, 0);
    v->addWidget(note);
    v->addWidget(Check(fraCalc, "chkRAnova", "Calculate Regression &ANOVA", &S_::RAnova, &S_::SetRAnova));
    v->addWidget(Check(fraCalc, "chkResidual", "Create &Residual Table", &S_::Residual, &S_::SetResidual));
    v->addStretch();
}

void frmQuorb_Options_Regress::SetPolyOptionEnabled() {
    const bool on = S().RegressType() == "P";
    for (const char* n : {"lblRPoly", "txtRPoly", "lbl2to9"}) Control(n)->setEnabled(on);
}
