#include "json.h"

#include <cstdint>
#include <cstdio>

#include "draw.h"

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

}  // namespace

std::string json_string(std::string_view cp1252) {
    std::string out = "\"";
    for (unsigned char byte : cp1252) {
        switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    append_utf8(out, cp1252_codepoint(byte));
                }
        }
    }
    return out + "\"";
}

std::string html_text(std::string_view cp1252) {
    std::string out;
    for (unsigned char byte : cp1252) {
        switch (byte) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if (byte < 0x20 && byte != '\n' && byte != '\t')
                    out += "\xEF\xBF\xBD";  // a control character shows as the replacement mark
                else
                    append_utf8(out, cp1252_codepoint(byte));
        }
    }
    return out;
}

std::string html_escape(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string colour_code(uint32_t colorref) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", colorref);
    return text;
}

}  // namespace bench
