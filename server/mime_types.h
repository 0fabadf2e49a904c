#pragma once

#include <string_view>

// The Content-Type for a file name, chosen by its extension (case does not matter);
// application/octet-stream for anything unknown.
std::string_view ContentTypeFor(std::string_view file_name);
