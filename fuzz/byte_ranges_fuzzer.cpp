// A Range header never asks for bytes outside the file: the first eight input bytes give the
// file's size, the rest is the header's value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "server/answers/byte_ranges.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t file_size = 0;
    if (size < sizeof file_size) return 0;
    std::memcpy(&file_size, data, sizeof file_size);
    const std::string_view header(reinterpret_cast<const char*>(data) + sizeof file_size,
                                  size - sizeof file_size);

    const RangeRequest range = ParseRange(header, file_size);
    if (range.kind == RangeRequest::Kind::kPartial) {
        if (range.length == 0 || range.first >= file_size) std::abort();
        if (range.length > file_size - range.first) std::abort();
    }
    return 0;
}
