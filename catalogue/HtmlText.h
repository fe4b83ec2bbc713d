// Netscape files hold names and URLs as HTML text; the catalogue and the
// Favorites hold plain text. These convert between the two.
#pragma once

#include <string>
#include <string_view>

// Decodes the references that stand for the same character in every
// encoding: &amp; &lt; &gt; &quot; &apos; and numeric ones below 128 (but 0,
// and in a URL but control characters). Any other "&" stays as it is.
std::string DecodeHtml(std::string_view strText, bool bURL);
// Element text that reads back as strText: "&", "<", ">" and line breaks escaped.
std::string EscapeHtmlName(std::string_view strText);
// An attribute value in double quotes that reads back as strText, a URL as
// DecodeHtml leaves it: quotation marks escaped, and "&" where it would
// otherwise start a reference.
std::string EscapeHtmlURL(std::string_view strText);
