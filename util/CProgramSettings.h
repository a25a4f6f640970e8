#pragma once
// CProgramSettings: named string values in one key of the registry store.
//
// The owner points it at a key with up to five properties; each ReadEntry and
// WriteEntry builds the key path from them afresh (MainBranch, RegBase,
// Program and Section joined by "\", one trailing "\" removed), does one read or write and closes the
// key again. Nothing is cached. Reads open the key for reading only, so a user
// who may not write the store still reads the stored values.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/RegistryStore.h"

class CProgramSettings {
public:
    CProgramSettings() = default;

    const std::string& Section() const noexcept { return m_section; }
    void SetSection(std::string value) { m_section = std::move(value); }
    const std::string& Program() const noexcept { return m_program; }
    void SetProgram(std::string value) { m_program = std::move(value); }
    const std::string& RegBase() const noexcept { return m_regBase; }
    void SetRegBase(std::string value) { m_regBase = std::move(value); }
    const std::string& MainBranch() const noexcept { return m_mainBranch; }
    void SetMainBranch(std::string value) { m_mainBranch = std::move(value); }
    platform::HKEY RootKey() const noexcept { return m_rootKey; }
    void SetRootKey(platform::HKEY value) noexcept { m_rootKey = value; }

    // Writes the value as a string under that name, creating the key and any
    // missing parents. A failing write is silent.
    void WriteEntry(const std::string& name, const std::string& value);
    // The stored value as text (a 32-bit number as its decimal digits), or the
    // default when the value is missing, empty or of another type.
    std::string ReadEntry(const std::string& name, const std::string& defaultValue = {});

    // The key path the two calls use.
    std::string KeyPath() const;

    // What a registry read gives: nothing, a string or a 32-bit number.
    using KeyValue = std::variant<std::monostate, std::string, std::int32_t>;
    // The registry work, open to the settings' neighbours (the error report).
    // valueType 1 writes a string, 4 a 32-bit number, anything else nothing.
    static void SetKeyValue(platform::HKEY root, const std::string& path, const std::string& name,
                            const std::variant<std::string, std::int32_t>& value, std::uint32_t valueType);
    static KeyValue GetKeyValue(platform::HKEY root, const std::string& path, const std::string& name);

private:
    std::string m_section = "Settings";
    std::string m_program;
    std::string m_regBase;
    std::string m_mainBranch = "SOFTWARE";
    platform::HKEY m_rootKey = platform::HKEY_LOCAL_MACHINE;
};
