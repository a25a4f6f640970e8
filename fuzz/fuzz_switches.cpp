// The switch parser on a stored switch string (the recent-database list
// keeps one per entry) with any delimiter, and the escaping of a value.
// Checks, beyond crashes and sanitizer reports: a value escaped with
// EscapeValue comes back from a parsed switch as it was; a recent entry's
// workgroup, user and password come back from its tag as the menu reads it
// (MakeTag, ProtectTag as it is stored, RevealTag, the parser) as they were.
#include "platform/RegistryStore.h"
#include "util/CCommandArgs.h"
#include "util/CMRU.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t delimSize = data[0] % 4;
    if (size < 1 + delimSize) return 0;
    const std::string delim(reinterpret_cast<const char*>(data + 1), delimSize);
    const std::string text(reinterpret_cast<const char*>(data + 1 + delimSize), size - 1 - delimSize);

    CCommandArgs args;
    args.SetDelim(delim);
    args.SetTestString(text);
    args.Parse();
    for (int i = 0; i <= args.Count(); ++i) {
        (void)args.Key(i);
        (void)args.Value(i);
        (void)args.Item(i);
    }
    (void)args.Item(text);

    // The text as the value of a switch of the "/" delimiter.
    const std::string value = text.find_first_not_of(' ') == std::string::npos ? std::string() : text;
    if (!value.empty() && value.find('\0') == std::string::npos) {
        CCommandArgs sw;
        sw.SetDelim("/");
        sw.SetTestString("/WG " + CCommandArgs::EscapeValue(value) + "/UID x");
        sw.Parse();
        if (sw.Count() != 2 || sw.Item("WG") != value) {
            std::fprintf(stderr, "value \"%s\" came back as \"%s\"\n", value.c_str(), sw.Item("WG").c_str());
            std::abort();
        }
    }

    // The text cut in three at its first two NULs: workgroup, user, password.
    std::string parts[3];
    std::size_t part = 0;
    for (char c : text) {
        if (c == '\0' && part < 2) ++part;
        else parts[part] += c;
    }
    bool usable = true;
    static const char* const keys[] = {"WG", "UID", "PWD"};
    for (int i = 0; i < 3; ++i)
        usable = usable && parts[i].find('\0') == std::string::npos && parts[i] != keys[i];
    if (usable) {
        static const bool store = [] {
            platform::RegistryStore::SetPath("/tmp/varnello-fuzz-switches-" + std::to_string(::getpid()) + ".ini");
            return true;
        }();
        (void)store;
        const std::string tag = CMRU::RevealTag(CMRU::ProtectTag(CMRU::MakeTag(parts[0], parts[1], parts[2])));
        CCommandArgs read;
        read.SetDelim("/");
        read.SetTestString(tag);
        read.Parse();
        for (int i = 0; i < 3; ++i) {
            std::string got = read.Item(std::string(keys[i]));
            if (got == keys[i]) got.clear();
            if (got != parts[i]) {
                std::fprintf(stderr, "switch %s \"%s\" came back from tag \"%s\" as \"%s\"\n", keys[i],
                             parts[i].c_str(), tag.c_str(), got.c_str());
                std::abort();
            }
        }
    }
    return 0;
}
