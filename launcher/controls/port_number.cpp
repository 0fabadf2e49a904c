#include "launcher/controls/port_number.h"

#include <limits>

namespace {

char16_t fold_full_width(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFEE0);
    if (c == 0x3000) return u' ';
    return c;
}

bool is_white_space(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

std::int32_t port_number_from_text(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_white_space(fold_full_width(text[i]))) ++i;

    bool negative = false;
    if (i < text.size()) {
        const char16_t sign = fold_full_width(text[i]);
        if (sign == u'+' || sign == u'-') {
            negative = sign == u'-';
            ++i;
        }
    }

    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = fold_full_width(text[i]);
        if (c < u'0' || c > u'9') break;
        value = value * 10 + (c - u'0');
        if (value > limit + 1) value = limit + 1;  // saturate; the sign decides the final limit
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > limit ? limit : value);
}
