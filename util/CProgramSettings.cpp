#include "util/CProgramSettings.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "db/NumberText.h"
#include "errors/RunTimeError.h"

using namespace platform;

std::string CProgramSettings::KeyPath() const {
    std::string path = m_mainBranch + "\\" + m_regBase + "\\" + m_program + "\\" + m_section;
    if (!path.empty() && path.back() == '\\') path.pop_back(); // one only
    return path;
}

void CProgramSettings::WriteEntry(const std::string& name, const std::string& value) {
    try {
        SetKeyValue(m_rootKey, KeyPath(), name, value, REG_SZ);
    } catch (...) {
        ShowRoutineError("WriteEntry");
    }
}

std::string CProgramSettings::ReadEntry(const std::string& name, const std::string& defaultValue) {
    std::string result;
    try {
        KeyValue v = GetKeyValue(m_rootKey, KeyPath(), name);
        std::string text;
        if (auto s = std::get_if<std::string>(&v)) text = *s;
        else if (auto n = std::get_if<std::int32_t>(&v)) text = std::to_string(*n);
        result = text.empty() ? defaultValue : text;
    } catch (...) {
        ShowRoutineError("ReadEntry");
    }
    return result;
}

namespace {

// A text as a 32-bit signed number, as the platform converts it: blanks
// around it are allowed, a fraction is rounded half to even; anything else is
// a type mismatch, and a number out of range an overflow.
std::int32_t toLong(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double d = dao::StrToDoubleC(begin, &end);
    if (end == begin) throw RunTimeError(rterr::TypeMismatch);
    while (*end == ' ') ++end;
    if (*end != '\0') throw RunTimeError(rterr::TypeMismatch);
    double r = std::nearbyint(d); // the default rounding mode: half to even
    if (errno == ERANGE || r > INT32_MAX || r < INT32_MIN) throw RunTimeError(rterr::Overflow);
    return static_cast<std::int32_t>(r);
}

} // namespace

void CProgramSettings::SetKeyValue(HKEY root, const std::string& path, const std::string& name,
                                   const std::variant<std::string, std::int32_t>& value, std::uint32_t valueType) {
    try {
        RegistryKey key = RegistryKey::Create(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                                              KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK);
        if (valueType == REG_SZ) {
            std::string text = std::holds_alternative<std::string>(value)
                                   ? std::get<std::string>(value)
                                   : std::to_string(std::get<std::int32_t>(value));
            key.SetValue(name, RegValue::String(text));
        } else if (valueType == REG_DWORD) {
            std::int32_t n = std::holds_alternative<std::int32_t>(value) ? std::get<std::int32_t>(value)
                                                                          : toLong(std::get<std::string>(value));
            key.SetValue(name, RegValue::DWord(n));
        }
        key.Close();
    } catch (...) {
        ShowRoutineError("SetKeyValue");
    }
}

CProgramSettings::KeyValue CProgramSettings::GetKeyValue(HKEY root, const std::string& path, const std::string& name) {
    KeyValue result;
    try {
        // Reading needs nothing but the right to query.
        RegistryKey key = RegistryKey::Open(root, path, KEY_QUERY_VALUE);
        if (!key) return result;
        std::optional<RegValue> v = key.QueryValue(name);
        key.Close();
        if (!v) return result;
        if (v->type == REG_SZ) {
            std::string data = v->data;
            if (!data.empty() && data.back() == '\0') data.pop_back(); // the terminating NUL only
            result = data;
        } else if (v->type == REG_DWORD) {
            result = v->dword;
        }
    } catch (...) {
        ShowRoutineError("GetKeyValue");
    }
    return result;
}
