// The reading of a stored options row into a scenario, value by value, as
// another program may have written the columns: any type, any value. A value
// that fits its option is taken; one that does not is refused with its
// message. Checks, beyond crashes and sanitizer reports: a value taken is
// stored back (ScenarioOptionValues) as a value that fits again and that
// reads back as the same property, so that a save does not change what the
// scenario holds.
#include "db/DaoError.h"
#include "db/Variant.h"
#include "scenario/CMelvarsScenario.h"
#include "scenario/ScenarioOptions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

dao::Variant MakeValue(std::uint8_t kind, const std::uint8_t* data, std::size_t size) {
    double d = 0;
    long long i = 0;
    if (size >= 8) {
        std::memcpy(&d, data, 8);
        std::memcpy(&i, data, 8);
    }
    std::string bytes(reinterpret_cast<const char*>(data), size);
    switch (kind % 11) {
    case 0: return dao::Variant::Null();
    case 1: return dao::Variant();
    case 2: return dao::Variant(bytes);
    case 3: return dao::Variant::Bytes(bytes);
    case 4: return dao::Variant(d);
    case 5: return dao::Variant(i);
    case 6: return dao::Variant(static_cast<std::int16_t>(i));
    case 7: return dao::Variant(static_cast<float>(d));
    case 8: return dao::Variant::Date(d);
    case 9: return dao::Variant::Currency(d);
    default: return dao::Variant(static_cast<bool>(i & 1));
    }
}

[[noreturn]] void Fail(const ScenarioOption& o, const dao::Variant& v, const char* what) {
    std::fprintf(stderr, "option %s, value %s: %s\n", o.Column, dao::ValueText(v).c_str(), what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto options = ScenarioOptions();
    const ScenarioOption& o = options[data[0] % options.size()];
    dao::Variant v;
    try {
        v = MakeValue(data[1], data + 2, size - 2);
    } catch (const dao::DaoError&) {
        return 0; // a value the layer refuses to make
    }

    CMelvarsScenario s;
    const std::string misfit = OptionMisfit(o, v);
    (void)OptionMisfitMessage(o, v, 7);
    try {
        SetScenarioOption(s, o.Column, v);
    } catch (const dao::DaoError&) {
        if (misfit.empty()) Fail(o, v, "refused though it fits");
        return 0;
    }
    if (!misfit.empty()) Fail(o, v, "taken though it does not fit");

    const dao::Variant held = o.Get(s);
    for (const auto& [column, stored] : ScenarioOptionValues(s)) {
        if (column != o.Column) continue;
        if (!OptionMisfit(o, stored).empty()) Fail(o, v, "stored as a value its option refuses");
        CMelvarsScenario again;
        o.Put(again, stored);
        const dao::Variant reread = o.Get(again);
        const bool same = (held.IsEmpty() || (held.IsString() && held.RawString().empty()))
                              ? (reread.IsNull() || reread.IsEmpty() || (reread.IsString() && reread.RawString().empty()))
                              : (reread.Type() == held.Type() && dao::ValueText(reread) == dao::ValueText(held));
        if (!same) Fail(o, v, "read back as another value after a save");
    }
    return 0;
}
