#include "util/COSInfo.h"

#include <cmath>
#include <fstream>
#include <random>

#include "errors/RunTimeError.h"
#include "platform/RegistryStore.h"
#include "platform/Screen.h"
#include "platform/SystemInfo.h"

using namespace platform;

namespace {

template <class R, class F>
R guarded(const char* name, R fallback, F get) {
    try {
        return get();
    } catch (...) {
        ShowRoutineError(name);
        return fallback;
    }
}

template <class F>
void guardedSet(const char* name, F set) {
    try {
        set();
    } catch (...) {
        ShowRoutineError(name);
    }
}

// A value of the registry store as text: a string cut at its first NUL, a
// 32-bit number in decimal, raw bytes as they are; empty when missing.
std::string registryString(HKEY root, const std::string& path, const std::string& name) {
    RegistryKey key = RegistryKey::Open(root, path, KEY_QUERY_VALUE);
    if (!key) return {};
    auto v = key.QueryValue(name);
    if (!v) return {};
    switch (v->type) {
    case REG_SZ: return COSInfo::TrimNulls(v->data);
    case REG_DWORD: return std::to_string(v->dword);
    case REG_BINARY: return v->data;
    default: return {};
    }
}

const char* const kUserInfoKey = "Software\\Microsoft\\MS Setup (ACME)\\User Info";

std::string hex(unsigned long long v) {
    static const char* digits = "0123456789ABCDEF";
    if (v == 0) return "0";
    std::string s;
    while (v) {
        s.insert(s.begin(), digits[v & 15]);
        v >>= 4;
    }
    return s;
}

short toShort(int v) {
    if (v > 32767 || v < -32768) throw RunTimeError(rterr::Overflow);
    return static_cast<short>(v);
}

} // namespace

std::string COSInfo::TrimNulls(const std::string& text) {
    const size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string COSInfo::FormatGUID(const unsigned char b[16]) {
    const unsigned long long d1 = (static_cast<unsigned long long>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    const unsigned long long d2 = static_cast<unsigned long long>((b[4] << 8) | b[5]);
    const unsigned long long d3 = static_cast<unsigned long long>((b[6] << 8) | b[7]);
    std::string s = "{" + hex(d1) + "-" + hex(d2) + "-" + hex(d3) + "-";
    for (int i = 8; i < 16; ++i) s += hex(b[i]);
    return s + "}";
}

bool COSInfo::Beep() {
    // No system-wide beep switch here: the beep is always on.
    return guarded("Beep", false, [] { return true; });
}

void COSInfo::SetBeep(bool) {
    guardedSet("Beep", [] {});
}

std::string COSInfo::ComputerName() {
    return guarded("ComputerName", std::string(), [] { return HostName(); });
}

void COSInfo::SetComputerName(const std::string&) {
    // Renaming the machine is the administrator's business, not this program's.
    guardedSet("ComputerName", [] { throw RunTimeError(rterr::PermissionDenied); });
}

std::string COSInfo::CurrentHardwareProfile() {
    return guarded("CurrentHardwareProfile", std::string(), [] {
        std::ifstream in("/sys/class/dmi/id/product_name");
        std::string name;
        std::getline(in, name);
        return TrimNulls(name);
    });
}

std::string COSInfo::DefaultCompanyName() {
    return guarded("DefaultCompanyName", std::string(),
                   [] { return registryString(HKEY_CURRENT_USER, kUserInfoKey, "DefCompany"); });
}

std::string COSInfo::DefaultUserName() {
    return guarded("DefaultUserName", std::string(), [] {
        std::string name = registryString(HKEY_CURRENT_USER, kUserInfoKey, "DefName");
        return name.empty() ? UserFullName() : name;
    });
}

std::int64_t COSInfo::DisplayColors() {
    return guarded("DisplayColors", std::int64_t{0}, []() -> std::int64_t {
        auto screen = GetScreenInfo();
        if (!screen) return 0;
        const int bits = screen->bitsPerPixel * screen->planes;
        if (bits < 0 || bits > 62) throw RunTimeError(rterr::Overflow);
        return std::int64_t{1} << bits;
    });
}

std::string COSInfo::GUID() {
    return guarded("GUID", std::string(), [] {
        std::random_device rd;
        unsigned char b[16];
        for (int i = 0; i < 16; i += 4) {
            const unsigned int r = rd();
            for (int j = 0; j < 4; ++j) b[i + j] = static_cast<unsigned char>(r >> (8 * j));
        }
        b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4 (random)
        b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80); // variant 1
        return FormatGUID(b);
    });
}

bool COSInfo::LargeFonts() {
    return guarded("LargeFonts", false, [] {
        auto screen = GetScreenInfo();
        return screen && screen->logPixelsX == 120;
    });
}

std::string COSInfo::OSAdditional() {
    return guarded("OSAdditional", std::string(), [] { return GetOsPrettyName(); });
}

long COSInfo::OSBuild() {
    return guarded("OSBuild", 0L, [] { return static_cast<long>(GetKernelInfo().patch & 0x7FFF); });
}

long COSInfo::OSMajorVersion() {
    return guarded("OSMajorVersion", 0L, [] { return static_cast<long>(GetKernelInfo().major); });
}

long COSInfo::OSMinorVersion() {
    return guarded("OSMinorVersion", 0L, [] { return static_cast<long>(GetKernelInfo().minor); });
}

bool COSInfo::ScreenSaverActive() {
    return guarded("ScreenSaverActive", false, [] { return false; });
}

void COSInfo::SetScreenSaverActive(bool) {
    guardedSet("ScreenSaverActive", [] {});
}

long COSInfo::ScreenSaverTimeout() {
    return guarded("ScreenSaverTimeout", 0L, [] { return 0L; });
}

void COSInfo::SetScreenSaverTimeout(long) {
    guardedSet("ScreenSaverTimeout", [] {});
}

std::string COSInfo::SystemDirectory() {
    return guarded("SystemDirectory", std::string(), [] { return SystemLibraryDirectory(); });
}

std::string COSInfo::TempFile(const std::string& prefix) {
    return guarded("TempFile", std::string(), [&] { return platform::TempPath() + prefix.substr(0, 3) + "1.TMP"; });
}

std::string COSInfo::TempPath() {
    return guarded("TempPath", std::string(), [] { return platform::TempPath(); });
}

std::string COSInfo::UserName() {
    return guarded("UserName", std::string(), [] { return platform::UserName(); });
}

std::string COSInfo::WindowsDirectory() {
    return guarded("WindowsDirectory", std::string(), [] { return SystemRootDirectory(); });
}

long COSInfo::WindowsType() {
    return guarded("WindowsType", 0L, [] { return PlatformNT; });
}

std::string COSInfo::SystemName() {
    return guarded("SystemName", std::string(), [] { return GetKernelInfo().sysname; });
}

void COSInfo::GetWorkArea(short& left, short& top, short& width, short& height) {
    guardedSet("GetWorkArea", [&] {
        auto screen = GetScreenInfo();
        if (!screen) {
            left = top = width = height = 0;
            return;
        }
        left = toShort(screen->workLeft);
        top = toShort(screen->workTop);
        width = toShort(screen->workWidth);
        height = toShort(screen->workHeight);
    });
}
