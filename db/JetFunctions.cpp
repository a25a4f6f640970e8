#include "db/JetFunctions.h"

#include "db/DaoError.h"
#include "db/NumberText.h"
#include "db/Variant.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace dao {

namespace {

// ---------------------------------------------------------------------------
// UTF-8 and letter case
// ---------------------------------------------------------------------------

// Decodes one code point at s[i] and advances i. A byte that does not start a
// valid sequence stands for itself (as a Latin-1 character), so every byte
// string maps to one sequence of code points and the order stays total.
char32_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
    if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return b0;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms and surrogates are not valid either.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return b0;
    }
    i += static_cast<std::size_t>(len);
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string toCodePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) out += decodeUtf8(s, i);
    return out;
}

std::string fromCodePoints(const std::u32string& cps) {
    std::string out;
    out.reserve(cps.size());
    for (char32_t c : cps) appendUtf8(out, c);
    return out;
}

// The capital letters beyond Latin-1 and the small letters they fold onto,
// as runs: every `stride`-th code point from `first` to `last` is a capital,
// its small letter `delta` away. (Unicode's one-to-one lower-case mappings;
// a capital whose small letter is an ASCII one, as the Kelvin sign's, keeps
// its own.)
struct FoldRun {
    char32_t first, last;
    std::int32_t delta;
    std::uint8_t stride;
};
constexpr FoldRun kFoldRuns[] = {
    {0x100, 0x12E, 1, 2}, {0x132, 0x136, 1, 2}, {0x139, 0x147, 1, 2}, {0x14A, 0x176, 1, 2}, {0x178, 0x178, -121, 1},
    {0x179, 0x17D, 1, 2}, {0x181, 0x181, 210, 1}, {0x182, 0x184, 1, 2}, {0x186, 0x186, 206, 1}, {0x187, 0x187, 1, 1},
    {0x189, 0x18A, 205, 1}, {0x18B, 0x18B, 1, 1}, {0x18E, 0x18E, 79, 1}, {0x18F, 0x18F, 202, 1},
    {0x190, 0x190, 203, 1}, {0x191, 0x191, 1, 1}, {0x193, 0x193, 205, 1}, {0x194, 0x194, 207, 1},
    {0x196, 0x196, 211, 1}, {0x197, 0x197, 209, 1}, {0x198, 0x198, 1, 1}, {0x19C, 0x19C, 211, 1},
    {0x19D, 0x19D, 213, 1}, {0x19F, 0x19F, 214, 1}, {0x1A0, 0x1A4, 1, 2}, {0x1A6, 0x1A6, 218, 1},
    {0x1A7, 0x1A7, 1, 1}, {0x1A9, 0x1A9, 218, 1}, {0x1AC, 0x1AC, 1, 1}, {0x1AE, 0x1AE, 218, 1}, {0x1AF, 0x1AF, 1, 1},
    {0x1B1, 0x1B2, 217, 1}, {0x1B3, 0x1B5, 1, 2}, {0x1B7, 0x1B7, 219, 1}, {0x1B8, 0x1B8, 1, 1}, {0x1BC, 0x1BC, 1, 1},
    {0x1C4, 0x1C4, 2, 1}, {0x1C5, 0x1C5, 1, 1}, {0x1C7, 0x1C7, 2, 1}, {0x1C8, 0x1C8, 1, 1}, {0x1CA, 0x1CA, 2, 1},
    {0x1CB, 0x1DB, 1, 2}, {0x1DE, 0x1EE, 1, 2}, {0x1F1, 0x1F1, 2, 1}, {0x1F2, 0x1F4, 1, 2}, {0x1F6, 0x1F6, -97, 1},
    {0x1F7, 0x1F7, -56, 1}, {0x1F8, 0x21E, 1, 2}, {0x220, 0x220, -130, 1}, {0x222, 0x232, 1, 2},
    {0x23A, 0x23A, 10795, 1}, {0x23B, 0x23B, 1, 1}, {0x23D, 0x23D, -163, 1}, {0x23E, 0x23E, 10792, 1},
    {0x241, 0x241, 1, 1}, {0x243, 0x243, -195, 1}, {0x244, 0x244, 69, 1}, {0x245, 0x245, 71, 1},
    {0x246, 0x24E, 1, 2}, {0x370, 0x372, 1, 2}, {0x376, 0x376, 1, 1}, {0x37F, 0x37F, 116, 1}, {0x386, 0x386, 38, 1},
    {0x388, 0x38A, 37, 1}, {0x38C, 0x38C, 64, 1}, {0x38E, 0x38F, 63, 1}, {0x391, 0x3A1, 32, 1},
    {0x3A3, 0x3AB, 32, 1}, {0x3CF, 0x3CF, 8, 1}, {0x3D8, 0x3EE, 1, 2}, {0x3F4, 0x3F4, -60, 1}, {0x3F7, 0x3F7, 1, 1},
    {0x3F9, 0x3F9, -7, 1}, {0x3FA, 0x3FA, 1, 1}, {0x3FD, 0x3FF, -130, 1}, {0x400, 0x40F, 80, 1},
    {0x410, 0x42F, 32, 1}, {0x460, 0x480, 1, 2}, {0x48A, 0x4BE, 1, 2}, {0x4C0, 0x4C0, 15, 1}, {0x4C1, 0x4CD, 1, 2},
    {0x4D0, 0x52E, 1, 2}, {0x531, 0x556, 48, 1}, {0x10A0, 0x10C5, 7264, 1}, {0x10C7, 0x10C7, 7264, 1},
    {0x10CD, 0x10CD, 7264, 1}, {0x13A0, 0x13EF, 38864, 1}, {0x13F0, 0x13F5, 8, 1}, {0x1C90, 0x1CBA, -3008, 1},
    {0x1CBD, 0x1CBF, -3008, 1}, {0x1E00, 0x1E94, 1, 2}, {0x1E9E, 0x1E9E, -7615, 1}, {0x1EA0, 0x1EFE, 1, 2},
    {0x1F08, 0x1F0F, -8, 1}, {0x1F18, 0x1F1D, -8, 1}, {0x1F28, 0x1F2F, -8, 1}, {0x1F38, 0x1F3F, -8, 1},
    {0x1F48, 0x1F4D, -8, 1}, {0x1F59, 0x1F5F, -8, 2}, {0x1F68, 0x1F6F, -8, 1}, {0x1F88, 0x1F8F, -8, 1},
    {0x1F98, 0x1F9F, -8, 1}, {0x1FA8, 0x1FAF, -8, 1}, {0x1FB8, 0x1FB9, -8, 1}, {0x1FBA, 0x1FBB, -74, 1},
    {0x1FBC, 0x1FBC, -9, 1}, {0x1FC8, 0x1FCB, -86, 1}, {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1}, {0x1FE8, 0x1FE9, -8, 1}, {0x1FEA, 0x1FEB, -112, 1}, {0x1FEC, 0x1FEC, -7, 1},
    {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1}, {0x1FFC, 0x1FFC, -9, 1}, {0x2126, 0x2126, -7517, 1},
    {0x212B, 0x212B, -8262, 1}, {0x2132, 0x2132, 28, 1}, {0x2160, 0x216F, 16, 1}, {0x2183, 0x2183, 1, 1},
    {0x24B6, 0x24CF, 26, 1}, {0x2C00, 0x2C2F, 48, 1}, {0x2C60, 0x2C60, 1, 1}, {0x2C62, 0x2C62, -10743, 1},
    {0x2C63, 0x2C63, -3814, 1}, {0x2C64, 0x2C64, -10727, 1}, {0x2C67, 0x2C6B, 1, 2}, {0x2C6D, 0x2C6D, -10780, 1},
    {0x2C6E, 0x2C6E, -10749, 1}, {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1}, {0x2C72, 0x2C72, 1, 1},
    {0x2C75, 0x2C75, 1, 1}, {0x2C7E, 0x2C7F, -10815, 1}, {0x2C80, 0x2CE2, 1, 2}, {0x2CEB, 0x2CED, 1, 2},
    {0x2CF2, 0x2CF2, 1, 1}, {0xA640, 0xA66C, 1, 2}, {0xA680, 0xA69A, 1, 2}, {0xA722, 0xA72E, 1, 2},
    {0xA732, 0xA76E, 1, 2}, {0xA779, 0xA77B, 1, 2}, {0xA77D, 0xA77D, -35332, 1}, {0xA77E, 0xA786, 1, 2},
    {0xA78B, 0xA78B, 1, 1}, {0xA78D, 0xA78D, -42280, 1}, {0xA790, 0xA792, 1, 2}, {0xA796, 0xA7A8, 1, 2},
    {0xA7AA, 0xA7AA, -42308, 1}, {0xA7AB, 0xA7AB, -42319, 1}, {0xA7AC, 0xA7AC, -42315, 1},
    {0xA7AD, 0xA7AD, -42305, 1}, {0xA7AE, 0xA7AE, -42308, 1}, {0xA7B0, 0xA7B0, -42258, 1},
    {0xA7B1, 0xA7B1, -42282, 1}, {0xA7B2, 0xA7B2, -42261, 1}, {0xA7B3, 0xA7B3, 928, 1}, {0xA7B4, 0xA7C2, 1, 2},
    {0xA7C4, 0xA7C4, -48, 1}, {0xA7C5, 0xA7C5, -42307, 1}, {0xA7C6, 0xA7C6, -35384, 1}, {0xA7C7, 0xA7C9, 1, 2},
    {0xA7D0, 0xA7D0, 1, 1}, {0xA7D6, 0xA7D8, 1, 2}, {0xA7F5, 0xA7F5, 1, 1}, {0xFF21, 0xFF3A, 32, 1},
    {0x10400, 0x10427, 40, 1}, {0x104B0, 0x104D3, 40, 1}, {0x10570, 0x1057A, 39, 1}, {0x1057C, 0x1058A, 39, 1},
    {0x1058C, 0x10592, 39, 1}, {0x10594, 0x10595, 39, 1}, {0x10C80, 0x10CB2, 64, 1}, {0x118A0, 0x118BF, 32, 1},
    {0x16E40, 0x16E5F, 32, 1}, {0x1E900, 0x1E921, 34, 1}
};

