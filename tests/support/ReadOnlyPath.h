#pragma once
// A file or folder that nobody may write to for the life of the object, the
// administrator included (for root the file system's immutable flag stands in
// for the missing write permission). Afterwards it is writable again.
#include <string>

namespace vtest {

class ReadOnlyPath {
public:
    explicit ReadOnlyPath(std::string path);
    ~ReadOnlyPath();
    ReadOnlyPath(const ReadOnlyPath&) = delete;
    ReadOnlyPath& operator=(const ReadOnlyPath&) = delete;

    // False when this system could not make it read-only (the test skips).
    bool Effective() const;

private:
    std::string m_path;
    bool m_immutable = false;
};

} // namespace vtest
