#pragma once
// Centres a window on the screen it is on (the primary screen for a window not
// shown yet): top = (screen height - window height) / 2, then
// left = (screen width - window width) / 2, the window's outer size counted.
class QWidget;

namespace platform::ui {

void CenterForm(QWidget* form);

} // namespace platform::ui