// The letter of `runs` that c maps to, or c itself.
template <std::size_t N>
char32_t lookUp(const FoldRun (&runs)[N], char32_t c) {
    // The last run that starts at or before c.
    const FoldRun* run = std::upper_bound(runs, runs + N, c, [](char32_t v, const FoldRun& r) { return v < r.first; });
    if (run == runs) return c;
    --run;
    if (c > run->last || (c - run->first) % run->stride != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

// Lower case used for comparing: the capitals of every script that has
// letter case (Latin, Greek, Cyrillic, Armenian, Georgian, fullwidth forms
// ...) fold onto their small letters, and the final sigma onto sigma.
char32_t foldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c < 0x100) return c;
    if (c == 0x3C2) return 0x3C3;
    return lookUp(kFoldRuns, c);
}

// The small letters beyond Latin-1 and their capitals, as kFoldRuns holds
// the capitals (Unicode's one-to-one upper-case mappings; a small letter
// whose capital is an ASCII one, as the dotless i's, keeps its own).
constexpr FoldRun kUpperRuns[] = {
    {0x101, 0x12F, -1, 2}, {0x133, 0x137, -1, 2}, {0x13A, 0x148, -1, 2}, {0x14B, 0x177, -1, 2},
    {0x17A, 0x17E, -1, 2}, {0x180, 0x180, 195, 1}, {0x183, 0x185, -1, 2}, {0x188, 0x188, -1, 1},
    {0x18C, 0x18C, -1, 1}, {0x192, 0x192, -1, 1}, {0x195, 0x195, 97, 1}, {0x199, 0x199, -1, 1},
    {0x19A, 0x19A, 163, 1}, {0x19E, 0x19E, 130, 1}, {0x1A1, 0x1A5, -1, 2}, {0x1A8, 0x1A8, -1, 1},
    {0x1AD, 0x1AD, -1, 1}, {0x1B0, 0x1B0, -1, 1}, {0x1B4, 0x1B6, -1, 2}, {0x1B9, 0x1B9, -1, 1},
    {0x1BD, 0x1BD, -1, 1}, {0x1BF, 0x1BF, 56, 1}, {0x1C5, 0x1C5, -1, 1}, {0x1C6, 0x1C6, -2, 1},
    {0x1C8, 0x1C8, -1, 1}, {0x1C9, 0x1C9, -2, 1}, {0x1CB, 0x1CB, -1, 1}, {0x1CC, 0x1CC, -2, 1},
    {0x1CE, 0x1DC, -1, 2}, {0x1DD, 0x1DD, -79, 1}, {0x1DF, 0x1EF, -1, 2}, {0x1F2, 0x1F2, -1, 1},
    {0x1F3, 0x1F3, -2, 1}, {0x1F5, 0x1F5, -1, 1}, {0x1F9, 0x21F, -1, 2}, {0x223, 0x233, -1, 2},
    {0x23C, 0x23C, -1, 1}, {0x23F, 0x240, 10815, 1}, {0x242, 0x242, -1, 1}, {0x247, 0x24F, -1, 2},
    {0x250, 0x250, 10783, 1}, {0x251, 0x251, 10780, 1}, {0x252, 0x252, 10782, 1}, {0x253, 0x253, -210, 1},
    {0x254, 0x254, -206, 1}, {0x256, 0x257, -205, 1}, {0x259, 0x259, -202, 1}, {0x25B, 0x25B, -203, 1},
    {0x25C, 0x25C, 42319, 1}, {0x260, 0x260, -205, 1}, {0x261, 0x261, 42315, 1}, {0x263, 0x263, -207, 1},
    {0x265, 0x265, 42280, 1}, {0x266, 0x266, 42308, 1}, {0x268, 0x268, -209, 1}, {0x269, 0x269, -211, 1},
    {0x26A, 0x26A, 42308, 1}, {0x26B, 0x26B, 10743, 1}, {0x26C, 0x26C, 42305, 1}, {0x26F, 0x26F, -211, 1},
    {0x271, 0x271, 10749, 1}, {0x272, 0x272, -213, 1}, {0x275, 0x275, -214, 1}, {0x27D, 0x27D, 10727, 1},
    {0x280, 0x280, -218, 1}, {0x282, 0x282, 42307, 1}, {0x283, 0x283, -218, 1}, {0x287, 0x287, 42282, 1},
    {0x288, 0x288, -218, 1}, {0x289, 0x289, -69, 1}, {0x28A, 0x28B, -217, 1}, {0x28C, 0x28C, -71, 1},
    {0x292, 0x292, -219, 1}, {0x29D, 0x29D, 42261, 1}, {0x29E, 0x29E, 42258, 1}, {0x345, 0x345, 84, 1},
    {0x371, 0x373, -1, 2}, {0x377, 0x377, -1, 1}, {0x37B, 0x37D, 130, 1}, {0x3AC, 0x3AC, -38, 1},
    {0x3AD, 0x3AF, -37, 1}, {0x3B1, 0x3C1, -32, 1}, {0x3C2, 0x3C2, -31, 1}, {0x3C3, 0x3CB, -32, 1},
    {0x3CC, 0x3CC, -64, 1}, {0x3CD, 0x3CE, -63, 1}, {0x3D0, 0x3D0, -62, 1}, {0x3D1, 0x3D1, -57, 1},
    {0x3D5, 0x3D5, -47, 1}, {0x3D6, 0x3D6, -54, 1}, {0x3D7, 0x3D7, -8, 1}, {0x3D9, 0x3EF, -1, 2},
    {0x3F0, 0x3F0, -86, 1}, {0x3F1, 0x3F1, -80, 1}, {0x3F2, 0x3F2, 7, 1}, {0x3F3, 0x3F3, -116, 1},
    {0x3F5, 0x3F5, -96, 1}, {0x3F8, 0x3F8, -1, 1}, {0x3FB, 0x3FB, -1, 1}, {0x430, 0x44F, -32, 1},
    {0x450, 0x45F, -80, 1}, {0x461, 0x481, -1, 2}, {0x48B, 0x4BF, -1, 2}, {0x4C2, 0x4CE, -1, 2},
    {0x4CF, 0x4CF, -15, 1}, {0x4D1, 0x52F, -1, 2}, {0x561, 0x586, -48, 1}, {0x10D0, 0x10FA, 3008, 1},
    {0x10FD, 0x10FF, 3008, 1}, {0x13F8, 0x13FD, -8, 1}, {0x1C80, 0x1C80, -6254, 1}, {0x1C81, 0x1C81, -6253, 1},
    {0x1C82, 0x1C82, -6244, 1}, {0x1C83, 0x1C84, -6242, 1}, {0x1C85, 0x1C85, -6243, 1}, {0x1C86, 0x1C86, -6236, 1},
    {0x1C87, 0x1C87, -6181, 1}, {0x1C88, 0x1C88, 35266, 1}, {0x1D79, 0x1D79, 35332, 1}, {0x1D7D, 0x1D7D, 3814, 1},
    {0x1D8E, 0x1D8E, 35384, 1}, {0x1E01, 0x1E95, -1, 2}, {0x1E9B, 0x1E9B, -59, 1}, {0x1EA1, 0x1EFF, -1, 2},
    {0x1F00, 0x1F07, 8, 1}, {0x1F10, 0x1F15, 8, 1}, {0x1F20, 0x1F27, 8, 1}, {0x1F30, 0x1F37, 8, 1},
    {0x1F40, 0x1F45, 8, 1}, {0x1F51, 0x1F57, 8, 2}, {0x1F60, 0x1F67, 8, 1}, {0x1F70, 0x1F71, 74, 1},
    {0x1F72, 0x1F75, 86, 1}, {0x1F76, 0x1F77, 100, 1}, {0x1F78, 0x1F79, 128, 1}, {0x1F7A, 0x1F7B, 112, 1},
    {0x1F7C, 0x1F7D, 126, 1}, {0x1FB0, 0x1FB1, 8, 1}, {0x1FBE, 0x1FBE, -7205, 1}, {0x1FD0, 0x1FD1, 8, 1},
    {0x1FE0, 0x1FE1, 8, 1}, {0x1FE5, 0x1FE5, 7, 1}, {0x214E, 0x214E, -28, 1}, {0x2170, 0x217F, -16, 1},
    {0x2184, 0x2184, -1, 1}, {0x24D0, 0x24E9, -26, 1}, {0x2C30, 0x2C5F, -48, 1}, {0x2C61, 0x2C61, -1, 1},
    {0x2C65, 0x2C65, -10795, 1}, {0x2C66, 0x2C66, -10792, 1}, {0x2C68, 0x2C6C, -1, 2}, {0x2C73, 0x2C73, -1, 1},
    {0x2C76, 0x2C76, -1, 1}, {0x2C81, 0x2CE3, -1, 2}, {0x2CEC, 0x2CEE, -1, 2}, {0x2CF3, 0x2CF3, -1, 1},
    {0x2D00, 0x2D25, -7264, 1}, {0x2D27, 0x2D27, -7264, 1}, {0x2D2D, 0x2D2D, -7264, 1}, {0xA641, 0xA66D, -1, 2},
    {0xA681, 0xA69B, -1, 2}, {0xA723, 0xA72F, -1, 2}, {0xA733, 0xA76F, -1, 2}, {0xA77A, 0xA77C, -1, 2},
    {0xA77F, 0xA787, -1, 2}, {0xA78C, 0xA78C, -1, 1}, {0xA791, 0xA793, -1, 2}, {0xA794, 0xA794, 48, 1},
    {0xA797, 0xA7A9, -1, 2}, {0xA7B5, 0xA7C3, -1, 2}, {0xA7C8, 0xA7CA, -1, 2}, {0xA7D1, 0xA7D1, -1, 1},
    {0xA7D7, 0xA7D9, -1, 2}, {0xA7F6, 0xA7F6, -1, 1}, {0xAB53, 0xAB53, -928, 1}, {0xAB70, 0xABBF, -38864, 1},
    {0xFF41, 0xFF5A, -32, 1}, {0x10428, 0x1044F, -40, 1}, {0x104D8, 0x104FB, -40, 1}, {0x10597, 0x105A1, -39, 1},
    {0x105A3, 0x105B1, -39, 1}, {0x105B3, 0x105B9, -39, 1}, {0x105BB, 0x105BC, -39, 1}, {0x10CC0, 0x10CF2, -64, 1},
    {0x118C0, 0x118DF, -32, 1}, {0x16E60, 0x16E7F, -32, 1}, {0x1E922, 0x1E943, -34, 1}
};

