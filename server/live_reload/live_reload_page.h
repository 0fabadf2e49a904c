#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The pages the server sends while live reload is on carry one script element that loads the
// reload client from the server's reserved folder (never inline, so that a page whose
// Content-Security-Policy forbids inline scripts still reloads).

inline constexpr std::string_view kReservedFolder = ".site-launcher";
inline constexpr std::string_view kReloadScriptPath = "/.site-launcher/live-reload.js";
inline constexpr std::string_view kReloadStreamPath = "/.site-launcher/live-reload";
inline constexpr std::string_view kReloadScriptElement =
    "<script src=\"/.site-launcher/live-reload.js\"></script>";

// HTML files larger than this are sent as they are: reading them whole to add the script would
// hold them in memory.
inline constexpr std::size_t kMaxReloadPageBytes = 8 * 1024 * 1024;

// `html` with the script element inserted before its last "</body>" (any letter case), or
// appended when it has none.
std::string WithReloadScript(std::string_view html);

// The entity tag of the page with the script, told apart from the plain file's `etag` (a quoted
// tag as MakeETag gives).
std::string ReloadPageETag(std::string_view etag);

// The client script served at kReloadScriptPath.
std::string_view ReloadScript();
