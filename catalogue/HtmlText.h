// Netscape files hold names and URLs as HTML text; the catalogue and the
// Favorites hold plain text. These convert between the two.
#pragma once

#include <string>
#include <string_view>

// Where the first of "&", "\"", "<", ">", CR and LF lies from nFrom on, or
// npos: the bytes that decoding or escaping may change.
std::size_t FindHtmlSpecial(std::string_view strText, std::size_t nFrom);
// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references below 128 (but
// 0, and in a URL but control characters). A name also has its numeric
// references beyond ASCII decoded, and the named ones of Latin-1 and
// Windows-1252, in the name's own encoding: UTF-8 when it is valid UTF-8, else
// Windows-1252, where a character without a byte stays a reference. Any
// other "&" stays as it is.
std::string DecodeHtml(std::string_view strText, bool bURL);
// Element text that reads back as strText: "&", "<", ">" and line breaks escaped.
std::string EscapeHtmlName(std::string_view strText);
// An attribute value in double quotes that reads back as strText, a URL as
// DecodeHtml leaves it: quotation marks escaped, and "&" where it would
// otherwise start a reference.
std::string EscapeHtmlURL(std::string_view strText);
// The same, appended to strHtml.
void AppendHtmlName(std::string& strHtml, std::string_view strText);
void AppendHtmlURL(std::string& strHtml, std::string_view strText);
