#pragma once

#include <cstdint>
#include <string_view>

// What a Range header asks of a file of a known size.
struct RangeRequest {
    enum class Kind {
        kWhole,          // no usable single range: send the whole file
        kPartial,        // send `first` .. `first + length - 1`
        kUnsatisfiable,  // the range lies beyond the end of the file
    };
    Kind kind = Kind::kWhole;
    std::uint64_t first = 0;
    std::uint64_t length = 0;
};

// Reads a Range header value ("bytes=0-99", "bytes=100-", "bytes=-100"). A malformed header,
// another unit or several ranges give kWhole.
RangeRequest ParseRange(std::string_view header, std::uint64_t size);
