// The file-backed registry store, on real files in a temporary folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/HookRecorder.h"
#include "support/TempDir.h"
#include "platform/RegistryStore.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    vtest::RegistryRedirect reg;
};

TEST_F(RegistryStoreTest, StringAndNumberValuesRoundTrip) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings", KEY_ALL_ACCESS);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.SetString("OutputTablePrefix", "out_"));
    EXPECT_TRUE(key.SetDWord("Count", -42));

    RegistryKey read = RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings", KEY_READ);
    ASSERT_TRUE(read.IsOpen());
    auto s = read.QueryValue("OutputTablePrefix");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->type, REG_SZ);
    EXPECT_EQ(s->data, std::string("out_\0", 5)); // stored with its terminating NUL
    auto n = read.QueryValue("Count");
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->type, REG_DWORD);
    EXPECT_EQ(n->dword, -42);
    EXPECT_FALSE(read.QueryValue("Missing").has_value());
}

TEST_F(RegistryStoreTest, KeysAndValueNamesIgnoreLetterCase) {
    RegistryKey::Create(HKEY_CURRENT_USER, "Software\\Maker\\Prog", KEY_ALL_ACCESS).SetString("Name", "first");
    RegistryKey other = RegistryKey::Open(HKEY_CURRENT_USER, "SOFTWARE\\MAKER\\prog", KEY_ALL_ACCESS);
    ASSERT_TRUE(other.IsOpen());
    EXPECT_EQ(other.QueryValue("NAME")->data, std::string("first\0", 6));
    other.SetString("nAmE", "second");
    auto names = other.ValueNames();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], "Name"); // the first spelling stays
    EXPECT_EQ(other.QueryValue("name")->data, std::string("second\0", 7));
}

TEST_F(RegistryStoreTest, HivesAreSeparate) {
    RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", KEY_ALL_ACCESS).SetString("V", "machine");
    EXPECT_FALSE(RegistryStore::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\X"));
    EXPECT_FALSE(RegistryKey::Open(HKEY_CURRENT_USER, "SOFTWARE\\X", KEY_READ).IsOpen());
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "software\\x"));
}

TEST_F(RegistryStoreTest, CreateMakesEveryMissingParent) {
    ASSERT_TRUE(RegistryKey::Create(HKEY_LOCAL_MACHINE, "A\\B\\C", KEY_ALL_ACCESS).IsOpen());
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "A"));
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "A\\B"));
    auto subkeys = RegistryKey::Open(HKEY_LOCAL_MACHINE, "A", KEY_READ).SubKeyNames();
    ASSERT_EQ(subkeys.size(), 1u);
    EXPECT_EQ(subkeys[0], "B");
}

TEST_F(RegistryStoreTest, OpenOfAMissingKeyGivesAClosedKey) {
    EXPECT_FALSE(RegistryKey::Open(HKEY_LOCAL_MACHINE, "Nowhere", KEY_READ).IsOpen());
    EXPECT_FALSE(RegistryKey::Open(0x1234, "", KEY_READ).IsOpen()); // no such hive
    EXPECT_FALSE(fs::exists(reg.path));                           // reading writes nothing
}

TEST_F(RegistryStoreTest, AnyTextRoundTripsThroughTheFile) {
    const std::string texts[] = {
        "plain", "", "with = sign", "quote \" and [brackets]", "percent %41 stays", "line\r\nbreak",
        std::string("inner\0nul", 9), "tab\there", "trailing blank ", " leading blank", "é ü UTF-8",
    };
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "Texts", KEY_ALL_ACCESS);
    int i = 0;
    for (const auto& t : texts) {
        key.SetValue("v" + std::to_string(i), RegValue::Raw(REG_SZ, t));
        key.SetValue(t.empty() ? "(empty)" : t, RegValue::Raw(REG_BINARY, t)); // as a name too
        ++i;
    }
    i = 0;
    for (const auto& t : texts) {
        auto v = key.QueryValue("v" + std::to_string(i));
        ASSERT_TRUE(v.has_value()) << i;
        EXPECT_EQ(v->data, t) << i;
        auto b = key.QueryValue(t.empty() ? "(empty)" : t);
        ASSERT_TRUE(b.has_value()) << i;
        EXPECT_EQ(b->type, REG_BINARY);
        EXPECT_EQ(b->data, t) << i;
        ++i;
    }
}

