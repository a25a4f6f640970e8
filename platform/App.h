#pragma once
// What the program knows about itself: title, executable, folder, version and
// help file. Process-wide; set once at start-up by the application.
#include <string>

namespace platform {

class App {
public:
    // The application's title; until set, the executable's name.
    static std::string Title();
    static void SetTitle(std::string title);

    // The executable's file name without folder (and without an extension).
    static std::string EXEName();
    // The folder of the executable, as the system gives it: no trailing
    // separator (except for the root folder "/").
    static std::string Path();
    // Full path of the running executable.
    static std::string ExecutablePath();

    static int Major();
    static int Minor();
    static int Revision();
    static void SetVersion(int major, int minor, int revision);

    static std::string HelpFile();
    static void SetHelpFile(std::string helpFile);

    // Tests and embedding programs may point the application folder elsewhere;
    // an empty text goes back to the executable's folder.
    static void SetPathOverride(std::string path);
};

} // namespace platform
