#pragma once
// Writing to files by their descriptors.
#include <string_view>

namespace platform {

// Writes the whole text to the file, going on after partial writes and
// interrupted calls; false at the first error (errno tells which).
bool WriteAll(int fd, std::string_view text) noexcept;

} // namespace platform
