// Registry settings, with the registry store redirected into a temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "support/HookRecorder.h"
#include "util/CMRU.h"
#include "util/CProgramSettings.h"
#include "util/CWinPos.h"
#include "util/FormGeometry.h"

using namespace platform;

namespace {

struct PathCase {
    const char* mainBranch;
    const char* regBase;
    const char* program;
    const char* section;
    const char* expected;
};

TEST(CProgramSettingsPath, OnlyTheFinalBackslashIsRemoved) {
    const PathCase cases[] = {
        {"SOFTWARE", "ZUR", "", "Settings", "SOFTWARE\\ZUR\\\\Settings"},
        {"SOFTWARE", "ZUR", "Varnello Demo\\5.0", "", "SOFTWARE\\ZUR\\Varnello Demo\\5.0"},
        {"SOFTWARE", "ZUR", "", "", "SOFTWARE\\ZUR\\"}, // still ends in one backslash
        {"SOFTWARE", "ZUR", "Varnello Demo\\5.0", "Settings", "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings"},
        {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
    };
    for (const auto& c : cases) {
        CProgramSettings s;
        s.SetMainBranch(c.mainBranch);
        s.SetRegBase(c.regBase);
        s.SetProgram(c.program);
        s.SetSection(c.section);
        EXPECT_EQ(s.KeyPath(), c.expected);
    }
}

TEST(CProgramSettingsPath, Defaults) {
    CProgramSettings s;
    EXPECT_EQ(s.Section(), "Settings");
    EXPECT_EQ(s.Program(), "");
    EXPECT_EQ(s.RegBase(), "");
    EXPECT_EQ(s.MainBranch(), "SOFTWARE");
    EXPECT_EQ(s.RootKey(), HKEY_LOCAL_MACHINE);
}

class CProgramSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.SetRegBase("ZUR");
        settings.SetProgram("Varnello Demo\\5.0");
    }
    RegistryKey key() {
        return RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings", KEY_ALL_ACCESS);
    }

    vtest::RegistryRedirect reg;
    vtest::HookRecorder rec;
    CProgramSettings settings;
};

TEST_F(CProgramSettingsTest, WriteThenReadReturnsTheTextWithoutItsNul) {
    settings.WriteEntry("OutputTablePrefix", "tbl_");
    EXPECT_EQ(settings.ReadEntry("OutputTablePrefix", "x"), "tbl_");
    auto raw = key().QueryValue("OutputTablePrefix");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, REG_SZ);
    EXPECT_EQ(raw->data, std::string("tbl_\0", 5));
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(CProgramSettingsTest, WriteCreatesTheKeyAndItsParents) {
    settings.WriteEntry("SavePassword", "True");
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR"));
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo"));
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings"));
}

struct ReadCase {
    const char* name;
    RegValue stored;
    std::string expected;
};

TEST_F(CProgramSettingsTest, ReadEntryOfEachKindOfValue) {
    const ReadCase cases[] = {
        {"Empty", RegValue::String(""), "default"},
        {"Number", RegValue::DWord(42), "42"},
        {"Negative", RegValue::DWord(-7), "-7"},
        {"Zero", RegValue::DWord(0), "0"},
        {"Multi", RegValue::Raw(REG_MULTI_SZ, std::string("a\0b\0\0", 5)), "default"},
        {"Binary", RegValue::Raw(REG_BINARY, "abc"), "default"},
        {"NoNul", RegValue::Raw(REG_SZ, "whole"), "whole"},
        {"TwoNuls", RegValue::Raw(REG_SZ, std::string("ab\0\0", 4)), std::string("ab\0", 3)}, // only the last NUL goes
        {"Blank", RegValue::String(" "), " "},
    };
    RegistryKey k = key();
    for (const auto& c : cases) k.SetValue(c.name, c.stored);
    for (const auto& c : cases) EXPECT_EQ(settings.ReadEntry(c.name, "default"), c.expected) << c.name;
    EXPECT_EQ(settings.ReadEntry("Missing", "default"), "default");
    EXPECT_EQ(settings.ReadEntry("Missing"), "");
}

TEST_F(CProgramSettingsTest, ReadOfAMissingKeyGivesTheDefault) {
    settings.SetSection("Nothing Here");
    EXPECT_EQ(settings.ReadEntry("SavePassword", "True"), "True");
}

TEST_F(CProgramSettingsTest, SetKeyValueWritesNumbersAndIgnoresOtherTypes) {
    const std::string path = "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings";
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, path, "FromText", std::string(" 42 "), REG_DWORD);
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, path, "Rounded", std::string("2.5"), REG_DWORD);
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, path, "FromNumber", std::int32_t{-3}, REG_DWORD);
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, path, "Other", std::string("x"), REG_BINARY);
    RegistryKey k = key();
    EXPECT_EQ(k.QueryValue("FromText")->dword, 42);
    EXPECT_EQ(k.QueryValue("Rounded")->dword, 2); // half to even
    EXPECT_EQ(k.QueryValue("FromNumber")->dword, -3);
    EXPECT_FALSE(k.QueryValue("Other").has_value());
    EXPECT_TRUE(rec.messages.empty());
    auto v = CProgramSettings::GetKeyValue(HKEY_LOCAL_MACHINE, path, "FromNumber");
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(v));
    EXPECT_EQ(std::get<std::int32_t>(v), -3);
}

