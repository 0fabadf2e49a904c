#pragma once

#include <span>
#include <string_view>

#include "server/serve_options.h"

// When a change made while the site runs reaches the server.
enum class TakesEffect {
    kAtOnce,     // the running server is switched as soon as the user changes it
    kNextStart,  // the running server keeps its setting until it is started again
};

// One switch of the window's options menu: remembered as `key` = 1/0 in section [Config] of
// web/Config.web, shown as `label` (UTF-8), and driving `option` of the server.
struct SiteOption {
    std::string_view key;
    std::string_view label;
    ServeOption option;
    TakesEffect effect;
};

// Every option of the menu, in menu order.
std::span<const SiteOption> site_options();
