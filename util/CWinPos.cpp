#include "util/CWinPos.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "db/NumberText.h"
#include "errors/RunTimeError.h"
#include "platform/App.h"
#include "platform/Screen.h"

namespace {

// The screen size in twips; error 91 when no screen is known.
void screenTwips(double& width, double& height) {
    auto screen = platform::GetScreenInfo();
    if (!screen) throw RunTimeError(rterr::ObjectNotSet);
    width = static_cast<double>(screen->width) * platform::TwipsPerPixel;
    height = static_cast<double>(screen->height) * platform::TwipsPerPixel;
}

// The default text of a single-precision number: the shortest text that reads
// back as the same value.
std::string singleText(double value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<float>(value));
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

// The leading numeric part of a text (blanks, a sign, digits, a decimal
// point, an exponent); 0 when it starts with no number.
double leadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return 0;
    size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        size_t expDigits = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++expDigits;
        if (expDigits > 0) end = j;
    }
    return dao::StrToDoubleC(text.substr(start, end - start).c_str());
}

// A number as single precision; beyond its range an overflow.
float toSingle(double v) {
    if (!std::isfinite(v) || std::fabs(v) > FLT_MAX) throw RunTimeError(rterr::Overflow);
    return static_cast<float>(v);
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// The text before the first blank (all of it when there is none); `s` keeps
// the rest after that blank, trimmed.
std::string takeFirst(std::string& s) {
    const size_t blank = s.find(' ');
    if (blank == std::string::npos) return std::exchange(s, std::string());
    std::string taken = s.substr(0, blank);
    s = trim(s.substr(blank + 1));
    return taken;
}

} // namespace

CWinPos::CWinPos() {
    try {
        m_settings = std::make_unique<CProgramSettings>();
    } catch (...) {
        RaiseError("Sub Class_Initialize");
    }
}

CWinPos::~CWinPos() = default;

void CWinPos::RaiseError(const std::string& routine) {
    const ErrInfo caught = ErrFromCurrentException();
    throw RunTimeError(ErrorNumber,
                       platform::App::Title() + ": Error in " + routine + "\r\nClass: CWinPos\r\nNumber: " +
                           std::to_string(caught.Number) + "\r\n" + caught.Description,
                       "CWinPos");
}

CProgramSettings& CWinPos::ProductSettings() {
    try {
        if (!m_settings) throw RunTimeError(rterr::ObjectNotSet);
        return *m_settings;
    } catch (...) {
        RaiseError("Property Get ProductSettings");
    }
}

std::string CWinPos::FormText(const IFormGeometry& form) {
    const int state = form.WindowState();
    if (state == vbMinimized || state == vbMaximized) return "-1 -1 -1 -1 " + std::to_string(state);
    return singleText(form.Left()) + " " + singleText(form.Top()) + " " + singleText(form.Width()) + " " +
           singleText(form.Height()) + " " + std::to_string(state);
}

std::string CWinPos::NormalText(const IFormGeometry& form) {
    return singleText(form.NormalLeft()) + " " + singleText(form.NormalTop()) + " " + singleText(form.NormalWidth()) +
           " " + singleText(form.NormalHeight());
}

void CWinPos::SaveForm(const IFormGeometry& form) {
    try {
        ProductSettings().WriteEntry(form.Name(), FormText(form));
        const int state = form.WindowState();
        if ((state == vbMinimized || state == vbMaximized) && form.NormalWidth() > 0 && form.NormalHeight() > 0)
            ProductSettings().WriteEntry(form.Name() + NormalSuffix, NormalText(form));
    } catch (...) {
        RaiseError("Sub SaveForm");
    }
}

bool CWinPos::RestoreForm(IFormGeometry& form) {
    try {
        std::string s = ProductSettings().ReadEntry(form.Name(), NotFound);
        if (s == NotFound) return false;
        // Saved minimized or maximized: the normal position first, where one
        // was stored with it.
        if (s.rfind("-1 -1 -1 -1 ", 0) == 0) {
            std::string normal = ProductSettings().ReadEntry(form.Name() + NormalSuffix, NotFound);
            if (normal == NotFound) normal.clear();
            for (int i = 0; !normal.empty() && i < 4; ++i) SetValue(form, i, toSingle(leadingNumber(takeFirst(normal))));
        }
        for (int i = 0; !s.empty() && i < 5; ++i) SetValue(form, i, toSingle(leadingNumber(takeFirst(s))));
        return true;
    } catch (...) {
        RaiseError("Function RestoreForm");
    }
}

void CWinPos::SetValue(IFormGeometry& form, int index, float value) {
    try {
        double w = 0, h = 0;
        screenTwips(w, h);
        const double v = value;
        switch (index) {
        case 0:
            if (v == -1) break;
            form.SetLeft(v > w || v < 0 ? 0 : v);
            break;
        case 1:
            if (v == -1) break;
            form.SetTop(v > h || v < 0 ? 0 : v);
            break;
        case 2:
            if (v == -1) break;
            form.SetWidth(form.Left() + v > w ? w - form.Left() : v);
            break;
        case 3:
            if (v == -1) break;
            form.SetHeight(form.Top() + v > h ? h - form.Top() : v);
            break;
        case 4:
            // A window is never restored minimized.
            if (std::fabs(v) > 32767) throw RunTimeError(rterr::Overflow);
            form.SetWindowState(value == vbMinimized ? vbNormal : static_cast<int>(std::nearbyint(v)));
            break;
        default:
            break;
        }
    } catch (...) {
        RaiseError("Sub SetValue");
    }
}

void CWinPos::centerform(IFormGeometry& form) {
    double w = 0, h = 0;
    screenTwips(w, h);
    form.SetTop((h - form.Height()) / 2);
    form.SetLeft((w - form.Width()) / 2);
}
