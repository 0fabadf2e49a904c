#include "site/ini_lines.h"

namespace site::ini {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void classify(std::string_view text, Line& line) {
    const std::string_view content = text.substr(line.begin, line.content_end - line.begin);
    const std::string_view trimmed = trim(content);
    if (trimmed.empty()) return;  // blank
    if (trimmed.front() == ';') {
        line.kind = LineKind::comment;
        return;
    }
    const std::size_t close = trimmed.rfind(']');
    if (trimmed.front() == '[' && close != std::string_view::npos && close > 0) {
        line.kind = LineKind::section;
        line.name = trim(trimmed.substr(1, close - 1));
        return;
    }
    line.kind = LineKind::key;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        line.name = trimmed;
        line.value_begin = npos;
        return;
    }
    line.name = trim(trimmed.substr(0, equals));
    line.value = trim(trimmed.substr(equals + 1));
    line.value_begin = line.value.empty()
                           ? static_cast<std::size_t>(trimmed.data() - text.data()) + equals + 1
                           : static_cast<std::size_t>(line.value.data() - text.data());
}

}  // namespace

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return text.substr(text.size());
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (begin < text.size()) {
        Line line;
        line.begin = begin;
        const std::size_t newline = text.find('\n', begin);
        if (newline == std::string_view::npos) {
            line.content_end = line.end = text.size();
        } else {
            line.end = newline + 1;
            line.content_end = newline > begin && text[newline - 1] == '\r' ? newline - 1 : newline;
        }
        classify(text, line);
        lines.push_back(line);
        begin = line.end;
    }
    return lines;
}

Place find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::section) {
            if (place.section != npos) break;  // only the first section of that name counts
            if (same_name(line.name, section)) place.section = place.last_entry = i;
        } else if (line.kind == LineKind::key && place.section != npos) {
            place.last_entry = i;
            if (place.key == npos && same_name(line.name, key)) place.key = i;
        }
    }
    return place;
}

}  // namespace site::ini
