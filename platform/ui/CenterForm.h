#pragma once
// Centres a window on the screen it is on (the primary screen for a window not
// shown yet): top = (screen height - window height) / 2, then
// left = (screen width - window width) / 2, the window's outer size counted.
class QWidget;

namespace platform::ui {

void CenterForm(QWidget* form);

// Centres a dialog on its owner: the window of its parent when that is
// shown, kept inside the work area of the owner's screen; on the screen
// (CenterForm) when it has no shown owner.
void CenterOnOwner(QWidget* form);

} // namespace platform::ui
