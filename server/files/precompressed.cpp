#include "server/files/precompressed.h"

#include <utility>

#include "server/answers/answer_headers.h"
#include "server/answers/mime_types.h"
#include "server/answers/replies.h"
#include "server/files/open_beneath.h"
#include "server/requests/quality_list.h"
#include "server/requests/text_codec.h"

namespace {

struct Suffix {
    std::string_view suffix;
    std::string_view coding;
};

constexpr Suffix kBrotli{".br", "br"};
constexpr Suffix kGzip{".gz", "gzip"};

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() &&
           EqualsIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

// A compressed sibling of the file a request names: open, a regular file, and not older than that
// file (an older one is left over from an earlier build).
struct Sibling {
    UniqueFd fd;
    struct stat info {};
    bool present = false;  // a regular file of that name lies beside
    bool fresh = false;    // and may stand for the file
};

bool IsOlder(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

void OpenSibling(int root_fd, std::vector<std::string> segments, const Suffix& kind,
                 const struct stat& original, Sibling& sibling) {
    segments.back() += kind.suffix;
    sibling.fd = OpenBeneath(root_fd, segments);
    if (!sibling.fd) return;
    if (fstat(sibling.fd.get(), &sibling.info) != 0 || !S_ISREG(sibling.info.st_mode)) return;
    sibling.present = true;
    sibling.fresh = !IsOlder(sibling.info.st_mtim, original.st_mtim);
}

std::optional<std::string_view> RequestHeader(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    if (!value) return std::nullopt;
    return std::string_view(value);
}

}  // namespace

StoredType TypeOfStoredFile(std::string_view name) {
    for (const Suffix& kind : {kBrotli, kGzip}) {
        if (!EndsWithIgnoringCase(name, kind.suffix)) continue;
        const auto inner = KnownContentTypeFor(name.substr(0, name.size() - kind.suffix.size()));
        if (inner) return {*inner, kind.coding};
    }
    return {ContentTypeFor(name), {}};
}

Coding ChooseCoding(std::optional<std::string_view> accept_encoding, bool have_brotli,
                    bool have_gzip) {
    if (!accept_encoding || (!have_brotli && !have_gzip)) return Coding::kIdentity;
    const std::vector<QualityItem> list = ParseQualityList(*accept_encoding);
    const int brotli = have_brotli ? WeightOf(list, "br").value_or(0) : 0;
    const int gzip = have_gzip ? WeightOf(list, "gzip", "x-gzip").value_or(0) : 0;
    const int best = std::max(brotli, gzip);
    if (best == 0) return Coding::kIdentity;
    // Identity counts only where the client names it; it is acceptable anyway by default.
    for (const auto& item : list) {
        if (EqualsIgnoringCase(item.name, "identity") && item.weight > best) {
            return Coding::kIdentity;
        }
    }
    return brotli >= gzip ? Coding::kBrotli : Coding::kGzip;
}

MHD_Result QueueStoredFile(MHD_Connection* connection, const CompressedFolders& folders,
                           int root_fd, const std::vector<std::string>& segments, UniqueFd&& fd,
                           const struct stat& info) {
    const StoredType type = TypeOfStoredFile(segments.back());
    if (!type.content_encoding.empty()) {
        return QueueFile(connection, std::move(fd), info, type.content_type, type.content_encoding);
    }
    const std::vector<std::string> folder(segments.begin(), segments.end() - 1);
    if (!folders.MayHoldCompressed(root_fd, folder)) {
        return QueueFile(connection, std::move(fd), info, type.content_type);
    }
    Sibling brotli;
    Sibling gzip;
    OpenSibling(root_fd, segments, kBrotli, info, brotli);
    OpenSibling(root_fd, segments, kGzip, info, gzip);
    if (!brotli.present && !gzip.present) {
        return QueueFile(connection, std::move(fd), info, type.content_type);
    }
    AnswerHeaders::AddVary("Accept-Encoding");
    switch (ChooseCoding(RequestHeader(connection, MHD_HTTP_HEADER_ACCEPT_ENCODING), brotli.fresh,
                         gzip.fresh)) {
        case Coding::kBrotli:
            return QueueFile(connection, std::move(brotli.fd), brotli.info, type.content_type,
                             kBrotli.coding);
        case Coding::kGzip:
            return QueueFile(connection, std::move(gzip.fd), gzip.info, type.content_type,
                             kGzip.coding);
        case Coding::kIdentity:
            break;
    }
    return QueueFile(connection, std::move(fd), info, type.content_type);
}
