#include "platform/SecretText.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "db/Sha256.h"

namespace platform {

namespace {

// The digests come from the data-access layer's SHA-256 (db/Sha256.h).
std::string hmac(const std::string& key, const std::string& message) { return dao::HmacSha256(key, message); }

constexpr const char* kMarker = "~p1:";
constexpr size_t kKeySize = 32;
constexpr size_t kNonceSize = 16;
constexpr size_t kTagSize = 16;

std::string toHex(const std::string& bytes) { return dao::ToHex(bytes); }

bool fromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        auto digit = [](char c) {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        int h = digit(text[i]), l = digit(text[i + 1]);
        if (h < 0 || l < 0) return false;
        bytes += static_cast<char>(h * 16 + l);
    }
    return true;
}

bool randomBytes(std::string& out, size_t n) {
    out.assign(n, '\0');
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::getrandom(out.data() + done, n - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

bool readKey(const std::string& path, std::string& key) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    key.assign(kKeySize, '\0');
    ssize_t n = ::read(fd, key.data(), kKeySize);
    ::close(fd);
    return n == static_cast<ssize_t>(kKeySize);
}

// The user's key; created (owner-only) when create is set and there is none.
// A new key is written whole to a file of its own and then linked into
// place, so that a program killed meanwhile leaves no key file rather than a
// short one. A short one (of a program killed while it wrote the key) never
// served to protect a text, and is replaced.
bool userKey(bool create, std::string& key) {
    const std::string path = SecretKeyPath();
    if (create) {
        // Copies of a key that programs killed while they made it left
        // beside it (before or after linking it into place).
        platform::RemoveFilesOfDeadProcesses(path, ".~");
    }
    if (readKey(path, key)) return true;
    if (!create) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string fresh;
    if (!randomBytes(fresh, kKeySize)) return false;
    const std::string temp = path + ".~" + std::to_string(::getpid()) + "-new";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::write(fd, fresh.data(), fresh.size()) == static_cast<ssize_t>(fresh.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        if (::link(temp.c_str(), path.c_str()) == 0) {
            ::unlink(temp.c_str());
            key = fresh;
            return true;
        }
        if (readKey(path, key)) { // made by someone else meanwhile
            ::unlink(temp.c_str());
            return true;
        }
        // Still none (a file system without links), or a short one.
        struct stat st {};
        const bool replace = ::stat(path.c_str(), &st) != 0
                                 ? errno == ENOENT
                                 : S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                                       st.st_size < static_cast<off_t>(kKeySize);
        if (replace && ::rename(temp.c_str(), path.c_str()) == 0) return readKey(path, key);
    }
    ::unlink(temp.c_str());
    return false;
}

std::string keystream(const std::string& key, const std::string& nonce, size_t n) {
    std::string out;
    for (std::uint32_t counter = 0; out.size() < n; ++counter) {
        std::string block = "enc" + nonce;
        for (int i = 3; i >= 0; --i) block += static_cast<char>((counter >> (8 * i)) & 0xFF);
        auto d = hmac(key, block);
        out.append(reinterpret_cast<const char*>(d.data()), d.size());
    }
    out.resize(n);
    return out;
}

std::string tagOf(const std::string& key, const std::string& nonce, const std::string& cipher) {
    auto d = hmac(key, "mac" + nonce + cipher);
    return std::string(reinterpret_cast<const char*>(d.data()), kTagSize);
}

} // namespace

std::string Sha256Hex(const std::string& message) {
    auto d = dao::Sha256(message);
    return toHex(std::string(reinterpret_cast<const char*>(d.data()), d.size()));
}

std::string HmacSha256Hex(const std::string& key, const std::string& message) {
    auto d = hmac(key, message);
    return toHex(std::string(reinterpret_cast<const char*>(d.data()), d.size()));
}

std::string SecretKeyPath() { return RegistryStore::Path() + ".key"; }

bool IsProtectedSecret(const std::string& text) {
    if (text.rfind(kMarker, 0) != 0) return false;
    std::string bytes;
    return fromHex(text.substr(std::strlen(kMarker)), bytes) && bytes.size() >= kNonceSize + kTagSize;
}

std::string ProtectSecret(const std::string& plain) {
    std::string key, nonce;
    if (!userKey(true, key) || !randomBytes(nonce, kNonceSize)) return {};
    std::string cipher = plain;
    const std::string ks = keystream(key, nonce, plain.size());
    for (size_t i = 0; i < cipher.size(); ++i) cipher[i] = static_cast<char>(cipher[i] ^ ks[i]);
    return kMarker + toHex(nonce + cipher + tagOf(key, nonce, cipher));
}

std::optional<std::string> UnprotectSecret(const std::string& protectedText) {
    if (!IsProtectedSecret(protectedText)) return std::nullopt;
    std::string bytes;
    fromHex(protectedText.substr(std::strlen(kMarker)), bytes);
    std::string key;
    if (!userKey(false, key)) return std::nullopt;
    const std::string nonce = bytes.substr(0, kNonceSize);
    const std::string cipher = bytes.substr(kNonceSize, bytes.size() - kNonceSize - kTagSize);
    const std::string tag = bytes.substr(bytes.size() - kTagSize);
    const std::string expected = tagOf(key, nonce, cipher);
    unsigned char diff = 0;
    for (size_t i = 0; i < kTagSize; ++i) diff |= static_cast<unsigned char>(tag[i] ^ expected[i]);
    if (diff != 0) return std::nullopt;
    std::string plain = cipher;
    const std::string ks = keystream(key, nonce, cipher.size());
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(plain[i] ^ ks[i]);
    return plain;
}

} // namespace platform
