#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes out of scope.
#include <filesystem>
#include <string>

namespace vtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Full path of a file inside the folder, as a string.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace vtest
