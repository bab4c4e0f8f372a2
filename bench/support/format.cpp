#include "format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace bench {
namespace {

void append_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void append_escaped(std::string& out, char c) {
    switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
    }
}

void append_json(std::string& out, const ordered_json& value) {
    if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : value.items()) {
            if (!first) out += ", ";
            first = false;
            out += ordered_json(key).dump(-1, ' ', false, ordered_json::error_handler_t::replace);
            out += ": ";
            append_json(out, item);
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        for (size_t i = 0; i < value.size(); ++i) {
            if (i) out += ", ";
            append_json(out, value[i]);
        }
        out += ']';
    } else {
        out += value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    }
}

}  // namespace

std::string hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string css_colour(uint32_t colorref) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
    return text;
}

std::string shortest(double value) {
    char text[40];
    const auto [end, failure] = std::to_chars(text, text + sizeof text, value);
    return failure == std::errc() ? std::string(text, end) : std::string("0");
}

uint32_t cp1252_codepoint(uint8_t byte) {
    static constexpr uint16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                           0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

std::string utf8_from_cp1252(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (unsigned char byte : cp1252) append_utf8(out, cp1252_codepoint(byte));
    return out;
}

std::string html_escape(std::string_view utf8) {
    std::string out;
    for (char c : utf8) append_escaped(out, c);
    return out;
}

std::string html_text(std::string_view cp1252) {
    std::string out;
    for (unsigned char byte : cp1252) {
        if (byte < 0x20 && byte != '\n' && byte != '\t')
            out += "\xEF\xBF\xBD";
        else if (byte < 0x80)
            append_escaped(out, static_cast<char>(byte));
        else
            append_utf8(out, cp1252_codepoint(byte));
    }
    return out;
}

ordered_json json_number(double value) {
    if (std::trunc(value) == value && std::fabs(value) <= 9007199254740992.0) return static_cast<int64_t>(value);
    return value;
}

std::string json_line(const ordered_json& value) {
    std::string out;
    append_json(out, value);
    return out;
}

}  // namespace bench
