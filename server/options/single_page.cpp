#include "server/options/single_page.h"

#include "server/answers/answer_headers.h"
#include "server/requests/quality_list.h"
#include "server/requests/text_codec.h"

namespace {

// How closely a media range matches text/html: 3 exactly, 2 through text/*, 1 through */*,
// 0 not at all.
int Specificity(std::string_view range) {
    if (EqualsIgnoringCase(range, "text/html")) return 3;
    if (EqualsIgnoringCase(range, "text/*")) return 2;
    if (range == "*/*") return 1;
    return 0;
}

}  // namespace

bool IsRoutePath(const std::vector<std::string>& segments) {
    if (segments.empty()) return false;
    // A leading dot names a hidden file or folder (".well-known"), not an extension.
    return segments.back().find('.', 1) == std::string::npos;
}

bool AcceptsHtml(std::optional<std::string_view> accept) {
    if (!accept) return false;
    int best_specificity = 0;
    int weight = 0;
    for (const auto& item : ParseQualityList(*accept)) {
        const int specificity = Specificity(item.name);
        if (specificity > best_specificity) {
            best_specificity = specificity;
            weight = item.weight;
        }
    }
    return weight > 0;
}

bool WantsAppIndex(MHD_Connection* connection, const std::vector<std::string>& segments) {
    if (!IsRoutePath(segments)) return false;
    AnswerHeaders::AddVary("Accept");
    const char* accept =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT);
    return AcceptsHtml(accept ? std::optional<std::string_view>(accept) : std::nullopt);
}
