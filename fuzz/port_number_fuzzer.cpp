// Compares the port box's text conversion with a plain reference model. Input bytes become UTF-16
// code units: ASCII stays as it is, 0x80-0xDD are the full-width forms U+FF01-U+FF5E, a few bytes
// above stand for neighbours of the folded ranges, and 0xF0-0xFF take the next two bytes as a raw
// code unit. Undefined behaviour stops the run (built with -fno-sanitize-recover=undefined).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "launcher/controls/port_number.h"

namespace {

constexpr char16_t kNeighbours[] = {
    0x3000,  // ideographic space
    0xFF00, 0xFF5F, 0x2FFF, 0x3001, 0x00A0, 0x0085, 0x2003, 0xFEFF,
    0x0660, 0x0966, 0xFF0E, 0x0000, 0x001F, 0x00B2, 0xD800,
};

std::u16string code_units(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b < 0x80) {
            text += static_cast<char16_t>(b);
        } else if (b < 0xDE) {
            text += static_cast<char16_t>(0xFF01 + (b - 0x80));
        } else if (b < 0xF0) {
            text += kNeighbours[(b - 0xDE) % std::size(kNeighbours)];
        } else if (i + 2 < size) {
            text += static_cast<char16_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        }
    }
    return text;
}

// Full-width forms to ASCII, the ideographic space to a space; everything else unchanged.
char16_t ascii_form(char16_t c) {
    if (c == 0x3000) return u' ';
    if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFF01 + u'!');
    return c;
}

// The reference: collect the digits as text, then decide by their count and value whether the
// number passes a 32-bit limit.
std::int32_t reference(const std::u16string& text) {
    std::string ascii;
    for (const char16_t c : text) {
        const char16_t a = ascii_form(c);
        ascii += a < 0x80 ? static_cast<char>(a) : '\x7f';
    }
    std::size_t i = ascii.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    const bool negative = ascii[i] == '-';
    if (ascii[i] == '-' || ascii[i] == '+') ++i;
    std::string digits;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i)
        if (!digits.empty() || ascii[i] != '0') digits += ascii[i];
    if (digits.size() > 10) digits = "99999999999";  // more than any 32-bit value either way
    const long long magnitude = digits.empty() ? 0 : std::stoll(digits);
    const long long value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = code_units(data, size);
    const std::int32_t expected = reference(text);
    const std::int32_t got = port_number_from_text(text);
    if (got != expected) {
        fprintf(stderr, "port number: got %d, expected %d\n", got, expected);
        abort();
    }
    return 0;
}
