#pragma once
// The options pages of the designer, one class per analysis type's page:
//
//   4 Describe      5 Frequency   6 Percentiles   7 Compare    8 Matrix
//   9 Regression   10 Crosstab   11 Two Sample t-Test, ANOVA, Two way ANOVA
//  12 Chi-Square   13 Sign Test  14 K-S Fit      15 2 Sample  16 N Sample
//  17 Paired Fields               18 N Fields
//
// An options page derives from CWizPage (designer/CWizPage.h): its SetWiz
// keeps the first wizard given and fills the controls from it once, under
// Loading; each control stores into the wizard's property and sets Changed;
// Back leaves with 1, Next runs its checks and leaves with 2, Cancel (and
// Escape) with 4. To plug a page in, add its case to CreateOptionsPage.
//
// A page number without a page class gives null: the page loop then passes
// the options step with the options the wizard holds (stored or default).
#include <functional>

class CWizPage;
class QWidget;

// The page for a page number (the caller owns it), or null.
CWizPage* CreateOptionsPage(long page, QWidget* parent);

// Replaces the page maker (tests give the loop pages of their own); an empty
// function restores the program's. Returns the previous one.
using OptionsPageFactory = std::function<CWizPage*(long page, QWidget* parent)>;
OptionsPageFactory SetOptionsPageFactory(OptionsPageFactory factory);
