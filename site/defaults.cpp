#include "site/defaults.h"

#include <cstddef>

// Defined by the files that embed site/defaults/ into the library.
extern const unsigned char site_default_icon[];
extern const std::size_t site_default_icon_size;
extern const unsigned char site_default_index_page[];
extern const std::size_t site_default_index_page_size;
extern const unsigned char site_not_found_page[];
extern const std::size_t site_not_found_page_size;

namespace site {
namespace {

std::string_view bytes_of(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace

std::string_view default_icon() { return bytes_of(site_default_icon, site_default_icon_size); }
std::string_view default_index_page() {
    return bytes_of(site_default_index_page, site_default_index_page_size);
}
std::string_view not_found_page() {
    return bytes_of(site_not_found_page, site_not_found_page_size);
}

}  // namespace site
