#pragma once

#include <string>
#include <string_view>

// The site folder's writes as the handlers make them. The window says nothing about a failed
// write, as always; whoever started the program from a terminal reads one line per failure on
// standard error ("site-launcher: cannot write PATH: REASON").

void write_file_or_report(const std::string& path, std::string_view bytes);

void write_setting_or_report(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view value);
