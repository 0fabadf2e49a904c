#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Paths travel through the program as UTF-8 text; these turn them into file-system paths and back
// without going through the locale, so non-ASCII folder names work on every platform.
namespace site {

std::filesystem::path to_path(std::string_view utf8);
std::string to_utf8(const std::filesystem::path& path);

}  // namespace site
