#pragma once

#include <span>
#include <string_view>

#include "launcher/options/site_options.h"

// Options as web/Config.web remembers them under the base path (the path box's text).

// On only when the option's key reads 1; a missing file or key, 0 or any other text is off.
bool option_remembered_on(std::string_view base_path, const SiteOption& option);

// Writes the option's key as 1 or 0, keeping every other byte of the file. False, with nothing
// written, when the file cannot be written.
bool remember_option(std::string_view base_path, const SiteOption& option, bool on);

// Switches every option of `options` on the server as Config.web says, before the site starts.
void apply_remembered_options(std::string_view base_path,
                              std::span<const SiteOption> options = site_options());
