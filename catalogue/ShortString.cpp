#include "catalogue/ShortString.h"

std::wstring MakeShortString(const CTextMeasure& measure, const std::wstring& strText,
                             int nColumnWidth, int nOffset) {
    if (strText.empty() || measure(strText) + nOffset <= nColumnWidth) {
        return strText;
    }
    // The dots are measured with the end zero, as four characters: the margin
    // this leaves is part of how shortened texts look.
    const int nDots = measure(std::wstring(L"...\0", 4));
    std::wstring strShort = strText;
    for (std::size_t n = strText.size() - 1; n >= 1; --n) {
        strShort.resize(n);
        if (n == 1 || measure(strShort) + nDots + nOffset <= nColumnWidth) {
            break;
        }
    }
    return strShort + L"...";
}
