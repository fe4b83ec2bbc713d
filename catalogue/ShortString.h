// Shortening a text that does not fit its column: its longest fitting
// beginning followed by "...".
#pragma once

#include <functional>
#include <string>

// The width in pixels of a text in the control's font.
using CTextMeasure = std::function<int(const std::wstring&)>;

// The text itself when it fits nColumnWidth with nOffset pixels to spare, else a
// shortened copy ending in "...". At least one character is kept.
std::wstring MakeShortString(const CTextMeasure& measure, const std::wstring& strText,
                             int nColumnWidth, int nOffset);
