#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The HTML page shown for a folder without index.html.
struct ListingEntry {
    std::string name;
    bool folder = false;
    std::uint64_t size = 0;
    std::time_t modified = 0;
};

// The entries of the folder `segments` beneath `root_fd` that a request could fetch: regular files
// and folders with servable names, symbolic links only where they stay beneath the root.
std::vector<ListingEntry> ReadListing(int root_fd, const std::vector<std::string>& segments);

// A UTF-8 page in Chinese, like the rest of the program, for the folder at `url_path` (decoded,
// ending in '/'): a link to the parent unless `at_root`, then folders and then files, each group
// sorted by name, with sizes and dates.
std::string RenderListing(std::string_view url_path, bool at_root,
                          std::vector<ListingEntry> entries);
