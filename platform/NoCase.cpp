#include "platform/NoCase.h"

int CompareNoCase(const char* a, std::size_t la, const char* b, std::size_t lb) {
    const std::size_t n = la < lb ? la : lb;
    for (std::size_t i = 0; i < n; ++i) {
        // Keys that are compared often share long prefixes: fold only where bytes differ.
        if (a[i] == b[i]) {
            continue;
        }
        const auto ca = static_cast<unsigned char>(FoldLower(a[i]));
        const auto cb = static_cast<unsigned char>(FoldLower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
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
    for (std::size_t i = nOffset; i < nOffset + 8; ++i) {
        const char c = i < str.size() ? str[i] : '\0';
        n = (n << 8) | static_cast<unsigned char>(bFold ? FoldLower(c) : c);
    }
    return n;
}
