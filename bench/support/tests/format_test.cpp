// The bench's formatting: module text (code page 1252) becomes UTF-8 before JSON or HTML sees it, and the JSON
// lines read back as what was written.
#include <gtest/gtest.h>

#include "format.h"

namespace {

TEST(Format, ModuleTextBecomesUtf8AndItsJsonReadsBack) {
    const struct {
        std::string in, utf8;
    } rows[] = {
        {"FUEL - 7000", "FUEL - 7000"},
        {"say \"hi\" \\ back", "say \"hi\" \\ back"},
        {"tab\tnew\nline", "tab\tnew\nline"},
        {std::string("\x01\x1f\x7f", 3), std::string("\x01\x1f\x7f", 3)},
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},  // é
        {"\x80", "\xE2\x82\xAC"},            // the euro sign
        {"\x81", "\xEF\xBF\xBD"},            // unassigned: the replacement mark
    };
    for (const auto& row : rows) {
        EXPECT_EQ(bench::utf8_from_cp1252(row.in), row.utf8) << row.in;
        const std::string line = bench::json_line({{"text", bench::utf8_from_cp1252(row.in)}});
        EXPECT_EQ(bench::ordered_json::parse(line)["text"], row.utf8) << line;
    }
}

TEST(Format, JsonLinesKeepTheirKeyOrderWithASpaceAfterEachSeparator) {
    EXPECT_EQ(bench::json_line({{"frame", 2}, {"event", 20481u}, {"value", -2}, {"arguments", {"a", "b"}}}),
              R"({"frame": 2, "event": 20481, "value": -2, "arguments": ["a", "b"]})");
}

TEST(Format, HtmlTextEscapesAndShowsControlCharactersAsTheReplacementMark) {
    EXPECT_EQ(bench::html_text("<a href='x'>&\x01\xE9"), "&lt;a href=&#39;x&#39;&gt;&amp;\xEF\xBF\xBD\xC3\xA9");
    EXPECT_EQ(bench::html_escape("\"<\xC3\xA9>\""), "&quot;&lt;\xC3\xA9&gt;&quot;");
}

TEST(Format, NumbersAndColours) {
    EXPECT_EQ(bench::hex8(0xFF00), "0x0000FF00");
    EXPECT_EQ(bench::hex(0x13), "0x13");
    EXPECT_EQ(bench::css_colour(0x0000FF00), "#00ff00");
    EXPECT_EQ(bench::css_colour(0x000000FF), "#ff0000");
    EXPECT_EQ(bench::shortest(71.0 / 16383), "0.004333760605505707");
    EXPECT_EQ(bench::shortest(16383), "16383");
}

}  // namespace
