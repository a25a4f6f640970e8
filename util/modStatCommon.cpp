#include "util/modStatCommon.h"

#include "errors/RunTimeError.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "platform/SystemInfo.h"

std::string gstrRegProgramKey;
std::string gstrRegProductKey;

namespace {
const char* const kProductName = "Varnello";

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The number of characters in text from byte position from on: a character
// of two to four bytes (UTF-8) counts once.
size_t charactersFrom(const std::string& text, size_t from) {
    size_t n = 0;
    for (size_t i = from; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
    return n;
}
} // namespace

std::string GetRegistryProgramKey() { return std::string(kProductName) + " Demo\\" + "5.0"; }

std::string GetRegistryProductKey() { return std::string(kProductName) + " Demo"; }

bool ParsePath(const std::string& path, std::string& drive, std::string& folder, std::string& file,
               std::string& extension) {
    try {
        std::string copy = path;
        if (copy.size() >= 2 && copy[1] == ':') {
            drive = copy.substr(0, 2);
            copy.erase(0, 2);
        }
        // Walk from the last character back to the first; the end position is
        // fixed before the walk, and positions past a cut copy hold nothing.
        bool stopped = false;
        for (size_t i = copy.size(); i >= 1 && !stopped; --i) {
            if (i > copy.size()) continue;
            const char c = copy[i - 1];
            const size_t after = charactersFrom(copy, i); // characters after position i
            if (c == '.') {
                if (after >= 1 && after <= 3) extension = copy.substr(i - 1);
                copy.erase(i - 1);
            } else if (isSeparator(c) && after >= 1 && after <= 8) {
                file = copy.substr(i);
                copy.erase(i);
                folder = copy;
                stopped = true;
            }
        }
        if (!stopped) file = copy;
        return true;
    } catch (...) {
        ShowRoutineError("ParsePath");
        return false;
    }
}

void CenterForm(IFormGeometry& form) {
    auto screen = platform::GetScreenInfo();
    if (!screen) return;
    const double w = static_cast<double>(screen->width) * platform::TwipsPerPixel;
    const double h = static_cast<double>(screen->height) * platform::TwipsPerPixel;
    form.SetTop((h - form.Height()) / 2);
    form.SetLeft((w - form.Width()) / 2);
}

std::string GetAppPath() {
    std::string path;
    try {
        path = platform::App::Path();
        if (!path.empty() && path.back() == '/') return path;
        path += "/";
        return path;
    } catch (...) {
        const ErrInfo e = ErrFromCurrentException();
        MsgBox("Error: " + std::to_string(e.Number) + ", " + e.Description, vbOKOnly, "GetAppPath_Err");
        MsgBox("apppath: " + path, vbOKOnly, platform::App::Title());
        return {};
    }
}

double GetDiskFreeSpace(const std::string& path) { return platform::DiskFreeBytes(path); }

std::string GetFileVersion(const std::string& path) {
    try {
        return platform::FileVersion(path);
    } catch (...) {
        ShowRoutineError("GetFileVersion");
        return {};
    }
}
