#include "platform/Files.h"

#include <cerrno>
#include <cstddef>

#include <unistd.h>

namespace platform {

bool WriteAll(int fd, std::string_view text) noexcept {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace platform
