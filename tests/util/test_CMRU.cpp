// The recent-database list, with the registry store in a temporary folder.
#include <gtest/gtest.h>


#include "support/FilesMade.h"
#include "support/HookRecorder.h"
#include "support/TempDir.h"
#include "platform/RegistryStore.h"
#include "util/CCommandArgs.h"
#include "util/CMRU.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

using namespace platform;

namespace {

class MenuEntry : public IMRUMenuItem {
public:
    void SetVisible(bool v) override { visible = v; }
    bool Visible() const override { return visible; }
    void SetCaption(const std::string& c) override { caption = c; }
    std::string Caption() const override { return caption; }
    void SetTag(const std::string& t) override { tag = t; }
    std::string Tag() const override { return tag; }

    bool visible = true;
    std::string caption;
    std::string tag;
};

const char* const kKey = "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings";

class CMRUTest : public ::testing::Test {
protected:
    void SetUp() override {
        mru.SetRegistryPath("SOFTWARE\\ZUR\\Varnello Demo\\5.0");
        mru.SetSubFolder("Settings");
        for (int i = 0; i <= 4; ++i) {
            entries.push_back(std::make_shared<MenuEntry>());
            mru.SetMenuItem(i, entries.back());
        }
    }
    // Writes the stored values directly: items and tags by slot.
    void store(const std::vector<std::pair<std::string, std::string>>& slots) {
        RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS);
        for (size_t i = 0; i < slots.size(); ++i) {
            key.SetString("MRU" + std::to_string(i + 1), slots[i].first);
            key.SetString("MRUTAG" + std::to_string(i + 1), slots[i].second);
        }
    }
    std::string stored(const std::string& name) {
        auto v = RegistryKey::Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ).QueryValue(name);
        if (!v) return "<missing>";
        std::string s = v->data;
        if (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    }
    std::vector<std::string> items() {
        std::vector<std::string> out;
        for (const auto& e : mru.Entries()) out.push_back(e.item);
        return out;
    }

    vtest::RegistryRedirect reg;
    vtest::HookRecorder rec;
    CMRU mru;
    std::vector<std::shared_ptr<MenuEntry>> entries;
};