// The capital of a small letter, in every script that has letter case.
char32_t upperCase(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c < 0x100) return c;
    return lookUp(kUpperRuns, c);
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

// Failures carry the engine's run-time error texts; JetFunctionErrorNumber
// maps them back to numbers.
constexpr const char* kInvalidUseOfNull = "Invalid use of Null";
constexpr const char* kTypeMismatch = "Type mismatch";
constexpr const char* kOverflow = "Overflow";
constexpr const char* kDivisionByZero = "Division by zero";
constexpr const char* kInvalidCall = "Invalid procedure call or argument";
constexpr const char* kInvalidPattern = "Invalid pattern string";

struct FunctionError {
    const char* message;
};

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view rawText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

// A text read as a number the way the conversion functions read it: blanks
// around it allowed, the whole text must be the number. The program's own
// reader, so that IsNumeric, CDbl and the operators take the texts it takes
// ("&O17", "1d5") and give the same numbers.
std::optional<double> parseNumericText(std::string_view text) {
    double d = 0;
    bool beyond = false;
    if (TextNumber(text, d, &beyond)) return d;
    if (beyond) throw FunctionError{kOverflow};
    return std::nullopt;
}

// Number of an argument; Null must have been handled by the caller.
double numberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT: {
        auto d = parseNumericText(rawText(v));
        if (!d) throw FunctionError{kTypeMismatch};
        return *d;
    }
    default: throw FunctionError{kTypeMismatch};
    }
}

