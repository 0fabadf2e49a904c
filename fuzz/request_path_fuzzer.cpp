// Any request target either is refused or names something beneath the served folder: every
// decoded name is servable, never "." or "..", and re-encoding the path reads back the same names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/requests/request_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const std::optional<RequestTarget> target = ParseRequestTarget(raw);
    if (!target) return 0;

    for (const std::string& name : target->segments) {
        if (name.empty() || name == "." || name == ".." || !IsServableName(name)) std::abort();
    }
    const std::string encoded = EncodePath(target->segments, target->directory);
    const std::optional<RequestTarget> again = ParseRequestTarget(encoded);
    if (!again || again->segments != target->segments) std::abort();
    if (!target->segments.empty() && again->directory != target->directory) std::abort();
    return 0;
}
