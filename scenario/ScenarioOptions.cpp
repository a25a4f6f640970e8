#include "scenario/ScenarioOptions.h"

#include "db/Dao.h"

#include <cmath>
#include <iterator>

using dao::Variant;

namespace {

bool isWhole(const Variant& v) noexcept {
    switch (v.Type()) {
    case dao::vbInteger: case dao::vbLong: case dao::vbByte: case dao::vbLongLong: case dao::vbBoolean:
        return true;
    default:
        return false;
    }
}

bool isReal(const Variant& v) noexcept {
    switch (v.Type()) {
    case dao::vbSingle: case dao::vbDouble: case dao::vbCurrency: case dao::vbDecimal: case dao::vbDate:
        return true;
    default:
        return false;
    }
}

bool isBlank(const Variant& v) noexcept { return v.IsNull() || v.IsEmpty(); }

// A whole number a 16-bit Integer holds.
bool fitsInteger(const Variant& v) noexcept {
    if (isWhole(v)) return v.RawInt() >= -32768 && v.RawInt() <= 32767;
    if (isReal(v)) {
        const double d = v.RawDouble();
        return std::isfinite(d) && d == std::trunc(d) && d >= -32768.0 && d <= 32767.0;
    }
    return false;
}

bool fitsDouble(const Variant& v) noexcept { return isWhole(v) || (isReal(v) && std::isfinite(v.RawDouble())); }

// The value as a number of the property's type; the caller has made sure
// that it fits.
template <OptionKind K>
PropertyType<K> fromStored(const Variant& v) {
    if constexpr (K == OptionKind::Text) {
        if (isBlank(v)) return {};
        return v.IsString() ? v.RawString() : v.ToString();
    } else if constexpr (K == OptionKind::Boolean) {
        if (isBlank(v)) return false;
        return isWhole(v) ? v.RawInt() != 0 : v.RawDouble() != 0.0;
    } else if constexpr (K == OptionKind::Integer) {
        return static_cast<std::int16_t>(isWhole(v) ? v.RawInt() : static_cast<long long>(v.RawDouble()));
    } else if constexpr (K == OptionKind::Double) {
        // A Null mean to test against is one never entered: 0, as the runner expects.
        if (isBlank(v)) return 0.0;
        return isWhole(v) ? static_cast<double>(v.RawInt()) : v.RawDouble();
    } else {
        return v;
    }
}

template <class T>
T newValue(T value) {
    return value;
}

// The value as a message names it: a number as the database layer writes it,
// text in quotes, bytes that are no text in the blob notation of SQL.
std::string shown(const Variant& v) {
    if (isBlank(v)) return "Null";
    if (!v.IsString() && !v.IsBytes()) return v.ToString();
    const std::string& t = v.RawString();
    bool printable = true;
    for (unsigned char c : t) printable = printable && c >= 0x20 && c != 0x7f;
    if (printable) {
        if (t.size() <= 60) return "'" + t + "'";
        std::size_t cut = 60;
        while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80) --cut; // whole characters only
        return "'" + t.substr(0, cut) + "...'";
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "X'";
    for (std::size_t i = 0; i < t.size() && i < 16; ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    if (t.size() > 16) out += "...";
    return out + "'";
}

#define NoRule nullptr, nullptr
#define Rule(rule, text) rule, text
#define VARNELLO_DESCRIBE_OPTION(Property, Kind, New, Column, Type, Size, Default, ValidationRule, Description,  \
                                 Reader)                                                                          \
    ScenarioOption{#Property,                                                                                     \
                   Column,                                                                                        \
                   OptionKind::Kind,                                                                              \
                   dao::db##Type,                                                                                 \
                   Size,                                                                                          \
                   Default,                                                                                       \
                   ValidationRule,                                                                                \
                   Description,                                                                                   \
                   OptionReader::Reader,                                                                          \
                   [](const CMelvarsScenario& s) { return Variant(s.Property()); },                               \
                   [](CMelvarsScenario& s) { s.Set##Property(newValue<PropertyType<OptionKind::Kind>>(New)); },   \
                   [](CMelvarsScenario& s, const Variant& v) { s.Set##Property(fromStored<OptionKind::Kind>(v)); }},

const ScenarioOption kOptions[] = {VARNELLO_SCENARIO_OPTIONS(VARNELLO_DESCRIBE_OPTION)};

#undef VARNELLO_DESCRIBE_OPTION
#undef Rule
#undef NoRule

} // namespace

std::span<const ScenarioOption> ScenarioOptions() noexcept { return kOptions; }

const ScenarioOption* FindScenarioOption(std::string_view column) noexcept {
    for (const ScenarioOption& o : kOptions)
        if (dao::NamesEqual(o.Column, column)) return &o;
    return nullptr;
}

std::string OptionMisfit(const ScenarioOption& o, const Variant& v) {
    constexpr const char* kWhole = "a whole number from -32768 to 32767";
    switch (o.Kind) {
    case OptionKind::Text:
        return {};
    case OptionKind::Boolean:
        if (isBlank(v) || isWhole(v) || isReal(v)) return {};
        return "a number (0 for False, any other for True)";
    case OptionKind::Integer:
        if (fitsInteger(v)) return {};
        return kWhole;
    case OptionKind::Double:
        if (isBlank(v) || fitsDouble(v)) return {};
        return "a finite number";
    case OptionKind::Variant:
        if (o.ColumnType == dao::dbInteger) {
            if (isBlank(v) || fitsInteger(v)) return {};
            return std::string("Null or ") + kWhole;
        }
        if (isBlank(v) || fitsDouble(v)) return {};
        return "Null or a finite number";
    }
    return {};
}

std::string OptionMisfitMessage(const ScenarioOption& o, const Variant& v, std::int32_t scenarioId) {
    std::string where = std::string("column ") + o.Column;
    if (scenarioId != 0) where += " of scenario " + std::to_string(scenarioId);
    return "The value " + shown(v) + " in " + where + " does not fit its option, which takes " + OptionMisfit(o, v) +
           ".";
}

bool SetScenarioOption(CMelvarsScenario& s, const std::string& column, const Variant& value) {
    const ScenarioOption* o = FindScenarioOption(column);
    if (!o) return false;
    if (!OptionMisfit(*o, value).empty())
        throw dao::DaoError(dao::err::TypeMismatch, OptionMisfitMessage(*o, value, 0));
    o->Put(s, value);
    return true;
}

std::string ReadScenarioOptions(dao::Recordset& row, CMelvarsScenario& s, std::int32_t scenarioId,
                                OptionReader reader) {
    for (const ScenarioOption& o : kOptions) {
        if (reader == OptionReader::Run && o.Reader != OptionReader::Run) continue;
        const Variant v = row.Fields(o.Column)->Value();
        if (!OptionMisfit(o, v).empty()) return OptionMisfitMessage(o, v, scenarioId);
        o.Put(s, v);
    }
    return {};
}

ScenarioColumnValues ScenarioOptionValues(const CMelvarsScenario& s) {
    ScenarioColumnValues values;
    values.reserve(std::size(kOptions));
    for (const ScenarioOption& o : kOptions) {
        Variant v = o.Get(s);
        // A never-set Variant is stored as Null, and so is an empty text: the
        // text columns refuse the empty text.
        if (v.IsEmpty() || (v.IsString() && v.RawString().empty())) v = Variant::Null();
        values.emplace_back(o.Column, std::move(v));
    }
    return values;
}

void SetNewScenarioOptions(CMelvarsScenario& s) {
    for (const ScenarioOption& o : kOptions) o.SetNew(s);
}
