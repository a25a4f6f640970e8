#pragma once
// CWinPos: saves a window's position, size and state in the registry store
// when it closes and puts them back when it opens, keeping it on the screen;
// also centres a window. All arithmetic is in twips against the screen size
// from platform::GetScreenInfo (pixels x 15).
//
// Stored format: one string value per window, named by the window's Name:
// "Left Top Width Height WindowState"; a window saved minimized or maximized
// is stored as "-1 -1 -1 -1 " and its state, and a -1 leaves that value alone
// when restoring. Such a window also stores where it goes back to when it is
// restored, "Left Top Width Height", in the value named Name + NormalSuffix;
// RestoreForm puts that back first, so that a window restarted maximized
// comes back to its own size when the user restores it. (Versions that know
// only the first value read it as before and ignore the second.)
//
// Errors inside RestoreForm, SaveForm, SetValue and ProductSettings are raised
// to the caller as a RunTimeError numbered ErrorNumber with the source
// "CWinPos" and a description naming the routine and the error caught.
#include <memory>
#include <string>

#include "util/CProgramSettings.h"
#include "util/IFormGeometry.h"

class CWinPos {
public:
    static constexpr long ErrorNumber = -2147220504; // object-error base + 1000
    // The text RestoreForm reads with, meaning that nothing is stored.
    static constexpr const char* NotFound = "~notfound";
    // Appended to the window's name for the value with its normal position.
    static constexpr const char* NormalSuffix = ".Normal";

    CWinPos();
    ~CWinPos();
    CWinPos(const CWinPos&) = delete;
    CWinPos& operator=(const CWinPos&) = delete;

    // True when a stored value was found and applied; False when none was
    // stored (the window is left unchanged).
    bool RestoreForm(IFormGeometry& form);
    void SaveForm(const IFormGeometry& form);
    // Top = (screen height - height) / 2, then Left = (screen width - width) / 2.
    void centerform(IFormGeometry& form);

    // The settings object that names the key (the owner sets RegBase,
    // MainBranch, Program and Section).
    CProgramSettings& ProductSettings();

    // The text SaveForm writes for a window.
    static std::string FormText(const IFormGeometry& form);
    // The text of its normal position: "Left Top Width Height".
    static std::string NormalText(const IFormGeometry& form);

private:
    void SetValue(IFormGeometry& form, int index, float value);
    [[noreturn]] static void RaiseError(const std::string& routine);

    std::unique_ptr<CProgramSettings> m_settings;
};
