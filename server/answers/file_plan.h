#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// What to answer for a regular file, given the request's conditional and Range headers.
struct FileFacts {
    std::uint64_t size = 0;
    std::time_t modified = 0;
    std::string etag;
};

struct FileConditions {
    std::optional<std::string_view> if_none_match = std::nullopt;
    std::optional<std::string_view> if_modified_since = std::nullopt;
    std::optional<std::string_view> range = std::nullopt;
    std::optional<std::string_view> if_range = std::nullopt;
};

struct FilePlan {
    unsigned status = 200;  // 200, 206, 304 or 416
    std::uint64_t offset = 0;
    std::uint64_t length = 0;   // body bytes to send from `offset`
    std::string content_range;  // for 206 and 416
};

// If-None-Match decides revalidation when present (If-Modified-Since only otherwise); a Range is
// honoured only when If-Range, if any, still matches the file.
FilePlan PlanFileResponse(const FileFacts& file, const FileConditions& request);
