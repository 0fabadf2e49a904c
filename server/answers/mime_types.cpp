#include "server/answers/mime_types.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 39> kTypes{{
    {"avif", "image/avif"},
    {"bmp", "image/bmp"},
    {"css", "text/css; charset=utf-8"},
    {"csv", "text/csv; charset=utf-8"},
    {"flac", "audio/flac"},
    {"gif", "image/gif"},
    {"htm", "text/html; charset=utf-8"},
    {"html", "text/html; charset=utf-8"},
    {"ico", "image/x-icon"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript; charset=utf-8"},
    {"json", "application/json"},
    {"m4a", "audio/mp4"},
    {"map", "application/json"},
    {"mjs", "text/javascript; charset=utf-8"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"ogg", "audio/ogg"},
    {"otf", "font/otf"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"svg", "image/svg+xml"},
    {"ttf", "font/ttf"},
    {"txt", "text/plain; charset=utf-8"},
    {"wasm", "application/wasm"},
    {"wav", "audio/wav"},
    {"webm", "video/webm"},
    {"webmanifest", "application/manifest+json"},
    {"webp", "image/webp"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
    {"mid", "audio/midi"},
    {"midi", "audio/midi"},
    {"xhtml", "application/xhtml+xml"},
    {"data", "application/octet-stream"},  // game engines' packed assets (Emscripten, Unity)
    {"gz", "application/gzip"},
}};

constexpr std::string_view kDefault = "application/octet-stream";

}  // namespace

std::string_view ContentTypeFor(std::string_view file_name) {
    return KnownContentTypeFor(file_name).value_or(kDefault);
}

std::optional<std::string_view> KnownContentTypeFor(std::string_view file_name) {
    const auto dot = file_name.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string extension(file_name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto found = std::find_if(kTypes.begin(), kTypes.end(),
                                    [&](const auto& entry) { return entry.first == extension; });
    if (found == kTypes.end()) return std::nullopt;
    return found->second;
}
