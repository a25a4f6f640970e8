#include "platform/Screen.h"

#include <mutex>

namespace platform {

namespace {
std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}
ScreenInfoProvider& provider() {
    static ScreenInfoProvider p;
    return p;
}
} // namespace

ScreenInfoProvider SetScreenInfoProvider(ScreenInfoProvider newProvider) {
    std::lock_guard lock(providerMutex());
    ScreenInfoProvider old = std::move(provider());
    provider() = std::move(newProvider);
    return old;
}

std::optional<ScreenInfo> GetScreenInfo() {
    ScreenInfoProvider p;
    {
        std::lock_guard lock(providerMutex());
        p = provider();
    }
    if (!p) return std::nullopt;
    return p();
}

} // namespace platform
