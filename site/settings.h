#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

// The INI settings file (web/Config.web), read and written the way Windows private-profile files
// are: sections and keys match without regard to ASCII case, values are trimmed.
namespace site {

// At most this many characters of a value come back; longer values are cut.
inline constexpr std::size_t kMaxSettingLength = 10239;

// The value of `key` in `section` of `file`, or `fallback` when the file, the section or the key is
// missing. Leading characters with codes 1 to 32 are skipped in file, section and key; if any of
// them is then empty the answer is the empty text.
std::string read_setting(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view fallback);

// Sets `key` in `section` to `value`, creating the file, section or key as needed. Every other byte
// of the file stays as it was. The new file is written beside the old one and renamed over it.
// False, with nothing written, on any failure (including a value holding a line break); `error`,
// when given, then says why.
bool write_setting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value);
bool write_setting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value, std::error_code& error);

}  // namespace site
