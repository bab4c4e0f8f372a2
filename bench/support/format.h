// The bench's text formatting, said once: hex numbers and colours, the shortest spelling of a double, the
// modules' code page turned into UTF-8, HTML escaping, and JSON lines written through nlohmann-json.
//
// Uses the standard library and nlohmann-json only; every other part of the bench may use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bench {

using ordered_json = nlohmann::ordered_json;

// "0x0000FF00": eight hex digits, as colours and flag words are shown.
std::string hex8(uint32_t value);
// "0x13": as few hex digits as the value needs.
std::string hex(uint32_t value);
// A colour as the records hold it, 0x00BBGGRR, spelled the same way: "0x000000FF".
inline std::string colour_code(uint32_t colorref) { return hex8(colorref); }
// The same colour for a page: "#ff0000".
std::string css_colour(uint32_t colorref);
// The shortest decimal that reads back as the same double ("0.25", "16383", "-1e+300").
std::string shortest(double value);

// The character a byte of the modules' texts (Windows code page 1252) stands for.
uint32_t cp1252_codepoint(uint8_t byte);
// Module text (code page 1252) as UTF-8; control characters stay as they are.
std::string utf8_from_cp1252(std::string_view cp1252);

// Text for HTML from UTF-8: &, <, >, " and ' escaped, the rest as it is.
std::string html_escape(std::string_view utf8);
// Module text for HTML: converted to UTF-8 and escaped; a control character other than a line break or a tab
// shows as the replacement mark.
std::string html_text(std::string_view cp1252);

// A number for JSON: a whole number as an integer (16383, not 16383.0), any other as the double it is.
ordered_json json_number(double value);

// One JSON value on one line, keys in their order, with a space after each comma and colon, as the bench's
// .jsonl logs are written: {"frame": 2, "event": 20481, "value": 2}. Text that is not UTF-8 is replaced, not
// refused.
std::string json_line(const ordered_json& value);

}  // namespace bench
