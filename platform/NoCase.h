// Comparison without regard to case as the Windows C library's _stricmp does
// it: the letters A-Z fold to lower case, other bytes compare as unsigned
// values. This decides where "_", "[", "]", "^" and "`" sort against letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline char FoldLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char FoldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int CompareNoCase(const char* a, std::size_t la, const char* b, std::size_t lb);
inline int CompareNoCase(std::string_view a, std::string_view b) {
    return CompareNoCase(a.data(), a.size(), b.data(), b.size());
}
// Inline: the readers match every tag and attribute name against a few short ones.
inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldLower(a[i]) != FoldLower(b[i])) {
            return false;
        }
    }
    return true;
}
// The text with A-Z folded, as a key that equals exactly where EqualNoCase does.
std::string FoldedLower(std::string_view str);
// Eight bytes of the text from nOffset on, A-Z folded unless bFold is false, as
// a big-endian number with zeros past the text's end. Where two texts' numbers
// differ, CompareNoCase (or a byte comparison) orders the texts as the
// numbers; where they are equal, it has to look further.
std::uint64_t FoldedWord(std::string_view str, std::size_t nOffset, bool bFold = true);
