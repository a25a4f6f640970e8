#include "designer/OptionsPages.h"

#include "designer/CWizPage.h"
#include "designer/frmQuorb_Options_Compare.h"
#include "designer/frmQuorb_Options_Crosstab.h"
#include "designer/frmQuorb_Options_Describe.h"
#include "designer/frmQuorb_Options_Frequency.h"
#include "designer/frmQuorb_Options_Group.h"
#include "designer/frmQuorb_Options_Matrix.h"
#include "designer/frmQuorb_Options_NP_ChiSquare.h"
#include "designer/frmQuorb_Options_NP_KSFit.h"
#include "designer/frmQuorb_Options_NP_NFields.h"
#include "designer/frmQuorb_Options_NP_NSample.h"
#include "designer/frmQuorb_Options_NP_PairedFields.h"
#include "designer/frmQuorb_Options_NP_SignTest.h"
#include "designer/frmQuorb_Options_NP_TwoSample.h"
#include "designer/frmQuorb_Options_Percentile.h"
#include "designer/frmQuorb_Options_Regress.h"

#include <utility>

namespace {

OptionsPageFactory& factory() {
    static OptionsPageFactory f;
    return f;
}

template <class Page>
CWizPage* Make(QWidget* parent) {
    return new Page(parent);
}

// The page class of each options page number.
const std::pair<long, CWizPage* (*)(QWidget*)> kPages[] = {
    {4, Make<frmQuorb_Options_Describe>},
    {5, Make<frmQuorb_Options_Frequency>},
    {6, Make<frmQuorb_Options_Percentile>},
    {7, Make<frmQuorb_Options_Compare>},
    {8, Make<frmQuorb_Options_Matrix>},
    {9, Make<frmQuorb_Options_Regress>},
    {10, Make<frmQuorb_Options_Crosstab>},
    {11, Make<frmQuorb_Options_Group>},
    {12, Make<frmQuorb_Options_NP_ChiSquare>},
    {13, Make<frmQuorb_Options_NP_SignTest>},
    {14, Make<frmQuorb_Options_NP_KSFit>},
    {15, Make<frmQuorb_Options_NP_TwoSample>},
    {16, Make<frmQuorb_Options_NP_NSample>},
    {17, Make<frmQuorb_Options_NP_PairedFields>},
    {18, Make<frmQuorb_Options_NP_NFields>},
};

CWizPage* ProgramOptionsPage(long page, QWidget* parent) {
    for (const auto& [number, make] : kPages)
        if (number == page) return make(parent);
    return nullptr;
}

} // namespace

OptionsPageFactory SetOptionsPageFactory(OptionsPageFactory f) { return std::exchange(factory(), std::move(f)); }

CWizPage* CreateOptionsPage(long page, QWidget* parent) {
    if (factory()) return factory()(page, parent);
    return ProgramOptionsPage(page, parent);
}
