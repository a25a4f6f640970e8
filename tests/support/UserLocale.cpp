#include "support/UserLocale.h"

namespace vtest {

TempDir& UserLocale::folders() {
    static TempDir dir;
    return dir;
}

} // namespace vtest

// With LOCPATH set, the C library keeps a copy of the path for good each
// time it loads a locale: in a build with the leak sanitizer that block is
// not the program's. (Defined here so that every test program that makes a
// locale links it.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}
