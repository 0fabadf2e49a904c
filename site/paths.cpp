#include "site/paths.h"

#include <filesystem>
#include <system_error>

#include "site/utf8_path.h"

namespace site {
namespace {

std::filesystem::path executable_path() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::string join(std::string_view base, std::initializer_list<std::string_view> names) {
    std::string path(base);
    for (const std::string_view name : names) {
        path += separator();
        path += name;
    }
    return path;
}

}  // namespace

std::string run_directory() {
    std::filesystem::path folder = executable_path().parent_path();
    if (folder.empty()) {
        // Without a way to find the executable, the working folder is the best guess.
        std::error_code error;
        folder = std::filesystem::current_path(error);
    }
    std::string text = to_utf8(folder);
    // Only the root folder ("/") carries a trailing separator; drop it so that appending
    // separator + "web" never doubles it ("/" becomes "", whose site folder is "/web").
    while (!text.empty() && text.back() == static_cast<char>(separator().front())) text.pop_back();
    return text;
}

std::string_view separator() {
    static constexpr char text[] = {static_cast<char>(std::filesystem::path::preferred_separator),
                                    '\0'};
    return {text, 1};
}

std::string site_folder(std::string_view base_path) { return join(base_path, {"web"}); }
std::string settings_file(std::string_view base_path) {
    return join(base_path, {"web", "Config.web"});
}
std::string icon_file(std::string_view base_path) {
    return join(base_path, {"web", "favicon.ico"});
}
std::string index_file(std::string_view base_path) {
    return join(base_path, {"web", "index.html"});
}
std::string not_found_file(std::string_view base_path) {
    return join(base_path, {"web", "404.html"});
}

}  // namespace site
