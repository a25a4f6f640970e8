#pragma once
// CMRU: the most-recently-used list of databases, kept in the registry store
// and shown in menu entries.
//
// Each entry is an item (the text shown: a database path) and a tag (the
// switch string "/WG <workgroup>/UID <user>/PWD <password>" that travels with
// it). Entry 1 is the most recent. In the store (key Hive, RegistryPath "\"
// SubFolder) entry n is the value Prefix & n and its tag TagPrefix & n.
//
// A password is never written in clear text: every tag is written with the
// value of its PWD switch protected (platform/SecretText.h), and the menu
// entries receive it revealed again. Build tags with MakeTag, which escapes
// the values, so that paths and names holding "/" come back whole through
// CCommandArgs.
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

// A menu entry that shows one line of the list (the window layer adapts its
// menu actions to it).
class IMRUMenuItem {
public:
    virtual ~IMRUMenuItem() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;
    virtual void SetTag(const std::string& tag) = 0;
    virtual std::string Tag() const = 0;
};

class CMRU {
public:
    // RegistryPath "SOFTWARE\" followed by the application's title, Hive
    // HKEY_LOCAL_MACHINE, MaxMRUItems 4, Prefix "MRU", TagPrefix "MRUTAG",
    // SubFolder "MRU".
    CMRU();

    const std::string& RegistryPath() const noexcept { return m_registryPath; }
    void SetRegistryPath(std::string path) { m_registryPath = std::move(path); }
    // The root key of the list's key.
    platform::HKEY Hive() const noexcept { return m_hive; }
    void SetHive(platform::HKEY hive) noexcept { m_hive = hive; }
    int MaxMRUItems() const noexcept { return m_maxItems; }
    // Stores the number and resizes the menu entries to 0 .. n, keeping those
    // that remain. A negative number is reported in a message box.
    void SetMaxMRUItems(int n);
    // The menu entry at index 0 .. MaxMRUItems; another index is reported in
    // a message box ("MenuItem") and gives none.
    std::shared_ptr<IMRUMenuItem> MenuItem(int index);
    // Stores the entry at index 0 .. MaxMRUItems; other indices are ignored.
    void SetMenuItem(int index, std::shared_ptr<IMRUMenuItem> item);
    const std::string& Prefix() const noexcept { return m_prefix; }
    void SetPrefix(std::string prefix) { m_prefix = std::move(prefix); }
    const std::string& TagPrefix() const noexcept { return m_tagPrefix; }
    void SetTagPrefix(std::string prefix) { m_tagPrefix = std::move(prefix); }
    const std::string& SubFolder() const noexcept { return m_subFolder; }
    void SetSubFolder(std::string folder) { m_subFolder = std::move(folder); }

    // Reads the list from the store and shows it: entry 0 (the separator) and
    // one entry per stored item, captioned "&1. " path, "&2. " path ...,
    // tagged with its tag; the other entries hidden. An "&" of the path is
    // doubled in the caption, so that it shows as it stands instead of
    // marking an access key.
    void GetMRUList();
    // The path an entry's caption shows: the text after its first ". ", each
    // doubled "&" single again.
    static std::string PathOfCaption(const std::string& caption);
    // Puts the pair at the top of the list (an entry with the same item, in
    // any letter case, is dropped), keeps at most MaxMRUItems entries, writes
    // the list and shows it. An empty item clears the list.
    void SetMRUList(const std::string& item, const std::string& tag);

    // The stored entries in order, slots without an item skipped, tags as the
    // menu receives them.
    struct Entry {
        std::string item;
        std::string tag;
    };
    std::vector<Entry> Entries() const;

    // The switch string of a database: "/WG " workgroup "/UID " user "/PWD "
    // password, each value escaped (CCommandArgs::EscapeValue).
    static std::string MakeTag(const std::string& workgroup, const std::string& user,
                               const std::string& password);
    // The tag as it is written: the PWD value protected. A tag with no PWD
    // switch, or an empty one, comes back unchanged.
    static std::string ProtectTag(const std::string& tag);
    // The tag as the menu receives it: the PWD value revealed and escaped; a
    // password that cannot be revealed (another user's key) becomes empty.
    static std::string RevealTag(const std::string& tag);

private:
    std::string KeyPath() const;
    // The values of the list's key, from one reading of the store.
    platform::RegistryKey::Values ReadValues() const;

    std::string m_registryPath;
    platform::HKEY m_hive = platform::HKEY_LOCAL_MACHINE;
    int m_maxItems = 4;
    std::vector<std::shared_ptr<IMRUMenuItem>> m_menuItems;
    std::string m_prefix = "MRU";
    std::string m_tagPrefix = "MRUTAG";
    std::string m_subFolder = "MRU";
};