std::string textOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return JetNumberText(sqlite3_value_double(v));
    default: return std::string(rawText(v));
    }
}

// Banker's rounding to a whole number (the conversion functions' rule).
double roundHalfEven(double x) { return std::nearbyint(x); }

std::int64_t wholeNumber(double x, double lo, double hi) {
    double r = roundHalfEven(x);
    if (!(r >= lo && r <= hi)) throw FunctionError{kOverflow};
    return static_cast<std::int64_t>(r);
}

constexpr double kInt64Lo = -9223372036854775808.0;
constexpr double kInt64Hi = 9223372036854774784.0; // largest double below 2^63

// A count argument (Left, Right, Mid, InStr): whole, not Null.
std::int64_t countArg(sqlite3_value* v) {
    if (isNull(v)) throw FunctionError{kInvalidUseOfNull};
    return wholeNumber(numberOf(v), kInt64Lo, kInt64Hi);
}

void resultNumber(sqlite3_context* ctx, double d) {
    if (!std::isfinite(d)) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, d);
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// Wraps a function body so that a FunctionError becomes an SQLite error.
template <void (*Body)(sqlite3_context*, int, sqlite3_value**)>
void guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        Body(ctx, argc, argv);
    } catch (const FunctionError& e) {
        sqlite3_result_error(ctx, e.message, -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

// ---------------------------------------------------------------------------
// Operators
// ---------------------------------------------------------------------------

// a & b & ...: Null counts as the empty text; all Null gives Null.
void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        if (isNull(argv[i])) continue;
        any = true;
        out += textOf(argv[i]);
    }
    if (any) resultText(ctx, out);
    else sqlite3_result_null(ctx);
}

