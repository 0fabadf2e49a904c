#include "server/options/cors.h"

#include <string>

#include "server/answers/replies.h"
#include "server/requests/text_codec.h"

namespace {

constexpr const char* kRequestMethod = "Access-Control-Request-Method";
constexpr const char* kRequestHeaders = "Access-Control-Request-Headers";
// Ten minutes: Chromium's own upper bound is two hours, Firefox's a day.
constexpr const char* kMaxAgeSeconds = "600";

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool HasHeader(MHD_Connection* connection, const char* name) {
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name) != nullptr;
}

}  // namespace

bool IsTokenList(std::string_view text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view token = TrimSpaces(
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (token.empty()) return false;
        for (const char c : token) {
            if (!IsTokenChar(c)) return false;
        }
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

bool IsPreflight(MHD_Connection* connection, std::string_view method) {
    return method == MHD_HTTP_METHOD_OPTIONS && HasHeader(connection, MHD_HTTP_HEADER_ORIGIN) &&
           HasHeader(connection, kRequestMethod);
}

MHD_Result QueuePreflight(MHD_Connection* connection) {
    const char* requested =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, kRequestHeaders);
    if (requested && IsTokenList(requested)) {
        return QueueEmpty(connection, MHD_HTTP_NO_CONTENT,
                          {{"Access-Control-Allow-Methods", "GET, HEAD"},
                           {"Access-Control-Allow-Headers", std::string(TrimSpaces(requested))},
                           {"Access-Control-Max-Age", kMaxAgeSeconds}});
    }
    return QueueEmpty(connection, MHD_HTTP_NO_CONTENT,
                      {{"Access-Control-Allow-Methods", "GET, HEAD"},
                       {"Access-Control-Max-Age", kMaxAgeSeconds}});
}
