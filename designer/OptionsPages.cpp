#include "designer/OptionsPages.h"

#include "designer/CWizPage.h"

#include <utility>

namespace {

OptionsPageFactory& factory() {
    static OptionsPageFactory f;
    return f;
}

CWizPage* ProgramOptionsPage(long page, QWidget* /*parent*/) {
    switch (page) {
    // One case per options page class, e.g.
    //   case 4: return new frmQuorb_Options_Describe(parent);
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
