#pragma once

#include <microhttpd.h>

#include <string_view>

// Cross-origin reads (the "允许跨域" option): every answer allows any origin, and the browser's
// preflight for a cross-origin GET or HEAD is answered.

inline constexpr const char* kAllowOriginHeader = "Access-Control-Allow-Origin";
inline constexpr const char* kAllowAnyOrigin = "*";

// True when the request is a CORS preflight: OPTIONS with Origin and
// Access-Control-Request-Method.
bool IsPreflight(MHD_Connection* connection, std::string_view method);

// 204 with the methods we serve, the requested headers when they form a valid list of field
// names (otherwise none, which makes the browser refuse the actual request), and how long the
// browser may keep the answer.
MHD_Result QueuePreflight(MHD_Connection* connection);

// True for a comma-separated list of HTTP tokens (field names), spaces around the commas allowed.
bool IsTokenList(std::string_view text);
