#pragma once

#include <optional>
#include <string_view>
#include <vector>

// Reads the weighted lists of Accept and Accept-Encoding ("br;q=1.0, gzip;q=0.5, *;q=0").
// Written here because neither libmicrohttpd nor a common Debian library parses them.

struct QualityItem {
    std::string_view name;  // "gzip", "text/html", "*/*": the element before its parameters
    int weight = 1000;      // q in thousandths, 0 (refused) to 1000
};

// The list's elements in order; an element whose q is malformed (not 0–1 with at most three
// decimals) is dropped, other parameters are ignored.
std::vector<QualityItem> ParseQualityList(std::string_view header);

// The weight the list gives `name` (case-insensitive), through the element naming it or `alias`
// or, failing that, through `*`; nothing when none of them appears.
std::optional<int> WeightOf(const std::vector<QualityItem>& list, std::string_view name,
                            std::string_view alias = {});
