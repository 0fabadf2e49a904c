#include "server/answers/byte_ranges.h"

#include <limits>
#include <optional>

#include "server/requests/text_codec.h"

namespace {

using Kind = RangeRequest::Kind;

bool StartsWithUnit(std::string_view text) {
    return EqualsIgnoringCase(text.substr(0, 6), "bytes=");
}

// Digits only; numbers too big for 64 bits saturate (they lie past any file's end anyway).
std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

RangeRequest Partial(std::uint64_t first, std::uint64_t last) {
    return {Kind::kPartial, first, last - first + 1};
}

}  // namespace

RangeRequest ParseRange(std::string_view header, std::uint64_t size) {
    header = TrimSpaces(header);
    if (!StartsWithUnit(header)) return {};
    const std::string_view range_text = TrimSpaces(header.substr(6));
    const auto dash = range_text.find('-');
    if (dash == std::string_view::npos || range_text.find(',') != std::string_view::npos) return {};
    const std::string_view first_text = TrimSpaces(range_text.substr(0, dash));
    const std::string_view last_text = TrimSpaces(range_text.substr(dash + 1));
    if (first_text.empty()) {
        const auto suffix = ParseNumber(last_text);
        if (!suffix) return {};
        if (*suffix == 0 || size == 0) return {Kind::kUnsatisfiable};
        return Partial(*suffix >= size ? 0 : size - *suffix, size - 1);
    }
    const auto first = ParseNumber(first_text);
    if (!first) return {};
    std::uint64_t last = size == 0 ? 0 : size - 1;
    if (!last_text.empty()) {
        const auto asked = ParseNumber(last_text);
        if (!asked || *asked < *first) return {};
        if (*asked < last) last = *asked;
    }
    if (*first >= size) return {Kind::kUnsatisfiable};
    return Partial(*first, last);
}
