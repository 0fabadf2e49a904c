#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The path of a request, decoded and normalised so that it can only name something beneath the
// served folder.
struct RequestTarget {
    // Decoded UTF-8 names from the root down; never empty, ".", "..", nor containing '/', '\\',
    // NUL or control characters.
    std::vector<std::string> segments;
    // The path asked for a folder: it ended with '/' (or with a dot segment).
    bool directory = false;
    // The raw query string after '?', kept for redirects.
    std::optional<std::string> query;
};

// True for a decoded name that a request may carry: valid UTF-8 without '/', '\\', NUL or other
// control characters.
bool IsServableName(std::string_view name);

// Parses the raw request target ("/a%20b/c.html?x=1"). Dot segments are resolved and never climb
// above the root. Nothing for anything that cannot be a path beneath the root: a target not
// starting with '/', spaces or control bytes, bad % escapes, an encoded '/' or '\\' or NUL inside
// a name, a backslash, or names that are not valid UTF-8.
std::optional<RequestTarget> ParseRequestTarget(std::string_view raw);

// The URL path of `segments` ("/a%20b/c"), with a trailing '/' when `directory`.
std::string EncodePath(const std::vector<std::string>& segments, bool directory);
