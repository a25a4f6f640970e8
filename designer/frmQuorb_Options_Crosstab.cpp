#include "designer/frmQuorb_Options_Crosstab.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Crosstab::frmQuorb_Options_Crosstab(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Crosstab", "ZUR Statistics Crosstab Options", 115, parent) {
    auto* row = new QHBoxLayout;
    Body()->addLayout(row, 1);
    auto* fraType = Frame("fraType", "Cross-Tabulation Type", false);
    row->addWidget(fraType, 1);
    auto* tg = new QGridLayout(fraType);
    const int type = OptionGroup(&S_::XType, &S_::SetXType);
    const std::array<std::array<const char*, 3>, 10> types{{
        {"optXTypeCount", "C&ount", "C"},
        {"optXTypeSum", "&Sum", "S"},
        {"optXTypeAvg", "&Average", "A"},
        {"optXTypeMin", "&Minimum", "M"},
        {"optXTypeMax", "Ma&ximum", "X"},
        {"optXTypeRange", "&Range", "R"},
        {"optXTypeVar", "&Variance", "V"},
        {"optXTypeCVar", "Coef. of Var&iance", "F"},
        {"optXTypeStdDev", "Std. &Deviation", "D"},
        {"optXTypeStdErr", "Std. &Error", "E"},
    }};
    int i = 0;
    for (const auto& t : types) {
        auto* b = Option(type, fraType, t[0], t[1], t[2], [this] { SetFraChiSquareOptionsEnabled(); });
        if (i == 0) SetOptionFallback(type, b); // an unknown letter shows Count, without storing it
        tg->addWidget(b, i % 5, i / 5);
        ++i;
    }
    tg->setRowStretch(5, 1);

    auto* right = new QVBoxLayout;
    row->addLayout(right, 1);
    auto* fraPcnt = Frame("fraPercentageOptions", "Percentage Options", false);
    right->addWidget(fraPcnt);
    auto* pv = new QVBoxLayout(fraPcnt);
    pv->addWidget(Check(fraPcnt, "chkXRowPcnt", "% of Row", &S_::XRowPCnt, &S_::SetXRowPCnt));
    pv->addWidget(Check(fraPcnt, "chkXColPcnt", "% of Column", &S_::XColPcnt, &S_::SetXColPcnt));
    pv->addWidget(Check(fraPcnt, "chkXTotPcnt", "% of Total", &S_::XTotPcnt, &S_::SetXTotPcnt));
    auto* fraChi = Frame("fraChiOptions", "Chi Square Options", false);
    right->addWidget(fraChi);
    auto* cv = new QVBoxLayout(fraChi);
    // Filled in the order of the percentage boxes, then % of expected,
    // expected value and the chi-square table.
    auto* expectPcnt = Check(fraChi, "chkxExpectPcnt", "% of Expected", &S_::XExpectPcnt, &S_::SetXExpectPcnt);
    auto* expect = Check(fraChi, "chkxExpect", "Expected Value", &S_::XExpect, &S_::SetXExpect);
    cv->addWidget(expect);
    cv->addWidget(expectPcnt);
    cv->addWidget(Check(fraChi, "chkXChi", "Create Chi-S&quare Table", &S_::XChi, &S_::SetXChi));
    // Tab goes down the frame as it shows the boxes.
    setTabOrder(expect, expectPcnt);
    right->addStretch();
}

void frmQuorb_Options_Crosstab::SetFraChiSquareOptionsEnabled() {
    // The stored function decides, not the buttons (an unknown letter shows
    // Count but offers no chi-square).
    const std::string t = S().XType();
    const bool on = t == "C" || t == "S";
    for (const char* n : {"fraChiOptions", "chkxExpectPcnt", "chkxExpect", "chkXChi"}) Control(n)->setEnabled(on);
}
