#include "server/answers/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "server/files/open_beneath.h"
#include "server/requests/request_path.h"
#include "server/requests/text_codec.h"
#include "server/unique_fd.h"

namespace {

bool StatEntry(int root_fd, int dir_fd, const std::vector<std::string>& segments,
               const std::string& name, struct stat& info) {
    if (fstatat(dir_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISLNK(info.st_mode)) return true;
    std::vector<std::string> path = segments;
    path.push_back(name);
    const UniqueFd fd = OpenBeneath(root_fd, path);
    return fd && fstat(fd.get(), &info) == 0;
}

std::string FormatSize(std::uint64_t size) {
    static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    if (size < 1024) return std::to_string(size) + " B";
    double value = static_cast<double>(size) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f %s", value, kUnits[unit]);
    return buffer;
}

std::string FormatLocalTime(std::time_t when) {
    std::tm parts{};
    localtime_r(&when, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &parts);
    return buffer;
}

std::string Row(std::string_view href, std::string_view label, std::string_view size,
                std::string_view modified) {
    std::string row = "<tr><td><a href=\"";
    row += EscapeHtml(href);
    row += "\">";
    row += EscapeHtml(label);
    row += "</a></td><td class=\"size\">";
    row += size;
    row += "</td><td>";
    row += modified;
    row += "</td></tr>\n";
    return row;
}

}  // namespace

std::vector<ListingEntry> ReadListing(int root_fd, const std::vector<std::string>& segments) {
    std::vector<ListingEntry> entries;
    UniqueFd dir_fd = OpenBeneath(root_fd, segments);
    if (!dir_fd) return entries;
    // On success the folder handle takes the descriptor over.
    const UniqueDir dir(fdopendir(dir_fd.get()));
    if (!dir) return entries;
    dir_fd.release();
    while (const dirent* item = readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !IsServableName(name)) continue;
        struct stat info {};
        if (!StatEntry(root_fd, dirfd(dir.get()), segments, name, info)) continue;
        if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) continue;
        entries.push_back({name, S_ISDIR(info.st_mode), static_cast<std::uint64_t>(info.st_size),
                           info.st_mtim.tv_sec});
    }
    return entries;
}

std::string RenderListing(std::string_view url_path, bool at_root,
                          std::vector<ListingEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const ListingEntry& a, const ListingEntry& b) {
        if (a.folder != b.folder) return a.folder;
        return a.name < b.name;
    });
    const std::string title = "索引：" + EscapeHtml(url_path);
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
        title +
        "</title>\n<style>body{font-family:sans-serif;margin:2em}td{padding:.2em 1.2em .2em 0}"
        ".size{text-align:right}</style>\n</head><body>\n<h1>" +
        title + "</h1>\n<table>\n<tr><th>名称</th><th>大小</th><th>修改时间</th></tr>\n";
    if (!at_root) page += Row("../", "上级目录", "", "");
    for (const auto& entry : entries) {
        const std::string href = PercentEncodeSegment(entry.name) + (entry.folder ? "/" : "");
        const std::string label = entry.name + (entry.folder ? "/" : "");
        page += Row(href, label, entry.folder ? "-" : FormatSize(entry.size),
                    FormatLocalTime(entry.modified));
    }
    page += "</table>\n</body></html>\n";
    return page;
}
