#pragma once
// SHA-256 and PBKDF2-HMAC-SHA256, for the password hashes of workgroup and
// database files.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dao {

std::array<std::uint8_t, 32> Sha256(std::string_view data);
// HMAC-SHA-256 of a message under a key (32 raw bytes).
std::string HmacSha256(std::string_view key, std::string_view message);
std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations, std::size_t length);
std::string ToHex(std::string_view bytes);

} // namespace dao
