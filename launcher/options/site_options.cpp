#include "launcher/options/site_options.h"

namespace {

// A new option is one row here; the menu, Config.web and the start of the site follow it.
constexpr SiteOption kSiteOptions[] = {
    {"LiveReload", "自动刷新", ServeOption::kLiveReload, TakesEffect::kAtOnce},
    {"Lan", "局域网访问", ServeOption::kLanSharing, TakesEffect::kNextStart},
    {"Isolated", "跨源隔离", ServeOption::kCrossOriginIsolation, TakesEffect::kAtOnce},
    {"SinglePage", "单页应用", ServeOption::kSinglePageApp, TakesEffect::kAtOnce},
    {"Cors", "允许跨域", ServeOption::kCors, TakesEffect::kAtOnce},
};

}  // namespace

std::span<const SiteOption> site_options() { return kSiteOptions; }
