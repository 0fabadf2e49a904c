#include "site/settings.h"

#include <optional>

#include "site/file_ops.h"
#include "site/ini_lines.h"

namespace site {
namespace {

constexpr std::string_view kNewFileLineEnd = "\n";

// Callers may pass names with stray leading control characters or blanks; those never count.
std::string_view skip_leading_controls(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && text[first] >= 1 && text[first] <= 32) ++first;
    return text.substr(first);
}

// Names in the file are trimmed, so trailing blanks of a requested name cannot count either.
std::string_view requested_name(std::string_view text) {
    return ini::trim(skip_leading_controls(text));
}

// A value wrapped in a matching pair of double or single quotes comes back without them.
std::string_view strip_quotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Bytes in the UTF-8 sequence led by `lead` (a stray byte counts as one character of its own).
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// At most `limit` characters of UTF-8 text; a multibyte character is kept whole or left out.
std::string_view cut_characters(std::string_view text, std::size_t limit) {
    std::size_t position = 0;
    for (std::size_t count = 0; position < text.size(); ++count) {
        if (count == limit) return text.substr(0, position);
        const std::size_t length = sequence_length(static_cast<unsigned char>(text[position]));
        ++position;
        for (std::size_t i = 1; i < length && position < text.size() &&
                                (static_cast<unsigned char>(text[position]) & 0xC0) == 0x80;
             ++i)
            ++position;
    }
    return text;
}

std::string_view line_end_style(std::string_view text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) return kNewFileLineEnd;
    return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

bool holds_line_break(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Section, key and value must each stay on their own line and keep their meaning when read back.
bool writable(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || key.empty()) return false;
    if (holds_line_break(section) || holds_line_break(key) || holds_line_break(value)) return false;
    if (section.find(']') != std::string_view::npos) return false;
    if (key.find('=') != std::string_view::npos) return false;
    return key.front() != '[' && key.front() != ';';
}

// The file's text with `key` set to `value`; only the changed or added lines differ.
std::string with_value(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value) {
    const std::vector<ini::Line> lines = ini::split_lines(text);
    const ini::Place place = ini::find(lines, section, key);
    const std::string_view line_end = line_end_style(text);
    const std::string entry = std::string(key) + "=" + std::string(value);
    std::string result;

    if (place.key != ini::npos) {
        const ini::Line& line = lines[place.key];
        if (line.value_begin != ini::npos) {
            result.append(text.substr(0, line.value_begin)).append(value);
        } else {  // a bare key line: keep its spelling, give it a value
            const std::string_view content = text.substr(line.begin, line.content_end - line.begin);
            const std::string_view kept =
                content.substr(0, content.find_last_not_of(" \t\r\v\f") + 1);
            result.append(text.substr(0, line.begin)).append(kept).append("=").append(value);
        }
        return result.append(text.substr(line.content_end));
    }

    if (place.section != ini::npos) {
        const ini::Line& line = lines[place.last_entry];
        result.append(text.substr(0, line.end));
        if (line.end == line.content_end) result.append(line_end);
        return result.append(entry).append(line_end).append(text.substr(line.end));
    }

    result.append(text);
    if (!lines.empty() && lines.back().end == lines.back().content_end) result.append(line_end);
    return result.append("[").append(section).append("]").append(line_end).append(entry).append(
        line_end);
}

}  // namespace

std::string read_setting(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view fallback) {
    file = skip_leading_controls(file);
    section = requested_name(section);
    key = requested_name(key);
    if (file.empty() || section.empty() || key.empty()) return {};

    const std::optional<std::string> text = read_whole_file(file);
    if (!text) return std::string(fallback);
    const std::vector<ini::Line> lines = ini::split_lines(*text);
    const ini::Place place = ini::find(lines, section, key);
    if (place.key == ini::npos) return std::string(fallback);
    return std::string(cut_characters(strip_quotes(lines[place.key].value), kMaxSettingLength));
}

bool write_setting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value) {
    std::error_code ignored;
    return write_setting(file, section, key, value, ignored);
}

bool write_setting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value, std::error_code& error) {
    error.clear();
    file = skip_leading_controls(file);
    section = requested_name(section);
    key = requested_name(key);
    if (file.empty() || !writable(section, key, value)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }

    // A missing file (or a link to a file not made yet) starts empty; a file that is there but
    // cannot be read is left alone rather than replaced.
    std::optional<std::string> text = read_whole_file(file, error);
    if (!text && error != std::errc::no_such_file_or_directory) return false;
    return write_whole_file(file, with_value(text.value_or(""), section, key, value), error);
}

}  // namespace site
