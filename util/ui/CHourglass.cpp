#include "util/ui/CHourglass.h"

#include "errors/RunTimeError.h"
#include "platform/ui/ScreenPointer.h"

CHourglass::~CHourglass() {
    platform::ui::SetScreenMousePointer(platform::ui::vbDefault);
}

void CHourglass::SetValue(bool value) {
    try {
        m_value = value;
        platform::ui::SetScreenMousePointer(value ? platform::ui::vbHourglass : platform::ui::vbDefault);
    } catch (...) {
        ShowRoutineError("Value");
    }
}