TEST_F(RegistryStoreTest, OtherValueTypesKeepTheirTypeNumber) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "Types", KEY_ALL_ACCESS);
    key.SetValue("multi", RegValue::Raw(REG_MULTI_SZ, std::string("a\0b\0\0", 5)));
    key.SetValue("odd", RegValue::Raw(11, "x"));
    EXPECT_EQ(key.QueryValue("multi")->type, REG_MULTI_SZ);
    EXPECT_EQ(key.QueryValue("multi")->data, std::string("a\0b\0\0", 5));
    EXPECT_EQ(key.QueryValue("odd")->type, 11u);
}

TEST_F(RegistryStoreTest, DeleteValueAndDeleteKey) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "D\\E", KEY_ALL_ACCESS);
    key.SetString("a", "1");
    key.SetString("b", "2");
    EXPECT_TRUE(key.DeleteValue("A"));
    EXPECT_FALSE(key.QueryValue("a").has_value());
    EXPECT_TRUE(key.QueryValue("b").has_value());
    EXPECT_TRUE(RegistryStore::DeleteKey(HKEY_LOCAL_MACHINE, "D"));
    EXPECT_FALSE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, "D\\E"));
}

TEST_F(RegistryStoreTest, WriteReplacesTheFileAtomically) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "Atomic", KEY_ALL_ACCESS);
    key.SetString("a", "one");
    // A reader that opened the store before the write ...
    std::ifstream reader(reg.path, std::ios::binary);
    ASSERT_TRUE(reader.is_open());
    struct stat before {};
    ASSERT_EQ(::stat(reg.path.c_str(), &before), 0);

    key.SetString("b", "two");

    struct stat after {};
    ASSERT_EQ(::stat(reg.path.c_str(), &after), 0);
    // ... a new file was renamed over the old one ...
    EXPECT_NE(before.st_ino, after.st_ino);
    // ... so the reader sees the old store whole, never half of the new one.
    std::stringstream old;
    old << reader.rdbuf();
    EXPECT_NE(old.str().find("\"a\"=sz:one%00"), std::string::npos) << old.str();
    EXPECT_EQ(old.str().find("\"b\""), std::string::npos);
    // The new store has both, and no temporary file is left behind.
    EXPECT_NE(vtest::ReadFileBytes(reg.path).find("\"b\"=sz:two%00"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(reg.dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    // Settings are the user's own: the file is readable by its owner only.
    EXPECT_EQ(after.st_mode & 0777, 0600u);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
    RegistryKey::Create(HKEY_LOCAL_MACHINE, "Shared", KEY_ALL_ACCESS);
    constexpr int kWriters = 4, kValues = 15;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, "Shared", KEY_ALL_ACCESS);
            for (int v = 0; v < kValues; ++v) key.SetDWord("w" + std::to_string(w) + "v" + std::to_string(v), v);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(RegistryKey::Open(HKEY_LOCAL_MACHINE, "Shared", KEY_READ).ValueNames().size(),
              static_cast<size_t>(kWriters * kValues));
}

// A program killed while it writes the store (here by the file-size limit,
// half-way through the new file) leaves its new file unfinished beside the
// store. Each was named after its process and nothing ever removed it: every
// such kill added a copy of the settings, saved passwords included, for good.
TEST_F(RegistryStoreTest, WritersKilledHalfWayLeaveNoPileOfUnfinishedFiles) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "Killed", KEY_ALL_ACCESS);
    key.SetString("kept", "before");
    const std::string big(64 * 1024, 'x');
    for (int k = 0; k < 5; ++k) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_DFL);
            const struct rlimit limit = {16 * 1024, 16 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            RegistryKey::Open(HKEY_LOCAL_MACHINE, "Killed", KEY_ALL_ACCESS).SetString("big", big);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "writer " << k << " was not stopped";
    }
    auto unfinished = [&] {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(reg.dir.path()))
            if (entry.path().filename().string().find(".tmp") != std::string::npos) ++n;
        return n;
    };
    EXPECT_LE(unfinished(), 1);
    // The store is as it was, and the next write leaves nothing beside it.
    RegistryKey read = RegistryKey::Open(HKEY_LOCAL_MACHINE, "Killed", KEY_ALL_ACCESS);
    EXPECT_EQ(read.ValueNames(), std::vector<std::string>{"kept"});
    read.SetString("after", "one");
    EXPECT_EQ(unfinished(), 0);
    EXPECT_EQ(RegistryKey::Open(HKEY_LOCAL_MACHINE, "Killed", KEY_READ).ValueNames().size(), 2u);
}

