#include "db/Sha256.h"

#include <cstring>
#include <vector>

namespace dao {

namespace {

constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

} // namespace

std::array<std::uint8_t, 32> Sha256(std::string_view data) {
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<std::uint8_t> msg(data.begin(), data.end());
    std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    msg.push_back(0x80);
    while (msg.size() % 64 != 56) msg.push_back(0);
    for (int i = 7; i >= 0; --i) msg.push_back(static_cast<std::uint8_t>(bits >> (i * 8)));
    for (std::size_t off = 0; off < msg.size(); off += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t(msg[off + 4 * i]) << 24) | (std::uint32_t(msg[off + 4 * i + 1]) << 16) |
                   (std::uint32_t(msg[off + 4 * i + 2]) << 8) | std::uint32_t(msg[off + 4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t S1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            std::uint32_t ch = (e & f) ^ (~e & g);
            std::uint32_t t1 = hh + S1 + ch + K[i] + w[i];
            std::uint32_t S0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            std::uint32_t t2 = S0 + maj;
            hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
        }
        h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
    }
    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) out[static_cast<std::size_t>(4 * i + j)] = static_cast<std::uint8_t>(h[i] >> (24 - 8 * j));
    return out;
}

std::string HmacSha256(std::string_view key, std::string_view msg) {
    std::string k(key);
    if (k.size() > 64) {
        auto d = Sha256(k);
        k.assign(d.begin(), d.end());
    }
    k.resize(64, '\0');
    std::string inner(64, '\0'), outer(64, '\0');
    for (int i = 0; i < 64; ++i) {
        inner[static_cast<std::size_t>(i)] = static_cast<char>(k[static_cast<std::size_t>(i)] ^ 0x36);
        outer[static_cast<std::size_t>(i)] = static_cast<char>(k[static_cast<std::size_t>(i)] ^ 0x5c);
    }
    auto ih = Sha256(inner + std::string(msg));
    auto oh = Sha256(outer + std::string(ih.begin(), ih.end()));
    return std::string(oh.begin(), oh.end());
}

std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations, std::size_t length) {
    std::string out;
    for (std::uint32_t block = 1; out.size() < length; ++block) {
        std::string s(salt);
        for (int i = 3; i >= 0; --i) s += static_cast<char>((block >> (8 * i)) & 0xff);
        std::string u = HmacSha256(password, s);
        std::string t = u;
        for (unsigned it = 1; it < iterations; ++it) {
            u = HmacSha256(password, u);
            for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char>(t[i] ^ u[i]);
        }
        out += t;
    }
    out.resize(length);
    return out;
}

std::string ToHex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string r;
    for (unsigned char c : bytes) {
        r += digits[c >> 4];
        r += digits[c & 15];
    }
    return r;
}

} // namespace dao
