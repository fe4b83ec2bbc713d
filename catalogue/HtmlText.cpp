#include "catalogue/HtmlText.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "catalogue/TextCase.h"

namespace {

// The names of HTML 4 for U+00A0 to U+00FF, in the order of their characters.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// Named references beyond Latin-1 that exports hold; all are Windows-1252 characters.
constexpr struct {
    const char* pszName;
    char32_t ch;
} kOtherNames[] = {{"euro", 0x20AC},   {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},
                   {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
                   {"bdquo", 0x201E},  {"hellip", 0x2026}, {"trade", 0x2122},  {"bull", 0x2022},
                   {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030}, {"lsaquo", 0x2039},
                   {"rsaquo", 0x203A}, {"OElig", 0x0152},  {"oelig", 0x0153},  {"Scaron", 0x0160},
                   {"scaron", 0x0161}, {"Yuml", 0x0178},   {"fnof", 0x0192},   {"circ", 0x02C6},
                   {"tilde", 0x02DC}};

// The character of the named reference "&name;" beyond ASCII, or 0.
char32_t NamedChar(std::string_view strName) {
    for (std::size_t i = 0; i < std::size(kLatin1Names); ++i) {
        if (strName == kLatin1Names[i]) {
            return static_cast<char32_t>(0xA0 + i);
        }
    }
    for (const auto& named : kOtherNames) {
        if (strName == named.pszName) {
            return named.ch;
        }
    }
    return 0;
}

// The character that the reference at the start of strText stands for, and
// its length; 0 when it starts none that is decoded. A URL never takes in a
// control character: a line break would cut its shortcut file. Characters
// beyond ASCII are decoded in names only.
std::size_t ReferenceAt(std::string_view strText, char32_t& ch, bool bURL) {
    static constexpr struct {
        const char* pszName;
        char c;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& named : kNamed) {
        if (strText.starts_with(named.pszName)) {
            ch = static_cast<unsigned char>(named.c);
            return std::strlen(named.pszName);
        }
    }
    if (strText.size() >= 3 && strText[1] != '#' && !bURL) {
        // No name is longer than six letters.
        const std::size_t nEnd = strText.substr(0, 8).find(';');
        ch = nEnd != std::string_view::npos ? NamedChar(strText.substr(1, nEnd - 1)) : 0;
        return ch != 0 ? nEnd + 1 : 0;
    }
    if (strText.size() < 4 || strText[1] != '#') {
        return 0;
    }
    const bool bHex = strText[2] == 'x' || strText[2] == 'X';
    unsigned nValue = 0;
    std::size_t i = bHex ? 3 : 2;
    const std::size_t nDigits = i;
    // Seven digits at most: leading zeros aside, nothing longer is a character.
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
    if (i == nDigits || i >= strText.size() || strText[i] != ';' || nValue == 0) {
        return 0;
    }
    if (nValue < 0x80) {
        const bool bControl = nValue < 0x20 || nValue == 0x7F;
        ch = nValue;
        return bURL && bControl ? 0 : i + 1;
    }
    // As in HTML, 128 to 159 stand for the Windows-1252 characters of those
    // bytes; the five bytes without one would be control characters.
    ch = nValue < 0xA0 ? Cp1252Char(static_cast<unsigned char>(nValue)) : nValue;
    const bool bChar = ch >= 0xA0 && ch <= 0x10FFFF && (ch < 0xD800 || ch > 0xDFFF);
    return !bURL && bChar ? i + 1 : 0;
}

// How the characters beyond ASCII of a name are written, if at all.
enum class EHigh { KEEP, UTF8, CP1252 };

// Appends ch in the encoding given; false when it has no bytes there.
bool AppendChar(std::string& str, char32_t ch, EHigh high) {
    if (ch < 0x80) {
        str += static_cast<char>(ch);
        return true;
    }
    if (high == EHigh::UTF8) {
        AppendUtf8(str, ch);
        return true;
    }
    if (high == EHigh::CP1252) {
        for (unsigned c = 0x80; c <= 0xFF; ++c) {
            if (Cp1252Char(static_cast<unsigned char>(c)) == ch) {
                str += static_cast<char>(c);
                return true;
            }
        }
    }
    return false;
}

std::string Decode(std::string_view strText, std::size_t nAmp, bool bURL, EHigh high) {
    std::string strPlain(strText.substr(0, nAmp));
    while (nAmp < strText.size()) {
        char32_t ch = 0;
        const std::size_t nLength =
            strText[nAmp] == '&' ? ReferenceAt(strText.substr(nAmp), ch, bURL) : 0;
        if (nLength != 0 && AppendChar(strPlain, ch, high)) {
            nAmp += nLength;
        } else {
            strPlain += strText[nAmp++];
        }
    }
    return strPlain;
}

}  // namespace

std::string DecodeHtml(std::string_view strText, bool bURL) {
    const std::size_t nAmp = strText.find('&');
    if (nAmp == std::string_view::npos) {
        return std::string(strText);
    }
    if (bURL || IsValidUtf8(strText)) {
        return Decode(strText, nAmp, bURL, EHigh::UTF8);
    }
    // Windows-1252 bytes that happen to form UTF-8 would be shown as other
    // characters: then the name keeps its references beyond ASCII.
    std::string strPlain = Decode(strText, nAmp, bURL, EHigh::CP1252);
    return IsValidUtf8(strPlain) ? Decode(strText, nAmp, bURL, EHigh::KEEP) : strPlain;
}

std::string EscapeHtmlName(std::string_view strText) {
    std::string strHtml;
    strHtml.reserve(strText.size());
    AppendHtmlName(strHtml, strText);
    return strHtml;
}

std::string EscapeHtmlURL(std::string_view strText) {
    std::string strHtml;
    strHtml.reserve(strText.size());
    AppendHtmlURL(strHtml, strText);
    return strHtml;
}

std::size_t FindHtmlSpecial(std::string_view strText, std::size_t nFrom) {
    const auto special = [](char c) {
        return c == '&' || c == '"' || c == '<' || c == '>' || c == '\n' || c == '\r';
    };
    std::size_t i = nFrom;
#if defined(__SSE2__)
    // Sixteen bytes at a time: URLs are long, and most hold none of these.
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i quot = _mm_set1_epi8('"');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= strText.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(strText.data() + i));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, quot)),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt))),
                         _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (const int nMask = _mm_movemask_epi8(hit)) {
            return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(nMask)));
        }
    }
