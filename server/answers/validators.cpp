#include "server/answers/validators.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "server/requests/text_codec.h"

namespace {

constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

void AppendHex(std::string& out, std::uint64_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    out.append(digits, end);
}

// 0-99 as two digits.
void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// Reads a fixed number of digits at `pos`; a leading space counts as zero (asctime's day).
bool ReadDigits(std::string_view text, std::size_t pos, std::size_t count, int& value,
                bool space_pad = false) {
    if (text.size() < pos + count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (space_pad && i == 0 && c == ' ') continue;
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ReadMonth(std::string_view text, std::size_t pos, int& month) {
    if (text.size() < pos + 3) return false;
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (text.substr(pos, 3) == kMonths[i]) {
            month = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

// "HH:MM:SS" at `pos`.
bool ReadClock(std::string_view text, std::size_t pos, std::tm& parts) {
    return ReadDigits(text, pos, 2, parts.tm_hour) && text.size() > pos + 5 &&
           text[pos + 2] == ':' && ReadDigits(text, pos + 3, 2, parts.tm_min) &&
           text[pos + 5] == ':' && ReadDigits(text, pos + 6, 2, parts.tm_sec);
}

bool StartsWithDay(std::string_view text, std::string_view day, char after) {
    return text.size() > day.size() && text.substr(0, day.size()) == day &&
           text[day.size()] == after;
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool ParseImfFixdate(std::string_view text, std::tm& parts) {
    if (text.size() != 29) return false;
    bool day_ok = false;
    for (auto day : kDays) day_ok = day_ok || StartsWithDay(text, day, ',');
    return day_ok && text[4] == ' ' && ReadDigits(text, 5, 2, parts.tm_mday) && text[7] == ' ' &&
           ReadMonth(text, 8, parts.tm_mon) && text[11] == ' ' &&
           ReadDigits(text, 12, 4, parts.tm_year) && text[16] == ' ' &&
           ReadClock(text, 17, parts) && text.substr(25) == " GMT";
}

// "Sunday, 06-Nov-94 08:49:37 GMT"
bool ParseRfc850(std::string_view text, std::tm& parts) {
    for (auto day : kLongDays) {
        if (!StartsWithDay(text, day, ',')) continue;
        const std::string_view rest = text.substr(day.size() + 1);
        if (rest.size() != 23) return false;
        if (!(rest[0] == ' ' && ReadDigits(rest, 1, 2, parts.tm_mday) && rest[3] == '-' &&
              ReadMonth(rest, 4, parts.tm_mon) && rest[7] == '-' &&
              ReadDigits(rest, 8, 2, parts.tm_year) && rest[10] == ' ' &&
              ReadClock(rest, 11, parts) && rest.substr(19) == " GMT")) {
            return false;
        }
        // Two-digit years: the nearest century that does not put the date far in the future.
        parts.tm_year += parts.tm_year < 70 ? 2000 : 1900;
        return true;
    }
    return false;
}

// "Sun Nov  6 08:49:37 1994"
bool ParseAsctime(std::string_view text, std::tm& parts) {
    if (text.size() != 24) return false;
    bool day_ok = false;
    for (auto day : kDays) day_ok = day_ok || StartsWithDay(text, day, ' ');
    return day_ok && ReadMonth(text, 4, parts.tm_mon) && text[7] == ' ' &&
           ReadDigits(text, 8, 2, parts.tm_mday, true) && text[10] == ' ' &&
           ReadClock(text, 11, parts) && text[19] == ' ' && ReadDigits(text, 20, 4, parts.tm_year);
}

bool IsPlausible(const std::tm& parts) {
    return parts.tm_mday >= 1 && parts.tm_mday <= 31 && parts.tm_hour <= 23 && parts.tm_min <= 59 &&
           parts.tm_sec <= 60 && parts.tm_year >= 1900;
}

struct EntityTag {
    bool weak = false;
    std::string_view opaque;  // including the quotes
};

std::optional<EntityTag> ReadEntityTag(std::string_view text) {
    EntityTag tag;
    if (text.size() >= 2 && text.substr(0, 2) == "W/") {
        tag.weak = true;
        text.remove_prefix(2);
    }
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
    tag.opaque = text;
    return tag;
}

}  // namespace

// Both are built by hand rather than with snprintf: they run for every file answered.
std::string MakeETag(const struct stat& info) {
    const auto nanoseconds = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                             static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
    std::string tag(1, '"');
    AppendHex(tag, static_cast<std::uint64_t>(info.st_ino));
    tag += '-';
    AppendHex(tag, static_cast<std::uint64_t>(info.st_size));
    tag += '-';
    AppendHex(tag, nanoseconds);
    tag += '"';
    return tag;
}

std::string FormatHttpDate(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    const int year = parts.tm_year + 1900;
    if (year < 0 || year > 9999) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                      kDays[static_cast<std::size_t>(parts.tm_wday)].data(), parts.tm_mday,
                      kMonths[static_cast<std::size_t>(parts.tm_mon)].data(), year, parts.tm_hour,
                      parts.tm_min, parts.tm_sec);
        return buffer;
    }
    std::string date;
    date.reserve(29);
    date += kDays[static_cast<std::size_t>(parts.tm_wday)];
    date += ", ";
    AppendTwoDigits(date, parts.tm_mday);
    date += ' ';
    date += kMonths[static_cast<std::size_t>(parts.tm_mon)];
    date += ' ';
    AppendTwoDigits(date, year / 100);
    AppendTwoDigits(date, year % 100);
    date += ' ';
    AppendTwoDigits(date, parts.tm_hour);
    date += ':';
    AppendTwoDigits(date, parts.tm_min);
    date += ':';
    AppendTwoDigits(date, parts.tm_sec);
    date += " GMT";
    return date;
}

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
    text = TrimSpaces(text);
    std::tm parts{};
    if (!ParseImfFixdate(text, parts) && !ParseRfc850(text, parts) && !ParseAsctime(text, parts)) {
        return std::nullopt;
    }
    if (!IsPlausible(parts)) return std::nullopt;
    parts.tm_year -= 1900;
    return timegm(&parts);
}

bool EtagListMatches(std::string_view header, std::string_view etag) {
    const auto ours = ReadEntityTag(etag);
    while (!header.empty()) {
        const auto comma = header.find(',');
        const std::string_view item = TrimSpaces(header.substr(0, comma));
        if (item == "*") return true;
        const auto theirs = ReadEntityTag(item);
        if (ours && theirs && theirs->opaque == ours->opaque) return true;
        if (comma == std::string_view::npos) break;
        header.remove_prefix(comma + 1);
    }
    return false;
}

bool IfRangeMatches(std::string_view header, std::string_view etag, std::time_t modified) {
    header = TrimSpaces(header);
    if (const auto theirs = ReadEntityTag(header)) {
        const auto ours = ReadEntityTag(etag);
        return ours && !ours->weak && !theirs->weak && theirs->opaque == ours->opaque;
    }
    const auto date = ParseHttpDate(header);
    return date && *date == modified;
}
