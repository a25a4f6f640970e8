#include "util/CMRU.h"

#include "errors/RunTimeError.h"
#include "platform/App.h"
#include "platform/SecretText.h"
#include "util/CCommandArgs.h"

using namespace platform;

namespace {

char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string s) {
    for (char& c : s) c = lowerChar(c);
    return s;
}

// ---- the switch string of a recent database -------------------------------

// One switch of a tag: "/" key, one blank, value.
struct Switch {
    std::string key;   // as written
    std::string value; // as written (escaped or not)
};

struct SplitTag {
    std::string prefix; // text before the first switch
    std::vector<Switch> switches;
};

// The switches the recent list knows. Only "/" followed by one of them and a
// blank (or the end) starts a switch, so that the "/" of a path written
// without escaping does not cut it. Everything after "/PWD" is the password.
const char* const kKnownKeys[] = {"WG", "UID", "PWD"};

size_t switchAt(const std::string& tag, size_t i, std::string& key) {
    if (tag[i] != '/') return 0;
    for (const char* k : kKnownKeys) {
        const std::string known = k;
        if (i + 1 + known.size() > tag.size()) continue;
        if (lower(tag.substr(i + 1, known.size())) != lower(known)) continue;
        const size_t after = i + 1 + known.size();
        if (after == tag.size() || tag[after] == ' ') {
            key = tag.substr(i + 1, known.size());
            return 1 + known.size();
        }
    }
    return 0;
}

bool splitTag(const std::string& tag, SplitTag& out) {
    out = {};
    size_t i = 0;
    Switch* current = nullptr;
    std::string text;
    auto finish = [&]() {
        if (current)
            current->value = text;
        else
            out.prefix = text;
        text.clear();
    };
    while (i < tag.size()) {
        std::string key;
        const bool inPassword = current && lower(current->key) == "pwd";
        size_t len = inPassword ? 0 : switchAt(tag, i, key);
        if (len == 0) {
            text += tag[i++];
            continue;
        }
        finish();
        out.switches.push_back(Switch{key, {}});
        current = &out.switches.back();
        i += len;
        if (i < tag.size() && tag[i] == ' ') ++i; // the one blank after the key
    }
    finish();
    return !out.switches.empty();
}

// A value as it was meant: a value holding "/" was written without escaping.
std::string plainValue(const std::string& written) {
    return written.find('/') != std::string::npos ? written : CCommandArgs::UnescapeValue(written);
}

// The value of that name (letter case aside) among the values read; empty
// when it is missing or not a string.
std::string textIn(const RegistryKey::Values& values, const std::string& name) {
    for (const auto& [stored, v] : values) {
        if (lower(stored) != lower(name)) continue;
        if (v.type != REG_SZ) return {};
        std::string data = v.data;
        const size_t nul = data.find('\0');
        if (nul != std::string::npos) data.resize(nul);
        return data;
    }
    return {};
}

std::string joinTag(const SplitTag& t) {
    std::string s = t.prefix;
    for (const auto& sw : t.switches) s += "/" + sw.key + " " + sw.value;
    return s;
}

} // namespace

// ---- CMRU ---------------------------------------------------------------------

CMRU::CMRU() : m_registryPath("SOFTWARE\\" + App::Title()), m_menuItems(5) {}

std::string CMRU::MakeTag(const std::string& workgroup, const std::string& user, const std::string& password) {
    return "/WG " + CCommandArgs::EscapeValue(workgroup) + "/UID " + CCommandArgs::EscapeValue(user) + "/PWD " +
           CCommandArgs::EscapeValue(password);
}

namespace {

// The tag as it is written. A tag read from the store (`stored`) keeps a
// password that is protected already as it stands, even when it cannot be
// revealed now (the key file missing, or another one): protecting it again
// would make the protected text its password.
std::string protectTag(const std::string& tag, bool stored) {
    SplitTag t;
    if (!splitTag(tag, t)) return tag;
    for (auto& sw : t.switches) {
        if (lower(sw.key) == "pwd") {
            const std::string written = sw.value;
            // Already protected means protected with this user's key: a
            // password that only has the form is the user's own text.
            if (written.empty() || (IsProtectedSecret(written) && (stored || UnprotectSecret(written)))) continue;
            // Never in clear text: a password that cannot be protected is dropped.
            sw.value = ProtectSecret(plainValue(written));
        } else {
            sw.value = CCommandArgs::EscapeValue(plainValue(sw.value));
        }
    }
    return joinTag(t);
}

} // namespace

std::string CMRU::ProtectTag(const std::string& tag) { return protectTag(tag, false); }

std::string CMRU::RevealTag(const std::string& tag) {
    SplitTag t;
    if (!splitTag(tag, t)) return tag;
    for (auto& sw : t.switches) {
        if (lower(sw.key) == "pwd" && IsProtectedSecret(sw.value))
            sw.value = CCommandArgs::EscapeValue(UnprotectSecret(sw.value).value_or(std::string()));
        else
            sw.value = CCommandArgs::EscapeValue(plainValue(sw.value));
    }
    return joinTag(t);
}

std::string CMRU::KeyPath() const { return m_registryPath + "\\" + m_subFolder; }

