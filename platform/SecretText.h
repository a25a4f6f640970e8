#pragma once
// Secrets (saved passwords) in the user's settings are never stored in clear
// text. ProtectSecret encrypts a text with a per-user key kept in a file beside
// the registry store (created on first use, readable by its owner only) and
// returns a printable form "~p1:" followed by hexadecimal digits;
// UnprotectSecret reverses it and gives nothing when the text was not
// protected with this user's key or has been altered.
#include <optional>
#include <string>

namespace platform {

std::string ProtectSecret(const std::string& plain);
std::optional<std::string> UnprotectSecret(const std::string& protectedText);
// True when the text has the form ProtectSecret gives.
bool IsProtectedSecret(const std::string& text);

// The digests the protection is built on, as lower-case hexadecimal text:
// SHA-256 of a message and HMAC-SHA-256 of a message under a key.
std::string Sha256Hex(const std::string& message);
std::string HmacSha256Hex(const std::string& key, const std::string& message);

// The key file in use: the registry store's path followed by ".key".
std::string SecretKeyPath();

} // namespace platform
