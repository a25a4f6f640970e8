#pragma once
// The small shared routines: the registry key strings, splitting a path,
// centring a form, the application folder, the free space of a drive and the
// version text of a file. Plain functions without state; they use no
// procedure stack and report their own failures in a message box titled with
// the routine's name.
#include <string>

#include "util/IFormGeometry.h"

// The program's registry key below the maker's key: "Varnello Demo\5.0".
std::string GetRegistryProgramKey();
// The product's registry key: "Varnello Demo".
std::string GetRegistryProductKey();

// The application's key strings, filled at start-up (and by the engine when
// still empty) from the two routines above.
extern std::string gstrRegProgramKey;
extern std::string gstrRegProductKey;

// Splits a path into drive ("C:"), folder (with its trailing separator), file
// (without extension) and extension (with its dot, 1 to 3 characters). Both
// "\" and "/" separate folders. Outputs that no step sets keep the value the
// caller passed. True when the path was split.
bool ParsePath(const std::string& path, std::string& drive, std::string& folder, std::string& file,
               std::string& extension);

// Moves the form to the middle of the screen (twips, fractions kept). Without
// a screen the form is left where it is.
void CenterForm(IFormGeometry& form);

// The application folder ending in exactly one "/".
std::string GetAppPath();

// Free bytes of the drive or folder available to this user, 0 when it cannot
// be examined.
double GetDiskFreeSpace(const std::string& path);

// The file's version: four numbers joined by "." or empty (see
// platform::FileVersion).
std::string GetFileVersion(const std::string& path);