// a + b where a text may stand: two texts are joined; otherwise the numbers
// are added, a text that is no number being a type mismatch. Null on either
// side gives Null.
void fnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    const int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    if (ta == SQLITE_TEXT && tb == SQLITE_TEXT) {
        std::string out(rawText(argv[0]));
        out += rawText(argv[1]);
        return resultText(ctx, out);
    }
    if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
        sqlite3_int64 sum = 0;
        if (!__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &sum))
            return sqlite3_result_int64(ctx, sum);
    }
    resultNumber(ctx, numberOf(argv[0]) + numberOf(argv[1]));
}

void fnPow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    double a = numberOf(argv[0]), b = numberOf(argv[1]);
    if (a < 0 && b != std::floor(b)) throw FunctionError{kInvalidCall};
    if (a == 0 && b < 0) throw FunctionError{kInvalidCall};
    resultNumber(ctx, std::pow(a, b));
}

void fnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    double a = numberOf(argv[0]), b = numberOf(argv[1]);
    if (b == 0) throw FunctionError{a == 0 ? kOverflow : kDivisionByZero};
    resultNumber(ctx, a / b);
}

// \ and Mod round both operands to whole numbers first.
void fnIntDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    std::int64_t a = wholeNumber(numberOf(argv[0]), kInt64Lo, kInt64Hi);
    std::int64_t b = wholeNumber(numberOf(argv[1]), kInt64Lo, kInt64Hi);
    if (b == 0) throw FunctionError{kDivisionByZero};
    if (b == -1 && a == INT64_MIN) throw FunctionError{kOverflow};
    sqlite3_result_int64(ctx, a / b);
}

void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    std::int64_t a = wholeNumber(numberOf(argv[0]), kInt64Lo, kInt64Hi);
    std::int64_t b = wholeNumber(numberOf(argv[1]), kInt64Lo, kInt64Hi);
    if (b == 0) throw FunctionError{kDivisionByZero};
    if (b == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, a % b);
}

// --- Like -------------------------------------------------------------------

struct PatternItem {
    enum Type { Literal, AnyOne, Digit, Star, Class };
    explicit PatternItem(Type t) : type(t) {}

    Type type;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool matches(char32_t c) const {
        switch (type) {
        case Literal: return c == ch;
        case AnyOne: return true;
        case Digit: return c >= '0' && c <= '9';
        case Class: {
            bool in = false;
            for (const auto& r : ranges)
                if (c >= r.first && c <= r.second) { in = true; break; }
            return in != negated;
        }
        case Star: break;
        }
        return false;
    }
};

// * any run, ? one character, # one digit, [abc] [a-z] [!abc] a class; the
// class brackets also quote the special characters ([*], [?], [#], [[]).
std::vector<PatternItem> compilePattern(const std::u32string& p) {
    std::vector<PatternItem> items;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        if (c == '*') {
            if (items.empty() || items.back().type != PatternItem::Star) items.emplace_back(PatternItem::Star);
        } else if (c == '?') {
            items.emplace_back(PatternItem::AnyOne);
        } else if (c == '#') {
            items.emplace_back(PatternItem::Digit);
        } else if (c == '[') {
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == ']') { // "[]" stands for nothing
                i = j;
                continue;
            }
            PatternItem item(PatternItem::Class);
            if (j < p.size() && p[j] == '!' && j + 1 < p.size() && p[j + 1] != ']') {
                item.negated = true;
                ++j;
            }
            bool closed = false;
            while (j < p.size()) {
                char32_t a = p[j];
                if (a == ']') { closed = true; break; }
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    char32_t lo = foldCase(a), hi = foldCase(p[j + 2]);
                    if (lo > hi) throw FunctionError{kInvalidPattern};
                    item.ranges.emplace_back(lo, hi);
                    j += 3;
                } else {
                    item.ranges.emplace_back(foldCase(a), foldCase(a));
                    ++j;
                }
            }
            if (!closed) throw FunctionError{kInvalidPattern};
            items.push_back(std::move(item));
            i = j;
        } else {
            PatternItem item(PatternItem::Literal);
            item.ch = foldCase(c);
            items.push_back(std::move(item));
        }
    }
    return items;
}

// Every item but the star takes exactly one character, so the classic
// matcher with one backtrack point (the last star) is complete.
bool matchPattern(const std::vector<PatternItem>& items, const std::u32string& text) {
    std::size_t ti = 0, pi = 0;
    std::size_t starItem = SIZE_MAX, starText = 0;
    while (ti < text.size()) {
        if (pi < items.size() && items[pi].type == PatternItem::Star) {
            starItem = pi++;
            starText = ti;
        } else if (pi < items.size() && items[pi].matches(text[ti])) {
            ++pi;
            ++ti;
        } else if (starItem != SIZE_MAX) {
            pi = starItem + 1;
            ti = ++starText;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].type == PatternItem::Star) ++pi;
    return pi == items.size();
}

std::u32string foldedCodePoints(std::string_view s) {
    std::u32string cps = toCodePoints(s);
    for (auto& c : cps) c = foldCase(c);
    return cps;
}

