#pragma once
// The process's whole C locale set to a user's regional settings (German,
// Turkish...) for the life of the object, as a client program that calls
// setlocale(LC_ALL, "") on such a machine has it. The locale is made once per
// test program into a temporary folder by the system's locale tool (LOCPATH
// points there), so the test does not depend on the locales installed on the
// machine; Made() is false where the tool is missing.
#include "support/TempDir.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace vtest {

class UserLocale {
public:
    // `name` as the locale tool knows it: "de_DE", "tr_TR", "fr_FR".
    explicit UserLocale(const std::string& name) {
        const char* old = std::setlocale(LC_ALL, nullptr);
        m_old = old ? old : "C";
        const char* path = std::getenv("LOCPATH");
        m_hadLocPath = path != nullptr;
        if (path) m_locPath = path;
        const std::string folder = made(name);
        if (folder.empty()) return;
        setenv("LOCPATH", folders().path().c_str(), 1);
        m_made = std::setlocale(LC_ALL, (name + ".UTF-8").c_str()) != nullptr;
    }
    ~UserLocale() {
        std::setlocale(LC_ALL, m_old.c_str());
        if (m_hadLocPath)
            setenv("LOCPATH", m_locPath.c_str(), 1);
        else
            unsetenv("LOCPATH");
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    bool Made() const { return m_made; }

private:
    // The folder the locales are made in (UserLocale.cpp).
    static TempDir& folders();
    // The made locale's folder, or empty when it cannot be made.
    static std::string made(const std::string& name) {
        static std::map<std::string, std::string> done;
        auto it = done.find(name);
        if (it != done.end()) return it->second;
        const std::string target = folders().file(name + ".UTF-8");
        const std::string make = "localedef -i " + name + " -f UTF-8 '" + target + "' >/dev/null 2>&1";
        (void)std::system(make.c_str());
        const std::string result = std::filesystem::exists(target + "/LC_NUMERIC") ? target : std::string();
        done.emplace(name, result);
        return result;
    }

    std::string m_old;
    std::string m_locPath;
    bool m_hadLocPath = false;
    bool m_made = false;
};

} // namespace vtest

// Skips the test where the locale cannot be made here.
#define VTEST_USER_LOCALE(var, name)                                          \
    vtest::UserLocale var(name);                                              \
    if (!var.Made()) GTEST_SKIP() << "no " name " locale can be made here"
