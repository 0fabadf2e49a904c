#pragma once

#include <string>
#include <string_view>

// Where the site folder and its files lie. Every path is plain text concatenation: the base path
// (the path box's text, UTF-8) + the platform's separator + a fixed name. Nothing is trimmed.
namespace site {

// The folder that holds the program's executable, without a trailing separator.
std::string run_directory();

// The platform's path separator as text ("/").
std::string_view separator();

std::string site_folder(std::string_view base_path);     // base + sep + "web"
std::string settings_file(std::string_view base_path);   // base + sep + "web" + sep + "Config.web"
std::string icon_file(std::string_view base_path);       // ... "favicon.ico"
std::string index_file(std::string_view base_path);      // ... "index.html"
std::string not_found_file(std::string_view base_path);  // ... "404.html"

}  // namespace site