// jet_like(value, pattern): 1 / 0, Null when either is Null.
void fnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    auto items = compilePattern(toCodePoints(textOf(argv[1])));
    sqlite3_result_int(ctx, matchPattern(items, foldedCodePoints(textOf(argv[0]))) ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Expression functions
// ---------------------------------------------------------------------------

void fnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) throw FunctionError{kInvalidUseOfNull};
    // The program's own Val, so that a text has one value in a query and out of it.
    double d = 0;
    try {
        d = Val(textOf(argv[0]));
    } catch (const DaoError&) {
        throw FunctionError{kOverflow};
    }
    resultNumber(ctx, d);
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(toCodePoints(textOf(argv[0])).size()));
}

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t n = countArg(argv[1]);
    if (n < 0) throw FunctionError{kInvalidCall};
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = toCodePoints(textOf(argv[0]));
    resultText(ctx, fromCodePoints(s.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(s.size()))))));
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t n = countArg(argv[1]);
    if (n < 0) throw FunctionError{kInvalidCall};
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = toCodePoints(textOf(argv[0]));
    std::size_t k = static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(s.size())));
    resultText(ctx, fromCodePoints(s.substr(s.size() - k)));
}

// Mid(text, start[, length]), start counted from 1.
void fnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::int64_t start = countArg(argv[1]);
    if (start < 1) throw FunctionError{kInvalidCall};
    std::optional<std::int64_t> len;
    if (argc > 2) {
        len = countArg(argv[2]);
        if (*len < 0) throw FunctionError{kInvalidCall};
    }
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = toCodePoints(textOf(argv[0]));
    auto from = static_cast<std::size_t>(start - 1);
    if (from >= s.size()) return resultText(ctx, std::string());
    std::size_t count = len ? static_cast<std::size_t>(std::min<std::int64_t>(*len, static_cast<std::int64_t>(s.size() - from)))
                            : s.size() - from;
    resultText(ctx, fromCodePoints(s.substr(from, count)));
}

template <char32_t (*Map)(char32_t)>
void fnCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = toCodePoints(textOf(argv[0]));
    for (auto& c : s) c = Map(c);
    resultText(ctx, fromCodePoints(s));
}

template <bool Leading, bool Trailing>
void fnTrim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::string s = textOf(argv[0]);
    std::size_t b = 0, e = s.size();
    if (Leading) while (b < e && s[b] == ' ') ++b;
    if (Trailing) while (e > b && s[e - 1] == ' ') --e;
    resultText(ctx, s.substr(b, e - b));
}

// Int (down) and Fix (towards zero); whole numbers stay whole numbers.
template <bool Floor>
void fnIntFix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    double d = numberOf(argv[0]);
    resultNumber(ctx, Floor ? std::floor(d) : std::trunc(d));
}

void fnAbs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_value_int64(argv[0]);
        if (v == INT64_MIN) return resultNumber(ctx, 9223372036854775808.0);
        return sqlite3_result_int64(ctx, v < 0 ? -v : v);
    }
    resultNumber(ctx, std::fabs(numberOf(argv[0])));
}

double requiredNumber(sqlite3_value* v) {
    if (isNull(v)) throw FunctionError{kInvalidUseOfNull};
    return numberOf(v);
}

void fnSqr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = requiredNumber(argv[0]);
    if (d < 0) throw FunctionError{kInvalidCall};
    resultNumber(ctx, std::sqrt(d));
}

void fnLog(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = requiredNumber(argv[0]);
    if (d <= 0) throw FunctionError{kInvalidCall};
    resultNumber(ctx, std::log(d));
}

void fnExp(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultNumber(ctx, std::exp(requiredNumber(argv[0])));
}

void fnSgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = requiredNumber(argv[0]);
    sqlite3_result_int(ctx, d > 0 ? 1 : (d < 0 ? -1 : 0));
}

void fnCStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) throw FunctionError{kInvalidUseOfNull};
    resultText(ctx, textOf(argv[0]));
}

void fnCDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultNumber(ctx, requiredNumber(argv[0]));
}

// CVDate: a date as its day number, whether the file holds the number or a
// date text (ISO or m/d/yyyy, with its time) as another program writes it,
// so that one date sorts, groups and compares as one value; Null stays Null.
// Any other text (or bytes) stays as it is, as a date column's reader keeps it.
void fnCVDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
    case SQLITE_TEXT: {
        double d = 0;
        if (ParseDate(rawText(argv[0]), d)) return sqlite3_result_double(ctx, d);
        break;
    }
    default: break;
    }
    sqlite3_result_value(ctx, argv[0]);
}

// IsNumeric: True (-1) for a number and for a text that this layer reads as
// one (CDbl and the operators take it), False (0) for Null, bytes and any
// other text; it never fails.
void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    bool numeric = false;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: numeric = true; break;
    case SQLITE_TEXT:
        try {
            numeric = parseNumericText(rawText(argv[0])).has_value();
        } catch (const FunctionError&) {
            numeric = false; // beyond a double: no number CDbl could give
        }
        break;
    default: break;
    }
    sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void fnCSng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = requiredNumber(argv[0]);
    if (std::fabs(d) > FLT_MAX) throw FunctionError{kOverflow};
    resultNumber(ctx, static_cast<double>(static_cast<float>(d)));
}

void fnCLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, wholeNumber(requiredNumber(argv[0]), -2147483648.0, 2147483647.0));
}

void fnCInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, wholeNumber(requiredNumber(argv[0]), -32768.0, 32767.0));
}

void fnCBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) throw FunctionError{kInvalidUseOfNull};
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        std::string t = GeneralKey(trimBlanks(rawText(argv[0])));
        if (t == "true") return sqlite3_result_int(ctx, -1);
        if (t == "false") return sqlite3_result_int(ctx, 0);
    }
    sqlite3_result_int(ctx, numberOf(argv[0]) != 0 ? -1 : 0);
}

