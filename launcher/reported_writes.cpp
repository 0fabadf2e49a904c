#include "launcher/reported_writes.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "site/file_ops.h"
#include "site/settings.h"

namespace {

void report(const std::string& path, const std::error_code& error) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", program_invocation_short_name, path.c_str(),
                 error.message().c_str());
}

}  // namespace

void write_file_or_report(const std::string& path, std::string_view bytes) {
    std::error_code error;
    if (!site::write_whole_file(path, bytes, error)) report(path, error);
}

void write_setting_or_report(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view value) {
    std::error_code error;
    if (!site::write_setting(file, section, key, value, error)) report(file, error);
}
