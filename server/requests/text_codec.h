#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text helpers for URLs and HTML pages.

// True when `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Decodes %HH escapes. Nothing for a '%' not followed by two hexadecimal digits.
std::optional<std::string> PercentDecode(std::string_view text);

// Escapes every byte except the unreserved characters (letters, digits, - . _ ~), so the result is
// safe as one path segment of a URL.
std::string PercentEncodeSegment(std::string_view segment);

// Compares two strings with ASCII letters folded to lower case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// `text` without leading and trailing spaces and tabs.
std::string_view TrimSpaces(std::string_view text);

// Escapes & < > " ' for use in HTML text and attribute values.
std::string EscapeHtml(std::string_view text);