// The value of a Yes/No field as it is read: True (-1) for any number but 0,
// False (0) for 0 and for a Null (a Yes/No field holds none; another program
// that added the column leaves one). Another program stores True as 1, and
// SQL would compare, sum and group what is stored. A text or bytes stored
// there is no Yes/No value and is given back as it is.
void fnYesNo(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: return sqlite3_result_int(ctx, 0);
    case SQLITE_INTEGER: return sqlite3_result_int(ctx, sqlite3_value_int64(argv[0]) != 0 ? -1 : 0);
    case SQLITE_FLOAT: return sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0.0 ? -1 : 0);
    default: return sqlite3_result_value(ctx, argv[0]);
    }
}

// Round(x[, places]) to even.
void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::int64_t places = 0;
    if (argc > 1) {
        places = countArg(argv[1]);
        if (places < 0) throw FunctionError{kInvalidCall};
    }
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    double d = numberOf(argv[0]);
    if (places == 0) return resultNumber(ctx, roundHalfEven(d));
    if (places > 22) return resultNumber(ctx, d);
    double scale = std::pow(10.0, static_cast<double>(places));
    double scaled = d * scale;
    if (!std::isfinite(scaled)) return resultNumber(ctx, d);
    resultNumber(ctx, roundHalfEven(scaled) / scale);
}

// Str: a number's text with a leading blank for the sign when not negative.
void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::string t;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        t = std::to_string(sqlite3_value_int64(argv[0]));
    } else {
        t = JetNumberText(numberOf(argv[0]));
    }
    if (t.empty() || t[0] != '-') t.insert(t.begin(), ' ');
    resultText(ctx, t);
}

// InStr([start,] text, sought[, compare]): position from 1, 0 when absent.
// Compare 0 is binary, otherwise (and by default) case-blind.
void fnInStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::int64_t start = 1;
    int first = 0;
    bool binary = false;
    if (argc >= 3) {
        start = countArg(argv[0]);
        if (start < 1) throw FunctionError{kInvalidCall};
        first = 1;
        if (argc == 4) binary = countArg(argv[3]) == 0;
    }
    if (isNull(argv[first]) || isNull(argv[first + 1])) return sqlite3_result_null(ctx);
    std::u32string hay = toCodePoints(textOf(argv[first]));
    std::u32string needle = toCodePoints(textOf(argv[first + 1]));
    if (!binary) {
        for (auto& c : hay) c = foldCase(c);
        for (auto& c : needle) c = foldCase(c);
    }
    auto from = static_cast<std::size_t>(start - 1);
    if (from > hay.size()) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    std::size_t pos = hay.find(needle, from);
    sqlite3_result_int64(ctx, pos == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

// ---------------------------------------------------------------------------
// Aggregates
// ---------------------------------------------------------------------------

// First / Last: the value of the first / last row in the order the rows
// arrive (Null values included).
struct KeptValue {
    sqlite3_value* value;
    bool seen;
};

template <bool KeepLast>
void firstLastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* kept = static_cast<KeptValue*>(sqlite3_aggregate_context(ctx, sizeof(KeptValue)));
    if (!kept) return sqlite3_result_error_nomem(ctx);
    if (kept->seen && !KeepLast) return;
    sqlite3_value* copy = sqlite3_value_dup(argv[0]);
    if (!copy) return sqlite3_result_error_nomem(ctx);
    sqlite3_value_free(kept->value);
    kept->value = copy;
    kept->seen = true;
}

void firstLastFinal(sqlite3_context* ctx) {
    auto* kept = static_cast<KeptValue*>(sqlite3_aggregate_context(ctx, 0));
    if (!kept || !kept->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, kept->value);
    sqlite3_value_free(kept->value);
    kept->value = nullptr;
}

// Variance by the provisional-means (Welford) update, which keeps its
// accuracy when the values sit far from zero.
struct Moments {
    std::int64_t n;
    double mean;
    double m2;
    const char* error;
};

void momentsStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* m = static_cast<Moments*>(sqlite3_aggregate_context(ctx, sizeof(Moments)));
    if (!m) return sqlite3_result_error_nomem(ctx);
    if (m->error || isNull(argv[0])) return;
    double x;
    try {
        x = numberOf(argv[0]);
    } catch (const FunctionError& e) {
        m->error = e.message;
        return;
    }
    ++m->n;
    double d = x - m->mean;
    m->mean += d / static_cast<double>(m->n);
    m->m2 += d * (x - m->mean);
}

template <bool Sample, bool Root>
void momentsFinal(sqlite3_context* ctx) {
    auto* m = static_cast<Moments*>(sqlite3_aggregate_context(ctx, 0));
    if (m && m->error) return sqlite3_result_error(ctx, m->error, -1);
    std::int64_t need = Sample ? 2 : 1;
    if (!m || m->n < need) return sqlite3_result_null(ctx);
    double var = m->m2 / static_cast<double>(Sample ? m->n - 1 : m->n);
    if (var < 0) var = 0;
    double r = Root ? std::sqrt(var) : var;
    if (!std::isfinite(r)) return sqlite3_result_error(ctx, kOverflow, -1);
    sqlite3_result_double(ctx, r);
}

// ---------------------------------------------------------------------------
// Collation
// ---------------------------------------------------------------------------

int collateGeneral(void*, int n1, const void* p1, int n2, const void* p2) {
    return CompareGeneral(std::string_view(static_cast<const char*>(p1), static_cast<std::size_t>(n1)),
                          std::string_view(static_cast<const char*>(p2), static_cast<std::size_t>(n2)));
}

using ScalarFn = void (*)(sqlite3_context*, int, sqlite3_value**);

struct ScalarDef {
    const char* name;
    int args;
    ScalarFn fn;
};