TEST_F(CProgramSettingsTest, SetKeyValueOfANonNumberReportsTypeMismatch) {
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, "K", "V", std::string("abc"), REG_DWORD);
    CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, "K", "W", std::string("99999999999"), REG_DWORD);
    ASSERT_EQ(rec.messages.size(), 2u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 13. Type mismatch");
    EXPECT_EQ(rec.messages[0].title, "SetKeyValue");
    EXPECT_EQ(rec.messages[0].buttons, 0);
    EXPECT_EQ(rec.messages[1].prompt, "Error: 6. Overflow");
}

TEST_F(CProgramSettingsTest, RootKeyChoosesTheHive) {
    settings.SetRootKey(HKEY_CURRENT_USER);
    settings.WriteEntry("Where", "user");
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings"));
    EXPECT_FALSE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings"));
    EXPECT_EQ(settings.ReadEntry("Where", ""), "user");
}

TEST_F(CProgramSettingsTest, AFailedWriteIsSilent) {
    ::chmod(reg.dir.path().c_str(), 0755);
    settings.WriteEntry("Kept", "yes");
    vtest::MakeReadOnlyForOthers(reg.dir.path().string(), reg.path);
    const std::string path = reg.path;
    const int result = vtest::RunUnprivileged([&] {
        vtest::HookRecorder childRec;
        CProgramSettings s;
        s.SetRegBase("ZUR");
        s.SetProgram("Varnello Demo\\5.0");
        s.WriteEntry("New", "value");
        if (!childRec.messages.empty()) return 1;
        return s.ReadEntry("New", "none") == "none" ? 0 : 2;
    });
    ::chmod(reg.dir.path().c_str(), 0700);
    ::chmod(reg.path.c_str(), 0600);
    EXPECT_EQ(result, 0);
}

// Reading a setting must not need the right to change it: a user who may
// read but not write the store gets the stored values, not the defaults.
TEST_F(CProgramSettingsTest, RegistryReadsOpenTheKeyWithWriteAccessSoAUserWithoutWriteRightsSilentlyGetsTheDefaults) {
    ::chmod(reg.dir.path().c_str(), 0755);
    settings.WriteEntry("SavePassword", "False");
    settings.WriteEntry("OutputTablePrefix", "res_");
    vtest::MakeReadOnlyForOthers(reg.dir.path().string(), reg.path);
    const int result = vtest::RunUnprivileged([] {
        CProgramSettings s;
        s.SetRegBase("ZUR");
        s.SetProgram("Varnello Demo\\5.0");
        if (s.ReadEntry("SavePassword", "True") != "False") return 1;
        if (s.ReadEntry("OutputTablePrefix", "") != "res_") return 2;
        return 0;
    });
    ::chmod(reg.dir.path().c_str(), 0700);
    ::chmod(reg.path.c_str(), 0600);
    EXPECT_EQ(result, 0);
}

// The program's own writers of settings on a store the user may write but
// not read: an option, a window's position when it closes, the recent
// databases when one is opened or the list is cleared. Each one replaced the
// store with the values it wrote, and the user's other settings were gone.
TEST_F(CProgramSettingsTest, TheProgramsWritersReplacedAStoreThatCouldNotBeReadWithTheirOwnValues) {
    settings.WriteEntry("OutputTablePrefix", "mine_");
    settings.WriteEntry("MRU1", "/data/a.db");
    const std::string before = vtest::ReadFileBytes(reg.path);
    ASSERT_NE(before.find("mine_"), std::string::npos);
    struct Writer {
        const char* name;
        std::function<void()> write; // run as a user who may write but not read the store
    };
    const Writer writers[] = {
        {"WriteEntry", [] {
             CProgramSettings s;
             s.SetRegBase("ZUR");
             s.SetProgram("Varnello Demo\\5.0");
             s.WriteEntry("SavePassword", "True");
         }},
        {"SaveForm", [] {
             CWinPos pos;
             pos.ProductSettings().SetRegBase("ZUR");
             pos.ProductSettings().SetProgram("Varnello Demo\\5.0");
             pos.ProductSettings().SetSection("Form Position");
             pos.SaveForm(vtest::PlainForm("MDIMain", 1200, 900, 6000, 4000));
         }},
        {"SetMRUList", [] {
             CMRU mru;
             mru.SetRegistryPath("SOFTWARE\\ZUR\\Varnello Demo\\5.0");
             mru.SetSubFolder("Settings");
             mru.SetMRUList("/data/b.db", CMRU::MakeTag("", "admin", ""));
         }},
        {"SetMRUList clearing the list", [] {
             CMRU mru;
             mru.SetRegistryPath("SOFTWARE\\ZUR\\Varnello Demo\\5.0");
             mru.SetSubFolder("Settings");
             mru.SetMRUList("", "");
         }},
    };
    ::chmod(reg.dir.path().c_str(), 0777);
    ::chmod((reg.path + ".lock").c_str(), 0666); // the lock is the user's to take
    for (const Writer& writer : writers) {
        { std::ofstream(reg.path, std::ios::binary | std::ios::trunc) << before; }
        ::chmod(reg.path.c_str(), 0222); // anyone may write, no one but root may read
        const int result = vtest::RunUnprivileged([&] {
            writer.write();
            return 0;
        });
        ::chmod(reg.path.c_str(), 0600);
        EXPECT_EQ(result, 0) << writer.name;
        EXPECT_EQ(vtest::ReadFileBytes(reg.path), before) << writer.name;
    }
    ::chmod(reg.dir.path().c_str(), 0700);
}

} // namespace
