#include "server/answers/answer_headers.h"

#include "server/options/cors.h"

namespace {

thread_local AnswerHeaders* current = nullptr;

}  // namespace

AnswerHeaders::AnswerHeaders(const ServeOptions& options) : outer_(current) {
    if (options.On(ServeOption::kCrossOriginIsolation)) {
        // Together these make the page cross-origin isolated (SharedArrayBuffer, precise timers);
        // CORP lets our own resources load under COEP while keeping other sites from embedding
        // them.
        fixed_.emplace_back("Cross-Origin-Opener-Policy", "same-origin");
        fixed_.emplace_back("Cross-Origin-Embedder-Policy", "require-corp");
        fixed_.emplace_back("Cross-Origin-Resource-Policy", "same-origin");
    }
    if (options.On(ServeOption::kCors)) {
        fixed_.emplace_back(kAllowOriginHeader, kAllowAnyOrigin);
    }
    current = this;
}

AnswerHeaders::~AnswerHeaders() { current = outer_; }

void AnswerHeaders::AddVary(std::string_view field) {
    if (!current) return;
    auto& vary = current->vary_;
    for (const auto known : vary) {
        if (known == field) return;
    }
    vary.push_back(field);
}

void AnswerHeaders::AddTo(MHD_Response* response) {
    if (!current) return;
    for (const auto& [name, value] : current->fixed_) {
        MHD_add_response_header(response, name, value);
    }
    std::string vary;
    for (const auto field : current->vary_) {
        if (!vary.empty()) vary += ", ";
        vary += field;
    }
    if (!vary.empty()) MHD_add_response_header(response, "Vary", vary.c_str());
}
