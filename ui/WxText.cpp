#include "ui/WxText.h"

#include <algorithm>

namespace {

// Windows-1252 from 0x80 to 0x9F; the five unassigned codes keep their value.
constexpr wchar_t g_cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool IsValidUtf8(const std::string& strBytes) {
    std::size_t i = 0;
    const std::size_t n = strBytes.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(strBytes[i]);
        int nMore = 0;
        unsigned nMin = 0;
        unsigned nCode = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            nMore = 1, nMin = 0x80, nCode = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            nMore = 2, nMin = 0x800, nCode = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            nMore = 3, nMin = 0x10000, nCode = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= static_cast<std::size_t>(nMore)) {
            return false;
        }
        for (int k = 1; k <= nMore; ++k) {
            const unsigned char d = static_cast<unsigned char>(strBytes[i + k]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            nCode = (nCode << 6) | (d & 0x3F);
        }
        if (nCode < nMin || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(nMore) + 1;
    }
    return true;
}

wxString TextFromBytes(const std::string& strBytes) {
    if (IsValidUtf8(strBytes)) {
        return wxString::FromUTF8(strBytes.data(), strBytes.size());
    }
    std::wstring str;
    str.reserve(strBytes.size());
    for (char ch : strBytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        str += c >= 0x80 && c < 0xA0 ? g_cp1252High[c - 0x80] : static_cast<wchar_t>(c);
    }
    return wxString(str);
}

std::string TextToBytes(const wxString& str, bool bCp1252) {
    if (bCp1252) {
        std::string strBytes;
        bool bAll = true;
        for (wxUniChar ch : str) {
            const wxUniChar::value_type c = ch.GetValue();
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                strBytes += static_cast<char>(c);
                continue;
            }
            const wchar_t* pEnd = g_cp1252High + 32;
            const wchar_t* p = std::find(g_cp1252High, pEnd, static_cast<wchar_t>(c));
            if (p == pEnd) {
                bAll = false;
                break;
            }
            strBytes += static_cast<char>(0x80 + (p - g_cp1252High));
        }
        if (bAll) {
            return strBytes;
        }
    }
    const wxScopedCharBuffer utf8 = str.utf8_str();
    return std::string(utf8.data(), utf8.length());
}