#endif
    for (; i < strText.size(); ++i) {
        if (special(strText[i])) {
            return i;
        }
    }
    return std::string_view::npos;
}

void AppendHtmlName(std::string& strHtml, std::string_view strText) {
    // Runs of text that need no escape are copied whole.
    std::size_t nStart = 0;
    for (std::size_t i = FindHtmlSpecial(strText, 0); i != std::string_view::npos;
         i = FindHtmlSpecial(strText, i + 1)) {
        const char* pszEscape = nullptr;
        switch (strText[i]) {
            case '&':
                pszEscape = "&amp;";
                break;
            case '<':
                pszEscape = "&lt;";
                break;
            case '>':
                pszEscape = "&gt;";
                break;
            case '\n':
                pszEscape = "&#10;";
                break;
            case '\r':
                pszEscape = "&#13;";
                break;
            default:
                continue;
        }
        strHtml.append(strText.substr(nStart, i - nStart));
        strHtml += pszEscape;
        nStart = i + 1;
    }
    strHtml.append(strText.substr(nStart));
}

void AppendHtmlURL(std::string& strHtml, std::string_view strText) {
    std::size_t nStart = 0;
    for (std::size_t i = FindHtmlSpecial(strText, 0); i != std::string_view::npos;
         i = FindHtmlSpecial(strText, i + 1)) {
        char32_t ch = 0;
        const char* pszEscape = nullptr;
        if (strText[i] == '"') {
            pszEscape = "&quot;";
        } else if (strText[i] == '&' && ReferenceAt(strText.substr(i), ch, true) != 0) {
            pszEscape = "&amp;";
        } else {
            continue;
        }
        strHtml.append(strText.substr(nStart, i - nStart));
        strHtml += pszEscape;
        nStart = i + 1;
    }
    strHtml.append(strText.substr(nStart));
}
