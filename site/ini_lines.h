#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Splits the text of an INI file into classified lines that remember where they lie, so that the
// reader can look values up and the writer can change one line and keep every other byte.
namespace site::ini {

enum class LineKind { blank, comment, section, key };

struct Line {
    std::size_t begin = 0;        // first byte of the line
    std::size_t content_end = 0;  // where its line end ("\n" or "\r\n") starts
    std::size_t end = 0;          // first byte after its line end
    LineKind kind = LineKind::blank;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed; empty for a key line without '='
    // Where a new value goes for a key line: the start of the old value, or just after the '='
    // when the value is empty. npos for a key line without '='.
    std::size_t value_begin = 0;
};

inline constexpr std::size_t npos = static_cast<std::size_t>(-1);

std::vector<Line> split_lines(std::string_view text);

// Blanks around names and values do not count.
std::string_view trim(std::string_view text);

// Section and key names compare without regard to ASCII case.
bool same_name(std::string_view a, std::string_view b);

// Where a key lies: the first section of that name, the first key of that name in it, and the
// last header or key line of that section (where a new key goes). npos for what is missing.
struct Place {
    std::size_t section = npos;
    std::size_t key = npos;
    std::size_t last_entry = npos;
};
Place find(const std::vector<Line>& lines, std::string_view section, std::string_view key);

}  // namespace site::ini