RegistryKey::Values CMRU::ReadValues() const {
    try {
        RegistryKey key = RegistryKey::Open(m_hive, KeyPath(), KEY_QUERY_VALUE);
        if (!key) return {};
        return key.QueryValues();
    } catch (...) {
        ShowRoutineError("RegistryGetKeyValue");
        return {};
    }
}

void CMRU::SetMaxMRUItems(int n) {
    try {
        if (n < 0) throw RunTimeError(rterr::SubscriptOutOfRange);
        m_maxItems = n;
        m_menuItems.resize(static_cast<size_t>(n) + 1);
    } catch (...) {
        ShowRoutineError("MaxMRUItems");
    }
}

std::shared_ptr<IMRUMenuItem> CMRU::MenuItem(int index) {
    try {
        if (index < 0 || index > m_maxItems) throw RunTimeError(rterr::SubscriptOutOfRange);
        return m_menuItems[static_cast<size_t>(index)];
    } catch (...) {
        ShowRoutineError("MenuItem");
        return nullptr;
    }
}

void CMRU::SetMenuItem(int index, std::shared_ptr<IMRUMenuItem> item) {
    if (index < 0 || index > m_maxItems) return;
    m_menuItems[static_cast<size_t>(index)] = std::move(item);
}

std::vector<CMRU::Entry> CMRU::Entries() const {
    // One reading for the whole list: each item with the tag written with it.
    const RegistryKey::Values values = ReadValues();
    std::vector<Entry> entries;
    for (int n = 1; n <= m_maxItems; ++n) {
        std::string item = textIn(values, m_prefix + std::to_string(n));
        if (item.empty()) continue;
        entries.push_back(Entry{item, RevealTag(textIn(values, m_tagPrefix + std::to_string(n)))});
    }
    return entries;
}

void CMRU::GetMRUList() {
    try {
        const std::vector<Entry> entries = Entries();
        for (auto& item : m_menuItems)
            if (item) item->SetVisible(false);
        if (entries.empty()) return;
        auto entry = [this](size_t k) -> IMRUMenuItem& {
            if (k >= m_menuItems.size() || !m_menuItems[k]) throw RunTimeError(rterr::ObjectNotSet);
            return *m_menuItems[k];
        };
        entry(0).SetVisible(true);
        for (size_t k = 1; k <= entries.size(); ++k) {
            IMRUMenuItem& item = entry(k);
            std::string path;
            for (char c : entries[k - 1].item) path += c == '&' ? std::string("&&") : std::string(1, c);
            item.SetCaption("&" + std::to_string(k) + ". " + path);
            item.SetVisible(true);
            item.SetTag(entries[k - 1].tag);
        }
    } catch (...) {
        ShowRoutineError("GetMRUList");
    }
}

std::string CMRU::PathOfCaption(const std::string& caption) {
    const size_t dot = caption.find(". ");
    const std::string shown = dot == std::string::npos ? caption : caption.substr(dot + 2);
    std::string path;
    for (size_t i = 0; i < shown.size(); ++i) {
        path += shown[i];
        if (shown[i] == '&' && i + 1 < shown.size() && shown[i + 1] == '&') ++i;
    }
    return path;
}

void CMRU::SetMRUList(const std::string& item, const std::string& tag) {
    try {
        // The whole list in one write: a program killed halfway leaves the
        // list before or after, never an item beside another entry's tag.
        std::vector<std::pair<std::string, RegValue>> values;
        auto put = [&values](const std::string& name, const std::string& value) {
            values.emplace_back(name, RegValue::String(value));
        };
        auto writeAll = [this, &values] {
            try {
                RegistryKey key = RegistryKey::Create(m_hive, KeyPath(), KEY_WRITE);
                key.SetValues(values);
            } catch (...) {
                ShowRoutineError("RegistrySetKeyValue");
            }
        };
        if (item.empty()) {
            for (int n = 1; n <= m_maxItems; ++n) {
                put(m_prefix + std::to_string(n), "");
                put(m_tagPrefix + std::to_string(n), "");
            }
            writeAll();
            GetMRUList();
            return;
        }
        // The list is read and written under the store's write lock: another
        // program putting its own database on top meanwhile keeps its entry.
        auto newList = [&](const RegistryKey::Values& current) {
            values.clear();
            std::vector<std::string> items{item};
            std::vector<std::string> tags{tag};
            for (int n = 1; n <= m_maxItems; ++n) {
                const std::string old = textIn(current, m_prefix + std::to_string(n));
                if (old.empty() || lower(old) == lower(item)) continue;
                items.push_back(old);
                tags.push_back(textIn(current, m_tagPrefix + std::to_string(n)));
            }
            // The new tag comes from the caller; the others are as stored.
            for (size_t k = 1; k <= items.size() && k <= static_cast<size_t>(m_maxItems); ++k) {
                put(m_prefix + std::to_string(k), items[k - 1]);
                put(m_tagPrefix + std::to_string(k), protectTag(tags[k - 1], k > 1));
            }
            return values;
        };
        try {
            RegistryKey key = RegistryKey::Create(m_hive, KeyPath(), KEY_WRITE | KEY_QUERY_VALUE);
            key.ChangeValues(newList);
        } catch (...) {
            ShowRoutineError("RegistrySetKeyValue");
        }
        GetMRUList();
    } catch (...) {
        ShowRoutineError("SetMRUList");
    }
}
