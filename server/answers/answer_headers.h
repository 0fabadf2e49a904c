#pragma once

#include <microhttpd.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/serve_options.h"

// Headers that every answer to one request carries, whichever reply builder makes it (file, page,
// redirect, refusal): the headers the switched-on serving options ask for, and what serving learns
// on the way (Vary). Held for the duration of the request handler's call on its worker thread, so
// that the reply builders need not pass them through every call.
class AnswerHeaders {
  public:
    // Becomes the current request's headers on this thread until destroyed.
    explicit AnswerHeaders(const ServeOptions& options);
    ~AnswerHeaders();
    AnswerHeaders(const AnswerHeaders&) = delete;
    AnswerHeaders& operator=(const AnswerHeaders&) = delete;

    // Adds `field` (a string literal) to the current request's Vary header; nothing when no
    // request is being answered on this thread.
    static void AddVary(std::string_view field);

    // Adds the current request's headers to `response`, about to be queued.
    static void AddTo(MHD_Response* response);

  private:
    std::vector<std::pair<const char*, const char*>> fixed_;  // name, value
    std::vector<std::string_view> vary_;                      // field names, each once
    AnswerHeaders* outer_;
};
