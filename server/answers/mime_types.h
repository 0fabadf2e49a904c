#pragma once

#include <optional>
#include <string_view>

// The Content-Type for a file name, chosen by its extension (case does not matter);
// application/octet-stream for anything unknown.
std::string_view ContentTypeFor(std::string_view file_name);

// The same, but nothing for an extension the table does not know.
std::optional<std::string_view> KnownContentTypeFor(std::string_view file_name);
