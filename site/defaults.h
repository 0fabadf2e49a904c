#pragma once

#include <string_view>

// The three default files, compiled into the program and written byte for byte.
namespace site {

std::string_view default_icon();        // favicon.ico, 67,646 bytes, one 128 x 128 32-bit image
std::string_view default_index_page();  // index.html
std::string_view not_found_page();      // 404.html

}  // namespace site
