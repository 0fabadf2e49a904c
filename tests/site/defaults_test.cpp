#include "site/defaults.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::uint32_t little_endian(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return value;
}

struct IconField {
    const char* name;
    std::size_t offset;
    std::size_t width;
    std::uint32_t value;
};

TEST(DefaultIcon, HasTheIcoLayoutOfOne128By128ImageWith32Bits) {
    const std::string_view icon = site::default_icon();
    ASSERT_EQ(icon.size(), 67'646u);
    const std::vector<IconField> fields = {
        {"reserved", 0, 2, 0},       {"type", 2, 2, 1},          {"count", 4, 2, 1},
        {"width", 6, 1, 128},        {"height", 7, 1, 128},      {"colours", 8, 1, 0},
        {"entry reserved", 9, 1, 0}, {"planes", 10, 2, 1},       {"bits", 12, 2, 32},
        {"bytes", 14, 4, 67'624},    {"offset", 18, 4, 22},      {"header size", 22, 4, 40},
        {"bmp width", 26, 4, 128},   {"bmp height", 30, 4, 256}, {"bmp planes", 34, 2, 1},
        {"bmp bits", 36, 2, 32},     {"compression", 38, 4, 0},  {"image size", 42, 4, 67'584},
        {"x ppm", 46, 4, 2835},      {"y ppm", 50, 4, 2835},     {"colours used", 54, 4, 0},
        {"important", 58, 4, 0},
    };
    for (const IconField& field : fields)
        EXPECT_EQ(little_endian(icon, field.offset, field.width), field.value) << field.name;
}

// The AND mask marks exactly the fully transparent pixels, and the picture is not empty.
TEST(DefaultIcon, MaskMatchesAlphaAndSomethingIsVisible) {
    const std::string_view icon = site::default_icon();
    ASSERT_EQ(icon.size(), 67'646u);
    const std::string_view pixels = icon.substr(62, 65'536);
    const std::string_view mask = icon.substr(62 + 65'536);
    ASSERT_EQ(mask.size(), 2048u);
    int visible = 0;
    for (std::size_t i = 0; i < 128 * 128; ++i) {
        const bool transparent = pixels[i * 4 + 3] == 0;
        const bool masked = (static_cast<unsigned char>(mask[i / 8]) >> (7 - i % 8)) & 1;
        ASSERT_EQ(masked, transparent) << "pixel " << i;
        visible += transparent ? 0 : 1;
    }
    EXPECT_GT(visible, 0);
}

struct Page {
    std::string_view bytes;
    std::vector<std::string> lines;  // the text after the byte-order mark, split at CRLF
};

Page page_of(std::string_view bytes) {
    Page page{bytes, {}};
    std::string_view text = bytes.substr(bytes.starts_with(kBom) ? kBom.size() : 0);
    for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos;
         text.remove_prefix(end + 2))
        page.lines.emplace_back(text.substr(0, end));
    page.lines.emplace_back(text);
    return page;
}

// Every line end is CRLF: no bare CR or LF anywhere.
void expect_crlf_only(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool alone = bytes[i] == '\n'   ? i == 0 || bytes[i - 1] != '\r'
                           : bytes[i] == '\r' ? i + 1 == bytes.size() || bytes[i + 1] != '\n'
                                              : false;
        EXPECT_FALSE(alone) << "bare line-end byte at " << i;
    }
}

// Lines that must match a pattern (the contact handle and the links are free) are ECMAScript
// regular expressions; all others are compared literally.
struct ExpectedLine {
    std::string text;
    bool pattern = false;
};

void expect_lines(const Page& page, const std::vector<ExpectedLine>& expected) {
    ASSERT_TRUE(page.bytes.starts_with(kBom));
    expect_crlf_only(page.bytes);
    ASSERT_EQ(page.lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].pattern)
            EXPECT_TRUE(std::regex_match(page.lines[i], std::regex(expected[i].text)))
                << "line " << i + 1 << ": " << page.lines[i];
        else
            EXPECT_EQ(page.lines[i], expected[i].text) << "line " << i + 1;
    }
}

TEST(DefaultIndexPage, HasTheTestPageLinesAndEndsWithSixLineEnds) {
    const Page page = page_of(site::default_index_page());
    expect_lines(page, {{"<!DOCTYPE html>"},
                        {"<html>"},
                        {"<head>"},
                        {"    <title>Quorvel [^ <]+</title>", true},
                        {"</head>"},
                        {"<body>"},
                        {"Quorvel简易网页小工具测试页面。"},
                        {"<marquee>Quorvel [^ <]+ 花式飘过~</marquee>", true},
                        {""},
                        {"</body>"},
                        {"</html>"},
                        {""},
                        {""},
                        {""},
                        {""},
                        {""},
                        {""}});
    ASSERT_GE(page.lines.size(), 8u);
    // The title and the marquee carry the same signature.
    const std::string title = page.lines[3].substr(11, page.lines[3].size() - 11 - 8);
    EXPECT_EQ(page.lines[7], "<marquee>" + title + " 花式飘过~</marquee>");
}

TEST(NotFoundPage, HasThePublicServiceLinesAndNoFinalLineEnd) {
    const std::string anchor = "\t<a href=\"https://[^\"\\s]+\" title=\"([^\"<]+)\">\\1</a>";
    expect_lines(
        page_of(site::not_found_page()),
        {{""},
         {"<html>"},
         {"<head>"},
         {"<meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\" />"},
         {"<title>404 error!!!</title>"},
         {"</head>"},
         {" <body>"},
         {" "},
         {"<p style=\"display:none\">和未登录访客一样，这些失踪的宝贝也许就在您身边！</p>"},
         {"<p style=\"display:none\">"},
         {"\t相关组织："},
         {anchor + "、", true},
         {anchor, true},
         {anchor, true},
         {"</p>"},
         {"<script type=\"text/javascript\" "},
         {" "},
         {"src=\"https://[^\"\\s]+\"></script>", true},
         {" "},
         {"</body>"},
         {"</html>"}});
}

}  // namespace
