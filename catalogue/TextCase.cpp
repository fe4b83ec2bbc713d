#include "catalogue/TextCase.h"

namespace {

constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the UTF-8 sequence at p and its character; 0 when none starts
// there.
std::size_t Utf8At(const unsigned char* p, std::size_t nLeft, char32_t& ch) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        ch = c;
        return 1;
    }
    std::size_t nMore = 0;
    char32_t nMin = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        nMore = 1, nMin = 0x80, ch = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        nMore = 2, nMin = 0x800, ch = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        nMore = 3, nMin = 0x10000, ch = c & 0x07;
    } else {
        return 0;
    }
    if (nLeft <= nMore) {
        return 0;
    }
    for (std::size_t k = 1; k <= nMore; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return 0;
        }
        ch = (ch << 6) | (p[k] & 0x3F);
    }
    if (ch < nMin || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        return 0;
    }
    return nMore + 1;
}

}  // namespace

bool IsValidUtf8(std::string_view strBytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(strBytes.data());
    std::size_t nLeft = strBytes.size();
    while (nLeft > 0) {
        char32_t ch = 0;
        const std::size_t n = *p < 0x80 ? 1 : Utf8At(p, nLeft, ch);
        if (n == 0) {
            return false;
        }
        p += n;
        nLeft -= n;
    }
    return true;
}

char32_t Cp1252Char(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
}

void DecodeText(std::string_view strBytes, std::u32string& strOut) {
    strOut.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(strBytes.data());
    if (IsValidUtf8(strBytes)) {
        std::size_t nLeft = strBytes.size();
        while (nLeft > 0) {
            char32_t ch = 0;
            const std::size_t n = Utf8At(p, nLeft, ch);
            strOut += ch;
            p += n;
            nLeft -= n;
        }
        return;
    }
    for (std::size_t i = 0; i < strBytes.size(); ++i) {
        strOut += Cp1252Char(p[i]);
    }
}

void AppendUtf8(std::string& str, char32_t ch) {
    if (ch < 0x80) {
        str += static_cast<char>(ch);
        return;
    }
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int nMore = ch < 0x800 ? 1 : (ch < 0x10000 ? 2 : 3);
    str += static_cast<char>(kLead[nMore] | (ch >> (6 * nMore)));
    for (int k = nMore - 1; k >= 0; --k) {
        str += static_cast<char>(0x80 | ((ch >> (6 * k)) & 0x3F));
    }
}

std::string TextAsUtf8(std::string_view strBytes) {
    if (IsValidUtf8(strBytes)) {
        return std::string(strBytes);
    }
    std::string str;
    str.reserve(strBytes.size() * 2);
    for (char c : strBytes) {
        AppendUtf8(str, Cp1252Char(static_cast<unsigned char>(c)));
    }
    return str;
}

char32_t FoldCase(char32_t ch) {
    if (ch < 0x80) {
        return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch;
    }
    if ((ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) || (ch >= 0x391 && ch <= 0x3AB && ch != 0x3A2) ||
        (ch >= 0x410 && ch <= 0x42F)) {
        return ch + 32;
    }
    if (ch >= 0x400 && ch <= 0x40F) {
        return ch + 80;
    }
    if (ch == 0x178) {
        return 0xFF;
    }
    // Latin Extended-A pairs an upper-case letter with the next code: at even
    // codes, and at odd ones from U+0139 to U+0148 and U+0179 to U+017E.
    const bool bOddPairs = (ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E);
    const bool bEvenPairs = (ch >= 0x100 && ch <= 0x12F) || (ch >= 0x132 && ch <= 0x137) ||
                            (ch >= 0x14A && ch <= 0x177);
    if ((bOddPairs && ch % 2 == 1) || (bEvenPairs && ch % 2 == 0)) {
        return ch + 1;
    }
    return ch;
}

void FoldText(std::string_view strBytes, std::u32string& strOut) {
    DecodeText(strBytes, strOut);
    for (char32_t& ch : strOut) {
        ch = FoldCase(ch);
    }
}