TEST_F(CMRUTest, Defaults) {
    CMRU fresh;
    EXPECT_EQ(fresh.Hive(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(fresh.MaxMRUItems(), 4);
    EXPECT_EQ(fresh.Prefix(), "MRU");
    EXPECT_EQ(fresh.TagPrefix(), "MRUTAG");
    EXPECT_EQ(fresh.SubFolder(), "MRU");
    EXPECT_EQ(fresh.RegistryPath().rfind("SOFTWARE\\", 0), 0u);
}

TEST_F(CMRUTest, AnEmptyKeyHidesEveryEntry) {
    mru.GetMRUList();
    for (const auto& e : entries) EXPECT_FALSE(e->visible);
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(CMRUTest, OneStoredEntryInSlotTwoIsShownAsEntryOne) {
    store({{"", ""}, {"/data/sales.mdb", "/WG /UID admin/PWD "}});
    mru.GetMRUList();
    EXPECT_TRUE(entries[0]->visible);
    EXPECT_TRUE(entries[1]->visible);
    EXPECT_EQ(entries[1]->caption, "&1. /data/sales.mdb");
    EXPECT_EQ(entries[1]->tag, "/WG /UID admin/PWD ");
    for (int i = 2; i <= 4; ++i) EXPECT_FALSE(entries[i]->visible);
}

TEST_F(CMRUTest, CaptionsAreNumberedWithoutGaps) {
    store({{"/a.mdb", ""}, {"", ""}, {"/c.mdb", ""}, {"/d.mdb", ""}});
    mru.GetMRUList();
    EXPECT_EQ(entries[1]->caption, "&1. /a.mdb");
    EXPECT_EQ(entries[2]->caption, "&2. /c.mdb");
    EXPECT_EQ(entries[3]->caption, "&3. /d.mdb");
    EXPECT_FALSE(entries[4]->visible);
}

TEST_F(CMRUTest, AnAmpersandOfAPathIsDoubledInTheCaptionAndTheCaptionGivesThePathBack) {
    store({{"/data/R&D.mdb", ""}, {"/plain.mdb", ""}});
    mru.GetMRUList();
    // "&&" is the menu's literal "&": a single one would mark "D" as an
    // access key and show the path without it.
    EXPECT_EQ(entries[1]->caption, "&1. /data/R&&D.mdb");
    EXPECT_EQ(entries[2]->caption, "&2. /plain.mdb");
    const std::pair<const char*, const char*> cases[] = {
        {"&1. /data/R&&D.mdb", "/data/R&D.mdb"},    // one doubled "&"
        {"&2. /plain.mdb", "/plain.mdb"},           // nothing to undo
        {"&3. /a&&&&b/c. d.mdb", "/a&&b/c. d.mdb"}, // two in a row; only the first ". " ends the number
    };
    for (const auto& [caption, path] : cases) EXPECT_EQ(CMRU::PathOfCaption(caption), path) << caption;
}

TEST_F(CMRUTest, AnEntryAlreadyInTheListMovesToTheTopWithItsNewTagAndCase) {
    store({{"/a.mdb", "/WG /UID a/PWD "}, {"/b.mdb", "/WG /UID b/PWD "}, {"/Data/C.mdb", "/WG /UID old/PWD "},
           {"/d.mdb", "/WG /UID d/PWD "}});
    mru.SetMRUList("/data/c.MDB", "/WG /UID new/PWD ");
    EXPECT_EQ(items(), (std::vector<std::string>{"/data/c.MDB", "/a.mdb", "/b.mdb", "/d.mdb"}));
    EXPECT_EQ(stored("MRUTAG1"), "/WG /UID new/PWD ");
    EXPECT_EQ(stored("MRUTAG2"), "/WG /UID a/PWD ");
    EXPECT_EQ(stored("MRUTAG3"), "/WG /UID b/PWD ");
    EXPECT_EQ(stored("MRUTAG4"), "/WG /UID d/PWD ");
    EXPECT_EQ(entries[1]->caption, "&1. /data/c.MDB");
    EXPECT_EQ(entries[4]->caption, "&4. /d.mdb");
}

// The list was written value by value, eight replacements of the store for
// four entries: a program killed halfway left an item beside another entry's
// tag (its workgroup, user and password), or one database in two entries.
TEST_F(CMRUTest, AKillHalfwayThroughWritingTheListLeavesAnItemBesideAnotherEntrysTag) {
    const struct {
        const char* change;
        std::string item;
    } rows[] = {
        {"a new entry on a full list", "/new.mdb"},
        {"the third entry moved to the top", "/3.mdb"},
        {"the list cleared", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.change);
        store({{"/1.mdb", "/WG /UID one/PWD "}, {"/2.mdb", "/WG /UID two/PWD "}, {"/3.mdb", "/WG /UID three/PWD "},
               {"/4.mdb", "/WG /UID four/PWD "}});
        const auto made = vtest::FilesMadeDuring(reg.dir.path().string(),
                                                 [&] { mru.SetMRUList(r.item, "/WG /UID new/PWD "); });
        EXPECT_EQ(vtest::Renames(made, "registry.ini"), 1);
        EXPECT_EQ(stored("MRU1"), r.item);
    }
}

// Whether a request for the lock of the file `path` waits for another
// holder (the system's table of locks shows it with "->").
bool AWriterWaitsForTheLockOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
        if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos) return true;
    return false;
}

// Two designers open a database each at the same moment. This one read the
// list while the other was writing its own entry on top; its write, after
// the other's, put back the list as it had read it: the other's database
// was gone from the list, and an item read before the other's write could
// stand beside a tag read after it (another database's user and password).
TEST_F(CMRUTest, TwoProgramsPuttingADatabaseOnTopAtOnceKeepBothEntriesEachWithItsTag) {
    // The store as the other program leaves it, and as it stands before.
    store({{"/theirs.mdb", "/WG /UID they/PWD "}, {"/1.mdb", "/WG /UID one/PWD "}});
    std::string theirs;
    {
        std::ifstream in(reg.path, std::ios::binary);
        theirs.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    RegistryStore::DeleteKey(HKEY_LOCAL_MACHINE, kKey);
    store({{"/1.mdb", "/WG /UID one/PWD "}});

    // The other program holds the store's write lock, in the middle of its write.
    const std::string lockPath = reg.path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    std::thread mine([&] { mru.SetMRUList("/mine.mdb", "/WG /UID me/PWD "); });
    bool waits = false;
    for (int i = 0; i < 100000 && !(waits = AWriterWaitsForTheLockOf(lockPath)); ++i)
        std::this_thread::yield();
    EXPECT_TRUE(waits);
    // The other program's write lands (a new file in the store's place), and its lock goes.
    {
        std::ofstream out(reg.path + ".other", std::ios::binary);
        out << theirs;
    }
    ASSERT_EQ(::rename((reg.path + ".other").c_str(), reg.path.c_str()), 0);
    ::flock(lock, LOCK_UN);
    ::close(lock);
    mine.join();

    EXPECT_EQ(items(), (std::vector<std::string>{"/mine.mdb", "/theirs.mdb", "/1.mdb"}));
    EXPECT_EQ(stored("MRUTAG1"), "/WG /UID me/PWD ");
    EXPECT_EQ(stored("MRUTAG2"), "/WG /UID they/PWD ");
    EXPECT_EQ(stored("MRUTAG3"), "/WG /UID one/PWD ");
}

TEST_F(CMRUTest, ANewEntryOnAFullListDropsTheOldest) {
    store({{"/1.mdb", ""}, {"/2.mdb", ""}, {"/3.mdb", ""}, {"/4.mdb", ""}});
    mru.SetMRUList("/new.mdb", "");
    EXPECT_EQ(items(), (std::vector<std::string>{"/new.mdb", "/1.mdb", "/2.mdb", "/3.mdb"}));
    EXPECT_EQ(stored("MRU5"), "<missing>");
}

TEST_F(CMRUTest, SlotsAboveTheNumberOfItemsAreNotWritten) {
    mru.SetMRUList("/only.mdb", "");
    EXPECT_EQ(stored("MRU1"), "/only.mdb");
    EXPECT_EQ(stored("MRU2"), "<missing>");
    EXPECT_EQ(stored("MRUTAG2"), "<missing>");
}

TEST_F(CMRUTest, AnEmptyItemClearsTheListAndHidesItSeparatorIncluded) {
    store({{"/1.mdb", "t1"}, {"/2.mdb", "t2"}});
    mru.GetMRUList();
    EXPECT_TRUE(entries[0]->visible);
    mru.SetMRUList("", "ignored");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(stored("MRU" + std::to_string(n)), "");
        EXPECT_EQ(stored("MRUTAG" + std::to_string(n)), "");
    }
    for (const auto& e : entries) EXPECT_FALSE(e->visible);
}

TEST_F(CMRUTest, SixEntriesAfterMaxMRUItemsIsSix) {
    mru.SetMaxMRUItems(6);
    auto e5 = std::make_shared<MenuEntry>(), e6 = std::make_shared<MenuEntry>();
    mru.SetMenuItem(5, e5);
    mru.SetMenuItem(6, e6);
    EXPECT_EQ(mru.MenuItem(6), e6);
    EXPECT_EQ(mru.MenuItem(1), entries[1]); // kept through the resize
    for (int i = 1; i <= 7; ++i) mru.SetMRUList("/" + std::to_string(i) + ".mdb", "");
    EXPECT_EQ(items(), (std::vector<std::string>{"/7.mdb", "/6.mdb", "/5.mdb", "/4.mdb", "/3.mdb", "/2.mdb"}));
    EXPECT_EQ(e6->caption, "&6. /2.mdb");
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(CMRUTest, MenuItemOutsideTheRange) {
    mru.SetMaxMRUItems(6);
    auto extra = std::make_shared<MenuEntry>();
    mru.SetMenuItem(7, extra); // ignored, silently
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(mru.MenuItem(7), nullptr);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 9. Subscript out of range");
    EXPECT_EQ(rec.messages[0].title, "MenuItem");
    EXPECT_EQ(rec.messages[0].buttons, vbOKOnly);
}

TEST_F(CMRUTest, ANegativeMaximumIsReported) {
    mru.SetMaxMRUItems(-1);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].title, "MaxMRUItems");
    EXPECT_EQ(mru.MaxMRUItems(), 4);
}

