#pragma once

#include <cstdint>
#include <string_view>

// The port box's text as a number: full-width ASCII forms and the ideographic space are folded to
// ASCII, then leading white space, an optional sign and the leading decimal digits are read up to
// the first other character. Text without such digits gives 0. No range check is made here;
// values beyond 32 bits stop at the nearest 32-bit limit rather than wrapping round to some other
// port.
std::int32_t port_number_from_text(std::u16string_view text);
