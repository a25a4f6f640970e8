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

CWizPage* ProgramOptionsPage(long page, QWidget* parent) {
    switch (page) {
    case 4: return new frmQuorb_Options_Describe(parent);
    case 5: return new frmQuorb_Options_Frequency(parent);
    case 6: return new frmQuorb_Options_Percentile(parent);
    case 7: return new frmQuorb_Options_Compare(parent);
    case 8: return new frmQuorb_Options_Matrix(parent);
    case 9: return new frmQuorb_Options_Regress(parent);
    case 10: return new frmQuorb_Options_Crosstab(parent);
    case 11: return new frmQuorb_Options_Group(parent);
    case 12: return new frmQuorb_Options_NP_ChiSquare(parent);
    case 13: return new frmQuorb_Options_NP_SignTest(parent);
    case 14: return new frmQuorb_Options_NP_KSFit(parent);
    case 15: return new frmQuorb_Options_NP_TwoSample(parent);
    case 16: return new frmQuorb_Options_NP_NSample(parent);
    case 17: return new frmQuorb_Options_NP_PairedFields(parent);
    case 18: return new frmQuorb_Options_NP_NFields(parent);
    default:
        return nullptr;
    }
}

} // namespace

OptionsPageFactory SetOptionsPageFactory(OptionsPageFactory f) { return std::exchange(factory(), std::move(f)); }

CWizPage* CreateOptionsPage(long page, QWidget* parent) {
    if (factory()) return factory()(page, parent);
    return ProgramOptionsPage(page, parent);
}
