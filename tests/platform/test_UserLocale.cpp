// The settings file under a user's regional settings: a client program that
// made the user's locale the global one of C++ as well
// (std::locale::global), where German groups digits in threes with ".".
#include <gtest/gtest.h>

#include <locale>

#include "platform/RegistryStore.h"
#include "support/HookRecorder.h"
#include "support/UserLocale.h"

using namespace platform;

namespace {

// The file was written through a stream that took the global locale, so the
// number 1234567 was stored as "1.234.567", which the file's reader skips:
// the value was lost. Numbers below 1000 (no separator) were not touched.
TEST(UserLocale, NumbersInTheSettingsFileSurviveAGlobalLocaleThatGroupsDigits) {
    VTEST_USER_LOCALE(german, "de_DE");
    struct Global {
        std::locale old = std::locale::global(std::locale("de_DE.UTF-8"));
        ~Global() { std::locale::global(old); }
    } global;
    vtest::RegistryRedirect reg;
    const std::string path = "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings";
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS);
    ASSERT_TRUE(key.IsOpen());
    const std::int32_t numbers[] = {1234567, -2000, 999, 2147483647};
    for (std::int32_t n : numbers) EXPECT_TRUE(key.SetDWord("N" + std::to_string(n), n));
    EXPECT_TRUE(key.SetString("Prefix", "out_"));
    key.Close();

    // Read back from the file as the next start of the program reads it.
    RegistryKey read = RegistryKey::Open(HKEY_LOCAL_MACHINE, path, KEY_READ);
    ASSERT_TRUE(read.IsOpen());
    for (std::int32_t n : numbers) {
        SCOPED_TRACE(n);
        auto v = read.QueryValue("N" + std::to_string(n));
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->dword, n);
    }
    EXPECT_TRUE(read.QueryValue("Prefix").has_value());
}

} // namespace
