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

#include "platform/RegistryStore.h"

namespace platform {

namespace {

// ---- SHA-256 and HMAC-SHA-256 (FIPS 180-4, RFC 2104) ------------------------

class Sha256 {
public:
    Sha256() { reset(); }
    void update(const unsigned char* data, size_t len) {
        for (size_t i = 0; i < len; ++i) {
            m_block[m_blockLen++] = data[i];
            if (m_blockLen == 64) {
                compress();
                m_blockLen = 0;
            }
        }
        m_totalBits += static_cast<std::uint64_t>(len) * 8;
    }
    void update(const std::string& s) { update(reinterpret_cast<const unsigned char*>(s.data()), s.size()); }
    std::array<unsigned char, 32> finish() {
        std::uint64_t bits = m_totalBits;
        unsigned char pad = 0x80;
        update(&pad, 1);
        unsigned char zero = 0;
        while (m_blockLen != 56) update(&zero, 1);
        unsigned char len[8];
        for (int i = 0; i < 8; ++i) len[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        update(len, 8);
        std::array<unsigned char, 32> out{};
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<unsigned char>(m_h[i] >> (24 - 8 * j));
        return out;
    }

private:
    static std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void reset() {
        static const std::uint32_t init[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        std::memcpy(m_h, init, sizeof m_h);
        m_blockLen = 0;
        m_totalBits = 0;
    }
    void compress() {
        static const std::uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t(m_block[4 * i]) << 24) | (std::uint32_t(m_block[4 * i + 1]) << 16) |
                   (std::uint32_t(m_block[4 * i + 2]) << 8) | std::uint32_t(m_block[4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3], e = m_h[4], f = m_h[5], g = m_h[6],
                      h = m_h[7];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t S1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            std::uint32_t ch = (e & f) ^ (~e & g);
            std::uint32_t t1 = h + S1 + ch + k[i] + w[i];
            std::uint32_t S0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            std::uint32_t t2 = S0 + maj;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        m_h[0] += a;
        m_h[1] += b;
        m_h[2] += c;
        m_h[3] += d;
        m_h[4] += e;
        m_h[5] += f;
        m_h[6] += g;
        m_h[7] += h;
    }

    std::uint32_t m_h[8];
    unsigned char m_block[64];
    size_t m_blockLen;
    std::uint64_t m_totalBits;
};

std::array<unsigned char, 32> hmac(const std::string& key, const std::string& message) {
    std::string k = key;
    if (k.size() > 64) {
        Sha256 h;
        h.update(k);
        auto d = h.finish();
        k.assign(reinterpret_cast<const char*>(d.data()), d.size());
    }
    k.resize(64, '\0');
    std::string ipad(64, '\0'), opad(64, '\0');
    for (int i = 0; i < 64; ++i) {
        ipad[i] = static_cast<char>(k[i] ^ 0x36);
        opad[i] = static_cast<char>(k[i] ^ 0x5c);
    }
    Sha256 inner;
    inner.update(ipad);
    inner.update(message);
    auto innerDigest = inner.finish();
    Sha256 outer;
    outer.update(opad);
    outer.update(innerDigest.data(), innerDigest.size());
    return outer.finish();
}

constexpr const char* kMarker = "~p1:";
constexpr size_t kKeySize = 32;
constexpr size_t kNonceSize = 16;
constexpr size_t kTagSize = 16;

std::string toHex(const std::string& bytes) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

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
bool userKey(bool create, std::string& key) {
    const std::string path = SecretKeyPath();
    if (readKey(path, key)) return true;
    if (!create) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string fresh;
    if (!randomBytes(fresh, kKeySize)) return false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST && readKey(path, key); // made by someone else meanwhile
    bool ok = ::write(fd, fresh.data(), fresh.size()) == static_cast<ssize_t>(fresh.size());
    ok = (::fsync(fd) == 0) && ok;
    ::close(fd);
    if (!ok) {
        ::unlink(path.c_str());
        return false;
    }
    key = fresh;
    return true;
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
    Sha256 h;
    h.update(message);
    auto d = h.finish();
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
