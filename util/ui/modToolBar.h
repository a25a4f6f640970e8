#pragma once
// The flat look of a toolbar: its buttons are drawn without a raised border
// until the mouse is over them.
class QToolBar;

// Sets (flat True) or clears the flat look of every button of the toolbar;
// nothing else of the toolbar changes. A missing toolbar is reported in a
// message box titled "SetToolBarFlat".
void SetToolBarFlat(QToolBar* toolBar, bool flat);
