#include "launcher/options/option_settings.h"

#include "launcher/site_server.h"
#include "server/http_server.h"
#include "site/paths.h"
#include "site/settings.h"

namespace {

constexpr std::string_view kSection = "Config";

}  // namespace

bool option_remembered_on(std::string_view base_path, const SiteOption& option) {
    return site::read_setting(site::settings_file(base_path), kSection, option.key, "0") == "1";
}

bool remember_option(std::string_view base_path, const SiteOption& option, bool on) {
    return site::write_setting(site::settings_file(base_path), kSection, option.key,
                               on ? "1" : "0");
}

void apply_remembered_options(std::string_view base_path, std::span<const SiteOption> options) {
    for (const SiteOption& option : options)
        site_server->SetOption(option.option, option_remembered_on(base_path, option));
}
