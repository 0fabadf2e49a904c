#pragma once

#include <sys/stat.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Entity tags and dates that let browsers revalidate what they cached.

// A strong entity tag that changes whenever the file's inode, size or modification time does.
std::string MakeETag(const struct stat& info);

// IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(std::time_t when);

// Reads an HTTP date in any of its three forms (IMF-fixdate, RFC 850, asctime); nothing when the
// text is not one.
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// If-None-Match: true when the list holds `*` or a tag equal to `etag` by weak comparison.
bool EtagListMatches(std::string_view header, std::string_view etag);

// If-Range: true when the header is an entity tag strongly equal to `etag` or a date equal to
// `modified`.
bool IfRangeMatches(std::string_view header, std::string_view etag, std::time_t modified);
