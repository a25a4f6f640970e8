#pragma once
// COSInfo: the operating system, its folders, the display, the user and a few
// system switches. Every member asks the system afresh; none keeps state.
//
// On this system: the version numbers are the kernel's release numbers, the
// additional text is the distribution's name (os-release), the "Windows"
// directory is the folder of the installed system (/usr) and the system
// directory the folder of the system libraries; display figures come from the
// screen provider that the window layer installs (platform/Screen.h) and are 0
// without one. Switches this system does not have (the beep and screen-saver
// settings) read as off and are not changed.
//
// Each member catches its own failures: it shows a message box titled with
// the member's name ("Error: ", number, ". ", description) and returns 0,
// False or an empty text.
#include <cstdint>
#include <string>

class COSInfo {
public:
    // Platform identifiers of WindowsType.
    static constexpr long PlatformWin9x = 1;
    static constexpr long PlatformNT = 2;

    bool Beep();
    void SetBeep(bool value);
    std::string ComputerName();
    // Renaming the machine is not done by this program: reported as error 70.
    void SetComputerName(const std::string& name);
    std::string CurrentHardwareProfile();
    std::string DefaultCompanyName();
    std::string DefaultUserName();
    // 2 raised to (bits per pixel x colour planes); 4294967296 for 32 bits.
    std::int64_t DisplayColors();
    std::string GUID();
    bool LargeFonts();
    std::string OSAdditional();
    long OSBuild();
    long OSMajorVersion();
    long OSMinorVersion();
    bool ScreenSaverActive();
    void SetScreenSaverActive(bool value);
    long ScreenSaverTimeout();
    void SetScreenSaverTimeout(long seconds);
    std::string SystemDirectory();
    // The temporary folder, the first three characters of the prefix, "1",
    // ".TMP"; no file is created.
    std::string TempFile(const std::string& prefix);
    std::string TempPath();
    std::string UserName();
    std::string WindowsDirectory();
    // 2 (PlatformNT): this system belongs to the multi-user family.
    long WindowsType();
    // The screen's work area in pixels.
    void GetWorkArea(short& left, short& top, short& width, short& height);

    // The name of the system family for the report's type line ("Linux").
    std::string SystemName();

    // The text up to, not including, its first NUL character.
    static std::string TrimNulls(const std::string& text);
    // A GUID's text from its 16 bytes: "{", first field, "-", second, "-",
    // third, "-", the last eight bytes one after the other, "}"; upper-case
    // hexadecimal without leading zeros.
    static std::string FormatGUID(const unsigned char bytes[16]);
};
