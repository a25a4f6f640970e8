#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace vtest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnello-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TmpdirScope::TmpdirScope(const std::string& dir) {
    if (const char* old = std::getenv("TMPDIR")) {
        m_old = old;
        m_had = true;
    }
    ::setenv("TMPDIR", dir.c_str(), 1);
}

TmpdirScope::~TmpdirScope() {
    if (m_had) ::setenv("TMPDIR", m_old.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

} // namespace vtest
