#include "launcher/site_options.h"

namespace {

// A new option is one row here; the menu, Config.web and the start of the site follow it.
constexpr SiteOption kSiteOptions[] = {
    {"LiveReload", "自动刷新", ServeOption::kLiveReload, TakesEffect::kAtOnce},
};

}  // namespace

std::span<const SiteOption> site_options() { return kSiteOptions; }
