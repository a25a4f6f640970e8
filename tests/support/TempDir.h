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

// The whole of a file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Points $TMPDIR (where the engine keeps its work folder) at `dir` for the
// lifetime of the object.
class TmpdirScope {
public:
    explicit TmpdirScope(const std::string& dir);
    ~TmpdirScope();
    TmpdirScope(const TmpdirScope&) = delete;
    TmpdirScope& operator=(const TmpdirScope&) = delete;

private:
    std::string m_old;
    bool m_had = false;
};

} // namespace vtest
