#include "support/ReadOnlyPath.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace vtest {

namespace {

bool SetImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

ReadOnlyPath::ReadOnlyPath(std::string path) : m_path(std::move(path)) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, ec);
    if (::geteuid() == 0)
        m_immutable = SetImmutable(m_path, true);
}

ReadOnlyPath::~ReadOnlyPath() {
    if (m_immutable)
        SetImmutable(m_path, false);
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
}

bool ReadOnlyPath::Effective() const {
    return ::access(m_path.c_str(), W_OK) != 0;
}

} // namespace vtest