TEST_F(CMRUTest, AMissingMenuEntryIsReportedAndLeavesTheListPartlyShown) {
    mru.SetMenuItem(2, nullptr);
    store({{"/1.mdb", ""}, {"/2.mdb", ""}});
    mru.GetMRUList();
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 91. Object variable or With block variable not set");
    EXPECT_EQ(rec.messages[0].title, "GetMRUList");
    EXPECT_TRUE(entries[0]->visible);
    EXPECT_EQ(entries[1]->caption, "&1. /1.mdb");
}

TEST_F(CMRUTest, TheHiveTakesEffect) {
    mru.SetHive(HKEY_CURRENT_USER);
    mru.SetMRUList("/user.mdb", "");
    EXPECT_TRUE(RegistryStore::KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_FALSE(RegistryStore::KeyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(items(), std::vector<std::string>{"/user.mdb"});
}

// The switches of a menu entry's tag, as the application reads them.
std::string sw(const std::string& tag, const std::string& key) {
    CCommandArgs a;
    a.SetDelim("/");
    a.SetTestString(tag);
    a.Parse();
    return a.Item(key);
}
// Its WG, UID and PWD switches.
std::vector<std::string> logon(const std::string& tag) { return {sw(tag, "WG"), sw(tag, "UID"), sw(tag, "PWD")}; }

// The recent-database tag kept "/PWD <password>" in clear text and cut a
// password holding "/": the password is now stored protected, and every
// value comes back whole.
TEST_F(CMRUTest, RecentDatabaseTagKeepsThePasswordInClearTextAndCutsAPasswordWithASlash) {
    const std::string password = "Zq9#secret/x y";
    mru.SetMRUList("/srv/db/sales.mdb", CMRU::MakeTag("/srv/wg/system.mdw", "ann/smith", password));

    const std::string file = vtest::ReadFileBytes(reg.path);
    EXPECT_EQ(file.find("secret"), std::string::npos) << file;
    EXPECT_EQ(file.find("Zq9"), std::string::npos);
    const std::string storedTag = stored("MRUTAG1");
    EXPECT_EQ(storedTag.rfind("/WG %2Fsrv%2Fwg%2Fsystem.mdw/UID ann%2Fsmith/PWD ~p1:", 0), 0u) << storedTag;

    mru.GetMRUList();
    const std::string tag = entries[1]->tag;
    EXPECT_EQ(tag, CMRU::MakeTag("/srv/wg/system.mdw", "ann/smith", password));
    EXPECT_EQ(logon(tag), (std::vector<std::string>{"/srv/wg/system.mdw", "ann/smith", password}));
}

TEST_F(CMRUTest, ATagBuiltByPlainConcatenationIsMadeSafeToo) {
    mru.SetMRUList("/db.mdb", "/WG /home/u/sys.mdw/UID admin/PWD p/w 1");
    EXPECT_EQ(vtest::ReadFileBytes(reg.path).find("p/w"), std::string::npos);
    mru.GetMRUList();
    EXPECT_EQ(logon(entries[1]->tag), (std::vector<std::string>{"/home/u/sys.mdw", "admin", "p/w 1"}));
}

TEST_F(CMRUTest, ATagWithoutSavedPasswordKeepsItsLayout) {
    mru.SetMRUList("/db.mdb", "/WG /UID admin/PWD ");
    EXPECT_EQ(stored("MRUTAG1"), "/WG /UID admin/PWD ");
    mru.GetMRUList();
    EXPECT_EQ(entries[1]->tag, "/WG /UID admin/PWD ");
    EXPECT_EQ(sw(entries[1]->tag, "PWD"), "PWD"); // present without a value
}

TEST_F(CMRUTest, AnOldClearTextPasswordIsProtectedAtTheNextWrite) {
    store({{"/old.mdb", "/WG c:\\w.mdw/UID bob/PWD hunter2"}});
    mru.GetMRUList();
    EXPECT_EQ(sw(entries[1]->tag, "PWD"), "hunter2");
    mru.SetMRUList("/new.mdb", "/WG /UID admin/PWD ");
    EXPECT_EQ(vtest::ReadFileBytes(reg.path).find("hunter2"), std::string::npos);
    mru.GetMRUList();
    EXPECT_EQ(entries[2]->caption, "&2. /old.mdb");
    EXPECT_EQ(sw(entries[2]->tag, "WG"), "c:\\w.mdw");
    EXPECT_EQ(sw(entries[2]->tag, "PWD"), "hunter2");
}

TEST_F(CMRUTest, APasswordProtectedWithAnotherKeyComesBackEmpty) {
    mru.SetMRUList("/db.mdb", CMRU::MakeTag("", "admin", "secret"));
    const std::string protectedTag = stored("MRUTAG1");
    vtest::RegistryRedirect otherUser; // another store with another key
    store({{"/db.mdb", protectedTag}});
    mru.GetMRUList();
    EXPECT_EQ(entries[1]->tag, "/WG /UID admin/PWD ");
}

TEST_F(CMRUTest, ASavedPasswordThatLooksProtectedIsStillStoredProtected) {
    const std::string lookalike = "~p1:" + std::string(96, '0'); // the form of a protected value, not one
    mru.SetMRUList("/db.mdb", CMRU::MakeTag("", "admin", lookalike));
    EXPECT_EQ(vtest::ReadFileBytes(reg.path).find(lookalike), std::string::npos);
    mru.GetMRUList();
    EXPECT_EQ(sw(entries[1]->tag, "PWD"), lookalike);
}

// The saved password of an older entry is the user's setting too. Where it
// could not be read back at the moment a new database was put on top (the
// key file beside the store missing, or another one: a store copied from
// another machine), the write protected the protected text once more: the
// entry then offered that text as its password, and the password was lost
// for good even once the right key file was back.
TEST_F(CMRUTest, PuttingADatabaseOnTopProtectedAnOlderEntrysPasswordAgainWhenItCouldNotBeRead) {
    mru.SetMRUList("/old.mdb", CMRU::MakeTag("", "admin", "secret"));
    const std::string oldTag = stored("MRUTAG1");
    const std::string keyFile = reg.path + ".key";
    const std::string keptKey = reg.path + ".key.kept";
    ASSERT_EQ(::rename(keyFile.c_str(), keptKey.c_str()), 0);

    mru.SetMRUList("/new.mdb", CMRU::MakeTag("", "bob", "pw2"));

    EXPECT_EQ(stored("MRU2"), "/old.mdb");
    EXPECT_EQ(stored("MRUTAG2"), oldTag); // as it was stored
    mru.GetMRUList();
    EXPECT_EQ(sw(entries[2]->tag, "PWD"), "PWD"); // cannot be read with this key: no password
    EXPECT_EQ(sw(entries[1]->tag, "PWD"), "pw2");

    // With the old key file back the old password reads again.
    ASSERT_EQ(::rename(keptKey.c_str(), keyFile.c_str()), 0);
    mru.GetMRUList();
    EXPECT_EQ(entries[2]->caption, "&2. /old.mdb");
    EXPECT_EQ(sw(entries[2]->tag, "PWD"), "secret");
}

struct TagCase {
    std::string tag;
    std::string revealed;
};

TEST(CMRUTags, TagsWithoutAPasswordAreOnlyNormalised) {
    vtest::RegistryRedirect reg;
    const TagCase cases[] = {
        {"", ""},
        {"no switches", "no switches"},
        {"/WG /UID /PWD ", "/WG /UID /PWD "},
        {"/WG /UID /PWD", "/WG /UID /PWD "},
        {"/wg c:\\a b\\x.mdw/uid Ann", "/wg c:\\a b\\x.mdw/uid Ann"},
        {"/WG /a/b.mdw/UID u/PWD ", "/WG %2Fa%2Fb.mdw/UID u/PWD "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CMRU::ProtectTag(c.tag), c.revealed) << c.tag;
        EXPECT_EQ(CMRU::RevealTag(CMRU::ProtectTag(c.tag)), c.revealed) << c.tag;
    }
    EXPECT_EQ(CMRU::MakeTag("", "", ""), "/WG /UID /PWD ");
    EXPECT_EQ(CMRU::MakeTag("c:\\w.mdw", "admin", "pw"), "/WG c:\\w.mdw/UID admin/PWD pw");
}

} // namespace
