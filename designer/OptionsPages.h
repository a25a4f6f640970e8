#pragma once
// The options pages of the designer, one class per page number. The
// catalogue of analysis types (engine/AnalysisCatalogue.h) gives each type
// the number of its options page; the page class of each number is
// registered once, in the table of OptionsPages.cpp. Several types may share
// one page (the three group analyses share page 11).
//
// An options page derives from CWizPage (designer/CWizPage.h): its SetWiz
// keeps the first wizard given and fills the controls from it once, under
// Loading; each control stores into the wizard's property and sets Changed;
// Back leaves with 1, Next runs its checks and leaves with 2, Cancel (and
// Escape) with 4. To plug a page in, give its type the page's number in the
// catalogue and add one line for its class to the table.
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
