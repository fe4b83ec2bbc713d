#include "ui/WxText.h"

wxString TextFromBytes(const std::string& strBytes) {
    if (IsValidUtf8(strBytes)) {
        return wxString::FromUTF8(strBytes.data(), strBytes.size());
    }
    std::wstring str;
    str.reserve(strBytes.size());
    for (char ch : strBytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        str += static_cast<wchar_t>(Cp1252Char(c));
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
            unsigned char b = 0x80;
            while (b < 0xA0 && Cp1252Char(b) != c) {
                ++b;
            }
            if (b == 0xA0) {
                bAll = false;
                break;
            }
            strBytes += static_cast<char>(b);
        }
        if (bAll) {
            return strBytes;
        }
    }
    const wxScopedCharBuffer utf8 = str.utf8_str();
    return std::string(utf8.data(), utf8.length());
}