const ScalarDef kScalars[] = {
    {"jet_concat", -1, guarded<fnConcat>},
    {"jet_add", 2, guarded<fnAdd>},
    {"jet_pow", 2, guarded<fnPow>},
    {"jet_div", 2, guarded<fnDiv>},
    {"jet_idiv", 2, guarded<fnIntDiv>},
    {"jet_mod", 2, guarded<fnMod>},
    {"jet_like", 2, guarded<fnLike>},
    {"jet_val", 1, guarded<fnVal>},
    {"jet_len", 1, guarded<fnLen>},
    {"jet_left", 2, guarded<fnLeft>},
    {"jet_right", 2, guarded<fnRight>},
    {"jet_mid", 2, guarded<fnMid>},
    {"jet_mid", 3, guarded<fnMid>},
    {"jet_ucase", 1, guarded<fnCase<upperCase>>},
    {"jet_lcase", 1, guarded<fnCase<foldCase>>},
    {"jet_trim", 1, guarded<fnTrim<true, true>>},
    {"jet_ltrim", 1, guarded<fnTrim<true, false>>},
    {"jet_rtrim", 1, guarded<fnTrim<false, true>>},
    {"jet_int", 1, guarded<fnIntFix<true>>},
    {"jet_fix", 1, guarded<fnIntFix<false>>},
    {"jet_abs", 1, guarded<fnAbs>},
    {"jet_sqr", 1, guarded<fnSqr>},
    {"jet_log", 1, guarded<fnLog>},
    {"jet_exp", 1, guarded<fnExp>},
    {"jet_sgn", 1, guarded<fnSgn>},
    {"jet_cstr", 1, guarded<fnCStr>},
    {"jet_cdbl", 1, guarded<fnCDbl>},
    {"jet_cvdate", 1, guarded<fnCVDate>},
    {"jet_isnumeric", 1, guarded<fnIsNumeric>},
    {"jet_csng", 1, guarded<fnCSng>},
    {"jet_clng", 1, guarded<fnCLng>},
    {"jet_cint", 1, guarded<fnCInt>},
    {"jet_cbool", 1, guarded<fnCBool>},
    {"jet_yesno", 1, guarded<fnYesNo>},
    {"jet_round", 1, guarded<fnRound>},
    {"jet_round", 2, guarded<fnRound>},
    {"jet_str", 1, guarded<fnStr>},
    {"jet_instr", 2, guarded<fnInStr>},
    {"jet_instr", 3, guarded<fnInStr>},
    {"jet_instr", 4, guarded<fnInStr>},
};

using StepFn = void (*)(sqlite3_context*, int, sqlite3_value**);
using FinalFn = void (*)(sqlite3_context*);

struct AggregateDef {
    const char* name;
    StepFn step;
    FinalFn final;
};

const AggregateDef kAggregates[] = {
    {"jet_first", firstLastStep<false>, firstLastFinal},
    {"jet_last", firstLastStep<true>, firstLastFinal},
    {"jet_stdev", momentsStep, momentsFinal<true, true>},
    {"jet_stdevp", momentsStep, momentsFinal<false, true>},
    {"jet_var", momentsStep, momentsFinal<true, false>},
    {"jet_varp", momentsStep, momentsFinal<false, false>},
};

} // namespace

int CompareGeneral(std::string_view a, std::string_view b) {
    // A sort by a group field compares equal texts most of the time.
    if (a == b) return 0;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca, cb;
        const auto ba = static_cast<unsigned char>(a[i]);
        const auto bb = static_cast<unsigned char>(b[j]);
        if (ba < 0x80 && bb < 0x80) { // plain ASCII on both sides
            ca = (ba >= 'A' && ba <= 'Z') ? ba + 32u : ba;
            cb = (bb >= 'A' && bb <= 'Z') ? bb + 32u : bb;
            ++i;
            ++j;
        } else {
            ca = foldCase(decodeUtf8(a, i));
            cb = foldCase(decodeUtf8(b, j));
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::string GeneralKey(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) appendUtf8(out, foldCase(decodeUtf8(text, i)));
    return out;
}

bool IsValidUtf8(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t at = i;
        decodeUtf8(text, i);
        if (i == at + 1) return false; // a byte standing for itself
    }
    return true;
}

std::string ValidUtf8(std::string text) {
    if (IsValidUtf8(text)) return text;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t k = 0; k < text.size();) appendUtf8(out, decodeUtf8(text, k));
    return out;
}

std::string JetNumberText(double value) {
    if (value == 0) return "0"; // also -0
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buf[40];
    FormatC(buf, sizeof buf, "%.15G", value);
    return buf;
}

long JetFunctionErrorNumber(std::string_view msg) {
    struct Entry {
        const char* text;
        long number;
    };
    static const Entry kEntries[] = {
        {kInvalidUseOfNull, err::InvalidUseOfNull}, {kTypeMismatch, err::TypeMismatch},
        {kOverflow, err::Overflow},                 {kDivisionByZero, 11},
        {kInvalidCall, 5},                          {kInvalidPattern, err::SyntaxError},
    };
    for (const auto& e : kEntries)
        if (msg == e.text) return e.number;
    return 0;
}

void RegisterJetFunctions(sqlite3* db) {
    if (!db) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    auto check = [db](int rc, const char* what) {
        if (rc != SQLITE_OK)
            throw DaoError(err::SqlSyntax, std::string("Could not register ") + what + ": " + sqlite3_errmsg(db), rc);
    };
    for (const auto& f : kScalars)
        check(sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr), f.name);
    for (const auto& a : kAggregates)
        check(sqlite3_create_function_v2(db, a.name, 1, flags, nullptr, nullptr, a.step, a.final, nullptr), a.name);
    check(sqlite3_create_collation_v2(db, "GENERAL", SQLITE_UTF8, nullptr, collateGeneral, nullptr), "GENERAL");
    // Every string the translator writes is single-quoted; a double-quoted
    // word must name a column, never silently become a text.
    check(sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr)), "DQS_DML");
}

} // namespace dao
