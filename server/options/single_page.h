#pragma once

#include <microhttpd.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The single-page app fallback (the "单页应用" option): an app that routes by the address
// ("/settings", "/users/7") has only its index.html on disk, so a browser loading such an address
// directly is given that page, and the app's own router shows the view.

// True for a path a router may own: its last segment has no extension ("/settings",
// "/users/7/"), unlike "/app.js" or "/logo.png", which are files that are missing.
bool IsRoutePath(const std::vector<std::string>& segments);

// True when an Accept header admits text/html with q > 0 (through text/html, text/* or */*, the
// most specific of them deciding). A request without Accept is not taken for a page load.
bool AcceptsHtml(std::optional<std::string_view> accept);

// True when a request for the missing `segments` is a page load of a route path, which the root
// index.html answers, like index.html itself (revalidation included). Marks the answer
// Vary: Accept for route paths, since the Accept header decides.
bool WantsAppIndex(MHD_Connection* connection, const std::vector<std::string>& segments);