TEST_F(RegistryStoreTest, LinesThatDoNotParseAreSkipped) {
    {
        std::ofstream out(reg.path);
        out << "; comment\n[HKEY_LOCAL_MACHINE\\K]\n\"good\"=sz:yes\ngarbage line\n\"bad\"=nonsense:1\n"
               "\"num\"=dword:12x\n[broken\n\"orphan\"=sz:lost\n";
    }
    RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, "K", KEY_READ);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(key.QueryValue("good")->data, "yes");
    EXPECT_EQ(key.ValueNames().size(), 1u);
}

// A key opened for reading must not need write access: a user who may read
// but not write the store still gets the stored values, not the defaults.
TEST_F(RegistryStoreTest, RegistryReadsOpenTheKeyWithWriteAccessSoAUserWithoutWriteRightsSilentlyGetsTheDefaults) {
    RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR", KEY_ALL_ACCESS).SetString("SavePassword", "False");
    ::chmod(reg.dir.path().c_str(), 0755);
    vtest::MakeReadOnlyForOthers(reg.dir.path().string(), reg.path);
    const int result = vtest::RunUnprivileged([] {
        if (RegistryStore::Writable()) return 1;
        // Asking for write access fails, as it should ...
        if (RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR", KEY_ALL_ACCESS).IsOpen()) return 2;
        // ... while reading works.
        RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR", KEY_QUERY_VALUE);
        if (!key.IsOpen()) return 3;
        auto v = key.QueryValue("SavePassword");
        if (!v || v->data != std::string("False\0", 6)) return 4;
        // A write fails without touching the file.
        if (RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\New", KEY_WRITE).IsOpen()) return 5;
        return 0;
    });
    ::chmod(reg.dir.path().c_str(), 0700);
    ::chmod(reg.path.c_str(), 0600);
    EXPECT_EQ(result, 0);
}

// A store the user may write but not read (a file made write-only by hand,
// or by another program) holds settings this process cannot see. A write
// must not replace it with the values of this one write: every road to a
// write leaves the file as it was, and says that it stored nothing.
TEST_F(RegistryStoreTest, AWriteToAStoreThatCannotBeReadReplacedItWithTheValuesOfThatWriteAlone) {
    const std::string before =
        "; Varnello registry store\n"
        "[HKEY_LOCAL_MACHINE]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings]\n"
        "\"OutputTablePrefix\"=sz:mine_%00\n"
        "\"MRU1\"=sz:/data/a.db%00\n";
    const std::string keyPath = "SOFTWARE\\ZUR\\Settings";
    struct Road {
        const char* name;
        // Run as a user who may write but not read the file, with the key
        // opened while the file could still be read (a key holds nothing open).
        std::function<bool(const RegistryKey& opened)> write;
    };
    const Road roads[] = {
        {"SetString", [](const RegistryKey& k) { return k.SetString("SavePassword", "True"); }},
        {"SetValues",
         [](const RegistryKey& k) {
             return k.SetValues({{"MRU1", RegValue::String("/data/b.db")}, {"MRUTAG1", RegValue::String("")}});
         }},
        {"ChangeValues",
         [](const RegistryKey& k) {
             return k.ChangeValues([](const RegistryKey::Values&) {
                 return RegistryKey::Values{{"MRU1", RegValue::String("/data/c.db")}};
             });
         }},
        {"DeleteValue", [](const RegistryKey& k) { return k.DeleteValue("MRU1"); }},
        {"Create of a new key",
         [](const RegistryKey&) {
             return RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Form Position", KEY_WRITE).IsOpen();
         }},
        {"DeleteKey", [](const RegistryKey&) { return RegistryStore::DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR"); }},
    };
    ::chmod(reg.dir.path().c_str(), 0777);
    for (const Road& road : roads) {
        { std::ofstream(reg.path, std::ios::binary | std::ios::trunc) << before; }
        const RegistryKey opened = RegistryKey::Open(HKEY_LOCAL_MACHINE, keyPath, KEY_ALL_ACCESS);
        ASSERT_TRUE(opened.IsOpen()) << road.name;
        ::chmod(reg.path.c_str(), 0222); // anyone may write, no one but root may read
        struct stat made {};
        ASSERT_EQ(::stat(reg.path.c_str(), &made), 0) << road.name;
        const int result = vtest::RunUnprivileged([&] {
            if (RegistryKey::Open(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE).IsOpen()) return 10; // cannot be read
            return road.write(opened) ? 1 : 0;
        });
        // The very file, not a copy renamed over it, still unreadable to the user.
        struct stat after {};
        ASSERT_EQ(::stat(reg.path.c_str(), &after), 0) << road.name;
        EXPECT_EQ(after.st_ino, made.st_ino) << road.name;
        EXPECT_EQ(after.st_mode & 0777, 0222u) << road.name;
        ::chmod(reg.path.c_str(), 0600);
        EXPECT_EQ(result, 0) << road.name << ": the write reported success although nothing could be kept";
        EXPECT_EQ(vtest::ReadFileBytes(reg.path), before) << road.name;
    }
    ::chmod(reg.dir.path().c_str(), 0700);
}

// Lines the store does not read (the user's comments, a hand-edited line,
// values of a type or form another version writes, a section header cut
// short, a line cut off by a crash) are the user's data too: a write keeps
// each of them, where it stood. Each row gives the file before, one write,
// and the whole file expected after it.
TEST_F(RegistryStoreTest, AWriteDroppedEveryLineOfTheFileItCouldNotParse) {
    const std::string settingsHeaders = "[HKEY_LOCAL_MACHINE]\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR]\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings]\n";
    const std::string settings = "SOFTWARE\\ZUR\\Settings";
    auto setSavePassword = [&] {
        return RegistryKey::Create(HKEY_LOCAL_MACHINE, settings, KEY_ALL_ACCESS).SetString("SavePassword", "True");
    };
    const std::string savePasswordLine = "\"SavePassword\"=sz:True%00\n";
    struct Row {
        const char* name;
        std::string before;
        std::function<bool()> write;
        std::string after;
    };
    const Row rows[] = {
        {"comments, a blank line and a hand-edited line inside a section",
         "; Varnello registry store\n; my own note\n" + settingsHeaders +
             "\"OutputTablePrefix\"=sz:mine_%00\n; prefix set by hand\nnot a value at all\n\n\"MRU1\"=sz:/data/a.db%00\n",
         setSavePassword,
         "; Varnello registry store\n; my own note\n" + settingsHeaders +
             "\"OutputTablePrefix\"=sz:mine_%00\n; prefix set by hand\nnot a value at all\n\n\"MRU1\"=sz:/data/a.db%00\n" +
             savePasswordLine},
        {"values of a type or a form another version writes",
         "; Varnello registry store\n" + settingsHeaders +
             "\"Colour\"=rgb:255,0,0\n\"Big\"=dword:99999999999\n\"Name\"=\"regedit style\"\n"
             "  \"Indented\"=sz:x\n\"Count\"=dword:7\n",
         setSavePassword,
         "; Varnello registry store\n" + settingsHeaders +
             "\"Colour\"=rgb:255,0,0\n\"Big\"=dword:99999999999\n\"Name\"=\"regedit style\"\n"
             "  \"Indented\"=sz:x\n\"Count\"=dword:7\n" + savePasswordLine},
        {"a section header cut short, with the values under it",
         "; Varnello registry store\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n" +
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings2\n\"Kept\"=sz:1\n",
         setSavePassword,
         "; Varnello registry store\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n" + savePasswordLine +
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings2\n\"Kept\"=sz:1\n"},
        {"lines before the first section, in a file another program began",
         "\"Orphan\"=sz:x\n# a note in another style\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n",
         setSavePassword,
         "; Varnello registry store\n\"Orphan\"=sz:x\n# a note in another style\n" + settingsHeaders +
             "\"MRU1\"=sz:/data/a.db%00\n" + savePasswordLine},
        {"a last line cut off by a crash",
         "; Varnello registry store\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n\"MRUTAG1\"=s",
         setSavePassword,
         "; Varnello registry store\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n\"MRUTAG1\"=s\n" +
             savePasswordLine},
        {"a new key written beside a section holding a comment",
         "; Varnello registry store\n" + settingsHeaders + "; keep me\n\"MRU1\"=sz:/data/a.db%00\n",
         [] { return RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Form Position", KEY_WRITE).IsOpen(); },
         "; Varnello registry store\n[HKEY_LOCAL_MACHINE]\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Form Position]\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings]\n; keep me\n\"MRU1\"=sz:/data/a.db%00\n"},
        {"a new key in a file whose sections are not in the order of their names",
         "; Varnello registry store\n[HKEY_LOCAL_MACHINE]\n; machine settings\n[hkey_current_user]\n"
         "[hkey_current_user\\software]\n",
         [] { return RegistryKey::Create(HKEY_CURRENT_USER, "Software\\ZUR", KEY_WRITE).IsOpen(); },
         // After its parent: the parents' headings come first and keep their spelling.
         "; Varnello registry store\n[HKEY_LOCAL_MACHINE]\n; machine settings\n[hkey_current_user]\n"
         "[hkey_current_user\\software]\n[HKEY_CURRENT_USER\\Software\\ZUR]\n"},
        {"a value deleted between two comments",
         "; Varnello registry store\n" + settingsHeaders +
             "; first\n\"MRU1\"=sz:/data/a.db%00\n; second\n\"MRU2\"=sz:/data/b.db%00\n; third\n",
         [&] { return RegistryKey::Open(HKEY_LOCAL_MACHINE, settings, KEY_ALL_ACCESS).DeleteValue("MRU1"); },
         "; Varnello registry store\n" + settingsHeaders + "; first\n; second\n\"MRU2\"=sz:/data/b.db%00\n; third\n"},
        {"the list of recent databases changed under a comment",
         "; Varnello registry store\n" + settingsHeaders + "\"MRU1\"=sz:/data/a.db%00\n; end of list\n",
         [&] {
             return RegistryKey::Open(HKEY_LOCAL_MACHINE, settings, KEY_ALL_ACCESS)
                 .ChangeValues([](const RegistryKey::Values&) {
                     return RegistryKey::Values{{"MRU1", RegValue::String("/data/b.db")},
                                                {"MRU2", RegValue::String("/data/a.db")}};
                 });
         },
         "; Varnello registry store\n" + settingsHeaders +
             "\"MRU1\"=sz:/data/b.db%00\n; end of list\n\"MRU2\"=sz:/data/a.db%00\n"},
    };
    for (const Row& row : rows) {
        { std::ofstream(reg.path, std::ios::binary | std::ios::trunc) << row.before; }
        EXPECT_TRUE(row.write()) << row.name;
        EXPECT_EQ(vtest::ReadFileBytes(reg.path), row.after) << row.name;
    }
}

// A user who keeps the settings elsewhere (with other configuration files)
// and links registry.ini to them expects the program's writes to land there.
// A write renamed its new file over the link instead: the link was gone, the
// kept file no longer changed, and a link to a file not made yet was
// replaced by a file of this write alone.
TEST_F(RegistryStoreTest, AWriteReplacedALinkedStoreWithAFileOfItsOwn) {
    const std::string heading = "; Varnello registry store\n[HKEY_LOCAL_MACHINE]\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR]\n";
    struct Row {
        const char* name;
        const char* target; // the link's text, relative to the store's folder or whole
        bool targetMade;    // whether the file it names is there before the write
    };
    const Row rows[] = {
        {"a link to a file in another folder", "kept/settings.ini", true},
        {"a link to a file not made yet", "kept/new.ini", false},
        {"a link to a link", "kept/link.ini", true},
    };
    fs::create_directories(reg.dir.path() / "kept");
    for (const Row& row : rows) {
        const fs::path target = reg.dir.path() / "kept" / "settings.ini";
        fs::remove(target);
        fs::remove(reg.dir.path() / "kept" / "new.ini");
        fs::remove(reg.dir.path() / "kept" / "link.ini");
        fs::remove(reg.path);
        fs::path finalTarget = reg.dir.path() / row.target;
        if (row.targetMade) {
            { std::ofstream(target, std::ios::binary) << heading << "\"Other\"=sz:mine%00\n"; }
            ::chmod(target.c_str(), 0640);
            finalTarget = target;
        }
        if (std::string(row.target) == "kept/link.ini") fs::create_symlink("settings.ini", reg.dir.path() / row.target);
        fs::create_symlink(row.target, reg.path);

        EXPECT_TRUE(RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR", KEY_ALL_ACCESS).SetString("New", "x"))
            << row.name;

        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(reg.path, ec).string(), row.target) << row.name << ": the link is gone";
        const std::string expected =
            row.targetMade ? heading + "\"Other\"=sz:mine%00\n\"New\"=sz:x%00\n" : heading + "\"New\"=sz:x%00\n";
        EXPECT_EQ(vtest::ReadFileBytes(finalTarget.string()), expected) << row.name;
        struct stat st {};
        ASSERT_EQ(::stat(finalTarget.c_str(), &st), 0) << row.name;
        EXPECT_EQ(st.st_mode & 0777, row.targetMade ? 0640u : 0600u) << row.name;
        for (const auto& entry : fs::directory_iterator(reg.dir.path() / "kept"))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

// Editors that save UTF-8 with a byte-order mark put three bytes (EF BB BF)
// before the first line. The store then read no section heading on that
// line: the settings under it were not seen (the defaults came back) and a
// write put a second section for the same key after them.
TEST_F(RegistryStoreTest, AStoreSavedWithAByteOrderMarkLostItsFirstSection) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string settings = "[HKEY_LOCAL_MACHINE]\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR]\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings]\n\"OutputTablePrefix\"=sz:mine_%00\n";
    struct Row {
        const char* name;
        std::string before;
        std::string after; // once "SavePassword" is written
    };
    const Row rows[] = {
        {"the mark before the first section",
         bom + settings,
         bom + "; Varnello registry store\n" + settings + "\"SavePassword\"=sz:True%00\n"},
        {"the mark before the heading line this store writes",
         bom + "; Varnello registry store\n" + settings,
         bom + "; Varnello registry store\n" + settings + "\"SavePassword\"=sz:True%00\n"},
    };
    for (const Row& row : rows) {
        { std::ofstream(reg.path, std::ios::binary | std::ios::trunc) << row.before; }
        RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Settings", KEY_ALL_ACCESS);
        ASSERT_TRUE(key.IsOpen()) << row.name;
        auto prefix = key.QueryValue("OutputTablePrefix");
        ASSERT_TRUE(prefix.has_value()) << row.name;
        EXPECT_EQ(prefix->data, std::string("mine_\0", 6)) << row.name;
        EXPECT_TRUE(key.SetString("SavePassword", "True")) << row.name;
        EXPECT_EQ(vtest::ReadFileBytes(reg.path), row.after) << row.name;
    }
}

// A store an editor saved in UTF-16 or UTF-32 (with the byte-order mark
// those editors write) is in an encoding the store does not read: its
// settings are not seen. A write then put a UTF-8 heading in front of the
// wide text and UTF-8 sections after it, a file no editor reads any longer.
// Such a file is left as it is, and the write says it stored nothing.
TEST_F(RegistryStoreTest, AWriteToAStoreInAWideEncodingMixedItsOwnTextIntoTheFile) {
    const std::string text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZUR\\Settings]\r\n\"OutputTablePrefix\"=sz:mine_\r\n";
    auto wide = [&](const std::string& mark, int width, bool bigEndian) {
        std::string out = mark;
        for (char c : text) { // the text is ASCII: each character one code unit
            std::string unit(static_cast<size_t>(width), '\0');
            unit[bigEndian ? unit.size() - 1 : 0] = c;
            out += unit;
        }
        return out;
    };
    struct Row {
        const char* name;
        std::string before;
    };
    const Row rows[] = {
        {"UTF-16, little-endian", wide("\xFF\xFE", 2, false)},
        {"UTF-16, big-endian", wide("\xFE\xFF", 2, true)},
        {"UTF-32, little-endian", wide(std::string("\xFF\xFE\0\0", 4), 4, false)},
        {"UTF-32, big-endian", wide(std::string("\0\0\xFE\xFF", 4), 4, true)},
    };
    for (const Row& row : rows) {
        { std::ofstream(reg.path, std::ios::binary | std::ios::trunc) << row.before; }
        EXPECT_FALSE(RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Settings", KEY_ALL_ACCESS)
                         .SetString("SavePassword", "True"))
            << row.name;
        EXPECT_EQ(vtest::ReadFileBytes(reg.path), row.before) << row.name;
    }
}

// A store named by a bare file name (VARNELLO_REGISTRY=settings.ini, a
// store beside a portable copy of the program) lies in the working folder.
// Once the file was there, the check for write access asked about the
// folder of "settings.ini", which is no name at all, and every write after
// the first failed: the first write made the key, and no value was ever
// stored in it.
TEST(RegistryStoreRelativePath, AStoreNamedByABareFileNameTookOnlyItsFirstWrite) {
    vtest::TempDir dir;
    const int result = vtest::RunInChildProcess([&] {
        if (::chdir(dir.path().c_str()) != 0) return 10;
        RegistryStore::SetPath("settings.ini");
        RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Settings", KEY_ALL_ACCESS);
        if (!key.IsOpen()) return 1;
        if (!key.SetString("OutputTablePrefix", "first_")) return 2;
        if (!RegistryStore::Writable()) return 3;
        if (!key.SetString("SavePassword", "True")) return 4;
        if (!key.SetString("OutputTablePrefix", "second_")) return 5;
        auto prefix = key.QueryValue("OutputTablePrefix");
        if (!prefix || prefix->data != std::string("second_\0", 8)) return 6;
        if (!key.QueryValue("SavePassword")) return 7;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(vtest::ReadFileBytes(dir.file("settings.ini")).find("\"OutputTablePrefix\"=sz:second_%00"), std::string::npos);
}

TEST(RegistryStorePath, EnvironmentAndSetPathRedirectTheStore) {
    vtest::TempDir dir;
    const char* old = std::getenv("VARNELLO_REGISTRY");
    const std::string saved = old ? old : "";
    ::setenv("VARNELLO_REGISTRY", dir.file("env.ini").c_str(), 1);
    EXPECT_EQ(RegistryStore::Path(), dir.file("env.ini"));
    RegistryStore::SetPath(dir.file("set.ini"));
    EXPECT_EQ(RegistryStore::Path(), dir.file("set.ini"));
    RegistryStore::SetPath({});
    ::unsetenv("VARNELLO_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(RegistryStore::Path(), (dir.path() / "varnello" / "registry.ini").string());
    ::unsetenv("XDG_CONFIG_HOME");
    if (old) ::setenv("VARNELLO_REGISTRY", saved.c_str(), 1);
}

// A configuration folder given as a relative path ($XDG_CONFIG_HOME set to
// "conf" by mistake) is to be ignored, as the base-directory convention
// says: the store followed the working folder instead, so that starting the
// program from another folder showed none of the user's settings.
TEST(RegistryStorePath, ARelativeConfigurationFolderMadeTheStoreFollowTheWorkingFolder) {
    vtest::TempDir dir;
    const std::string home = dir.path().string();
    const int result = vtest::RunInChildProcess([&] {
        RegistryStore::SetPath({});
        ::unsetenv("VARNELLO_REGISTRY");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", "conf", 1);
        return RegistryStore::Path() == home + "/.config/varnello/registry.ini" ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
}

TEST(RegistryStoreNames, HiveNames) {
    EXPECT_EQ(RegistryStore::HiveName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(RegistryStore::HiveName(HKEY_CURRENT_USER), "HKEY_CURRENT_USER");
    EXPECT_EQ(RegistryStore::HiveName(HKEY_CLASSES_ROOT), "HKEY_CLASSES_ROOT");
    EXPECT_EQ(RegistryStore::HiveName(42), "");
}

} // namespace
