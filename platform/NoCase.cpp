#include "platform/NoCase.h"

#include <algorithm>
#include <bit>
#include <cstring>

int CompareNoCase(const char* a, std::size_t la, const char* b, std::size_t lb) {
    const std::size_t n = la < lb ? la : lb;
    // Keys that are compared often share long prefixes (the same URL twice):
    // eight equal bytes are passed at once, and only bytes that differ are folded.
    for (std::size_t i = 0; i < n;) {
        if (i + 8 <= n) {
            std::uint64_t x = 0;
            std::uint64_t y = 0;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x == y) {
                i += 8;
                continue;
            }
        }
        for (const std::size_t nEnd = std::min(i + 8, n); i < nEnd; ++i) {
            if (a[i] == b[i]) {
                continue;
            }
            const auto ca = static_cast<unsigned char>(FoldLower(a[i]));
            const auto cb = static_cast<unsigned char>(FoldLower(b[i]));
            if (ca != cb) {
                return ca < cb ? -1 : 1;
            }
        }
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

std::string FoldedLower(std::string_view str) {
    std::string strFolded(str);
    for (char& c : strFolded) {
        c = FoldLower(c);
    }
    return strFolded;
}

std::uint64_t FoldedWord(std::string_view str, std::size_t nOffset, bool bFold) {
    std::uint64_t n = 0;
    if (nOffset < str.size()) {
        std::memcpy(&n, str.data() + nOffset, std::min<std::size_t>(8, str.size() - nOffset));
    }
    if (bFold) {
        // All eight bytes at once: those from 'A' to 'Z' gain 0x20.
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        const std::uint64_t nLow = n & (0x7F * kOnes);
        const std::uint64_t nFromA = nLow + (0x80 - 'A') * kOnes;
        const std::uint64_t nBeyondZ = nLow + (0x7F - 'Z') * kOnes;
        n |= (~n & (nFromA ^ nBeyondZ) & (0x80 * kOnes)) >> 2;
    }
    if constexpr (std::endian::native == std::endian::little) {
        n = __builtin_bswap64(n);
    }
    return n;
}
