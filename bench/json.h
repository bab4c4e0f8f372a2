// The small pieces of JSON and HTML the bench writes: strings escaped once, properly.
#pragma once

#include <string>
#include <string_view>

namespace bench {

// A JSON string literal, quotes included, for bytes in the modules' code page (Windows 1252): each byte becomes
// its character in UTF-8; quotes, backslashes and control characters are escaped.
std::string json_string(std::string_view cp1252);

// Text for HTML, from the same code page: &, <, >, " and ' escaped, the rest as UTF-8.
std::string html_text(std::string_view cp1252);

// Text for HTML that is UTF-8 already (scenario lines, file names): only &, <, >, " and ' change.
std::string html_escape(std::string_view utf8);

// A colour as the records hold it, 0x00BBGGRR.
std::string colour_code(uint32_t colorref);

}  // namespace bench
