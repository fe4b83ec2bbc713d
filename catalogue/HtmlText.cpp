#include "catalogue/HtmlText.h"

#include <cstring>

namespace {

// The character that the reference at the start of strText stands for, and
// its length; 0 when it starts none that is decoded. A URL never takes in a
// control character: a line break would cut its shortcut file.
std::size_t ReferenceAt(std::string_view strText, char& c, bool bURL) {
    static constexpr struct {
        const char* pszName;
        char c;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& named : kNamed) {
        if (strText.starts_with(named.pszName)) {
            c = named.c;
            return std::strlen(named.pszName);
        }
    }
    if (strText.size() < 4 || strText[1] != '#') {
        return 0;
    }
    const bool bHex = strText[2] == 'x' || strText[2] == 'X';
    unsigned nValue = 0;
    std::size_t i = bHex ? 3 : 2;
    const std::size_t nDigits = i;
    // Seven digits at most: leading zeros aside, nothing longer is below 128.
    for (; i < strText.size() && i < nDigits + 7; ++i) {
        const char d = strText[i];
        unsigned nDigit = 0;
        if (d >= '0' && d <= '9') {
            nDigit = static_cast<unsigned>(d - '0');
        } else if (bHex && ((d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F'))) {
            nDigit = static_cast<unsigned>((d | 0x20) - 'a' + 10);
        } else {
            break;
        }
        nValue = nValue * (bHex ? 16 : 10) + nDigit;
    }
    const bool bControl = nValue < 0x20 || nValue == 0x7F;
    if (i == nDigits || i >= strText.size() || strText[i] != ';' || nValue == 0 || nValue > 127 ||
        (bURL && bControl)) {
        return 0;
    }
    c = static_cast<char>(nValue);
    return i + 1;
}

}  // namespace

std::string DecodeHtml(std::string_view strText, bool bURL) {
    std::size_t nAmp = strText.find('&');
    if (nAmp == std::string_view::npos) {
        return std::string(strText);
    }
    std::string strPlain(strText.substr(0, nAmp));
    while (nAmp < strText.size()) {
        char c = 0;
        const std::size_t nLength =
            strText[nAmp] == '&' ? ReferenceAt(strText.substr(nAmp), c, bURL) : 0;
        if (nLength != 0) {
            strPlain += c;
            nAmp += nLength;
        } else {
            strPlain += strText[nAmp++];
        }
    }
    return strPlain;
}

std::string EscapeHtmlName(std::string_view strText) {
    std::string strHtml;
    strHtml.reserve(strText.size());
    for (const char c : strText) {
        switch (c) {
            case '&':
                strHtml += "&amp;";
                break;
            case '<':
                strHtml += "&lt;";
                break;
            case '>':
                strHtml += "&gt;";
                break;
            case '\n':
                strHtml += "&#10;";
                break;
            case '\r':
                strHtml += "&#13;";
                break;
            default:
                strHtml += c;
        }
    }
    return strHtml;
}

std::string EscapeHtmlURL(std::string_view strText) {
    std::string strHtml;
    strHtml.reserve(strText.size());
    for (std::size_t i = 0; i < strText.size(); ++i) {
        char c = 0;
        if (strText[i] == '"') {
            strHtml += "&quot;";
        } else if (strText[i] == '&' && ReferenceAt(strText.substr(i), c, true) != 0) {
            strHtml += "&amp;";
        } else {
            strHtml += strText[i];
        }
    }
    return strHtml;
}
