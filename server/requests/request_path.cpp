#include "server/requests/request_path.h"

#include "server/requests/text_codec.h"

namespace {

bool IsForbiddenRawByte(unsigned char c) { return c <= 0x20 || c == 0x7F || c == '\\'; }

bool IsForbiddenNameByte(unsigned char c) { return c < 0x20 || c == 0x7F || c == '/' || c == '\\'; }

}  // namespace

bool IsServableName(std::string_view name) {
    for (char c : name) {
        if (IsForbiddenNameByte(static_cast<unsigned char>(c))) return false;
    }
    return IsValidUtf8(name);
}

std::optional<RequestTarget> ParseRequestTarget(std::string_view raw) {
    if (raw.empty() || raw.front() != '/') return std::nullopt;
    for (char c : raw) {
        if (IsForbiddenRawByte(static_cast<unsigned char>(c))) return std::nullopt;
    }
    RequestTarget target;
    std::string_view path = raw;
    if (const auto mark = raw.find('?'); mark != std::string_view::npos) {
        path = raw.substr(0, mark);
        target.query = std::string(raw.substr(mark + 1));
    }
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        auto name = PercentDecode(path.substr(start, end - start));
        if (!name || !IsServableName(*name)) return std::nullopt;
        const bool last = end == path.size();
        if (*name == "..") {
            if (!target.segments.empty()) target.segments.pop_back();
            target.directory = last;
        } else if (*name == "." || name->empty()) {
            target.directory = last;
        } else {
            target.segments.push_back(std::move(*name));
            target.directory = false;
        }
        start = end + 1;
    }
    if (target.segments.empty()) target.directory = true;
    return target;
}

std::string EncodePath(const std::vector<std::string>& segments, bool directory) {
    std::string path;
    for (const auto& segment : segments) {
        path += '/';
        path += PercentEncodeSegment(segment);
    }
    if (directory || segments.empty()) path += '/';
    return path;
}
