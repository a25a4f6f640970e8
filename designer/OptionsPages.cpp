#include "designer/OptionsPages.h"

#include "designer/CWizPage.h"

CWizPage* CreateOptionsPage(long page, QWidget* /*parent*/) {
    switch (page) {
    default:
        return nullptr;
    }
}
