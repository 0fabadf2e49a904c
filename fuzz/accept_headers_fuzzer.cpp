// Accept, Accept-Encoding and Access-Control-Request-Headers values from any client: every weight
// read stays within 0–1 and names a part of the header, a coding is chosen only among the
// siblings at hand, and a list called a token list holds nothing that could end a header line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/files/precompressed.h"
#include "server/options/cors.h"
#include "server/options/single_page.h"
#include "server/requests/quality_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view header(reinterpret_cast<const char*>(data), size);
    for (const QualityItem& item : ParseQualityList(header)) {
        if (item.weight < 0 || item.weight > 1000 || item.name.empty()) std::abort();
        if (item.name.data() < header.data() ||
            item.name.data() + item.name.size() > header.data() + header.size()) {
            std::abort();
        }
    }
    if (ChooseCoding(header, false, false) != Coding::kIdentity) std::abort();
    if (ChooseCoding(header, false, true) == Coding::kBrotli) std::abort();
    if (ChooseCoding(header, true, false) == Coding::kGzip) std::abort();
    AcceptsHtml(header);
    if (IsTokenList(header) && header.find_first_of("\r\n\0;\"", 0, 5) != std::string_view::npos) {
        std::abort();
    }
    return 0;
}
