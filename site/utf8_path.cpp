#include "site/utf8_path.h"

namespace site {

std::filesystem::path to_path(std::string_view utf8) {
    std::u8string text(utf8.size(), u8'\0');
    for (std::size_t i = 0; i < utf8.size(); ++i) text[i] = static_cast<char8_t>(utf8[i]);
    return std::filesystem::path(text);
}

std::string to_utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace site
