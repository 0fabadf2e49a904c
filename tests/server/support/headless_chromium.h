#pragma once

#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kChromium = "/usr/bin/chromium";

// Chromium's command line for a headless run with the fresh profile folder `profile`: no sandbox
// (tests run as root), no GPU, and none of its own connections to the internet.
std::vector<std::string> HeadlessChromium(const std::string& profile);

// Starts Chromium with `args` in a process group of its own (so that everything it starts can be
// killed with it), its standard output on `stdout_fd` and its error output dropped. Answers the
// child's process id, or -1.
int StartChromium(std::vector<std::string> args, int stdout_fd);

// The DOM headless Chromium renders for `url` (with a fresh profile, removed afterwards), or
// nothing when it fails or outlives a minute. `extra_args` go before the URL, e.g.
// "--virtual-time-budget=5000" to let the page's scripts finish first. Chromium and everything it
// started are killed afterwards.
std::optional<std::string> DumpDom(const std::string& url,
                                   const std::vector<std::string>& extra_args = {});
