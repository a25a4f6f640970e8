#include "util/ui/modToolBar.h"

#include "errors/RunTimeError.h"

#include <QToolBar>
#include <QToolButton>

void SetToolBarFlat(QToolBar* toolBar, bool flat) {
    try {
        if (!toolBar)
            throw RunTimeError(rterr::ObjectNotSet);
        for (QToolButton* button : toolBar->findChildren<QToolButton*>())
            button->setAutoRaise(flat);
        toolBar->setProperty("flat", flat);
        toolBar->update();
    } catch (...) {
        ShowRoutineError("SetToolBarFlat");
    }
}
