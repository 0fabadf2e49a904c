#include "server/requests/request_handler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "server/answers/answer_headers.h"
#include "server/answers/directory_listing.h"
#include "server/answers/mime_types.h"
#include "server/answers/replies.h"
#include "server/files/open_beneath.h"
#include "server/files/precompressed.h"
#include "server/live_reload/live_reload_page.h"
#include "server/options/cors.h"
#include "server/options/single_page.h"
#include "server/requests/host_check.h"
#include "server/requests/request_path.h"
#include "server/requests/text_codec.h"
#include "server/unique_fd.h"

namespace {

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::size_t kMaxNotFoundPageBytes = 1024 * 1024;

struct HostHeaders {
    int count = 0;
    const char* value = nullptr;
};

MHD_Result CountHost(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* hosts = static_cast<HostHeaders*>(cls);
    if (EqualsIgnoringCase(key, MHD_HTTP_HEADER_HOST)) {
        ++hosts->count;
        hosts->value = value;
    }
    return MHD_YES;
}

// 0 when the Host header is acceptable, otherwise the status to answer.
unsigned CheckHost(MHD_Connection* connection, const ServeSettings& settings,
                   std::string_view version) {
    HostHeaders hosts;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CountHost, &hosts);
    if (hosts.count > 1) return MHD_HTTP_BAD_REQUEST;
    if (hosts.count == 0) {
        return version == MHD_HTTP_VERSION_1_0 ? 0 : MHD_HTTP_BAD_REQUEST;
    }
    const std::string_view host = hosts.value ? hosts.value : "";
    if (IsLoopbackHost(host)) return 0;
    if (settings.own_addresses && settings.own_addresses->Admits(host)) return 0;
    return MHD_HTTP_FORBIDDEN;
}

std::optional<std::string> ReadSmallFile(int fd, std::size_t limit) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got =
            pread(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    return content;
}

bool LiveReloadOn(const ServeSettings& settings) {
    return settings.options.On(ServeOption::kLiveReload);
}

// An HTML page we wrote or read whole, with the live reload script when that is on.
MHD_Result QueueHtml(MHD_Connection* connection, const ServeSettings& settings, unsigned status,
                     std::string_view page) {
    if (!LiveReloadOn(settings)) return QueueBody(connection, status, page, kHtml);
    return QueueBody(connection, status, WithReloadScript(page), kHtml);
}

// The folder's own 404.html, read afresh each time since the user may edit it.
MHD_Result QueueNotFound(MHD_Connection* connection, const ServeSettings& settings, int root_fd) {
    std::optional<std::string> page;
    if (root_fd >= 0) {
        if (const UniqueFd fd = OpenBeneath(root_fd, {"404.html"})) {
            page = ReadSmallFile(fd.get(), kMaxNotFoundPageBytes);
        }
    }
    if (!page) {
        if (!LiveReloadOn(settings)) return QueueStatusPage(connection, MHD_HTTP_NOT_FOUND);
        page = StatusPage(MHD_HTTP_NOT_FOUND);
    }
    return QueueHtml(connection, settings, MHD_HTTP_NOT_FOUND, *page);
}

// A regular file at `segments`: an HTML page carries the live reload script when that is on (sent
// from the plain file, whatever compressed copies lie beside it); anything else may be sent as a
// compressed copy.
MHD_Result QueueServedFile(MHD_Connection* connection, const ServeSettings& settings, int root_fd,
                           const std::vector<std::string>& segments, UniqueFd&& fd,
                           const struct stat& info) {
    const std::string_view content_type = ContentTypeFor(segments.back());
    if (LiveReloadOn(settings) && content_type == kHtml &&
        static_cast<std::uint64_t>(info.st_size) <= kMaxReloadPageBytes) {
        return QueueReloadPage(connection, std::move(fd), info, content_type);
    }
    return QueueStoredFile(connection, settings.compressed_folders, root_fd, segments,
                           std::move(fd), info);
}

// The regular file at `index_path` (a folder's index.html), when there is one.
std::optional<MHD_Result> QueueIndexPage(MHD_Connection* connection, const ServeSettings& settings,
                                         int root_fd, const std::vector<std::string>& index_path) {
    UniqueFd index = OpenBeneath(root_fd, index_path);
    struct stat info {};
    if (!index || fstat(index.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return QueueServedFile(connection, settings, root_fd, index_path, std::move(index), info);
}

std::string DisplayPath(const std::vector<std::string>& segments) {
    std::string path = "/";
    for (const auto& segment : segments) path += segment + "/";
    return path;
}

MHD_Result ServeFolder(MHD_Connection* connection, const ServeSettings& settings, int root_fd,
                       const RequestTarget& target) {
    if (!target.directory) {
        std::string location = EncodePath(target.segments, true);
        if (target.query) location += "?" + *target.query;
        return QueueStatusPage(connection, MHD_HTTP_MOVED_PERMANENTLY,
                               {{MHD_HTTP_HEADER_LOCATION, location}});
    }
    std::vector<std::string> index_path = target.segments;
    index_path.push_back("index.html");
    if (auto answered = QueueIndexPage(connection, settings, root_fd, index_path)) return *answered;
    const std::string page = RenderListing(DisplayPath(target.segments), target.segments.empty(),
                                           ReadListing(root_fd, target.segments));
    return QueueHtml(connection, settings, MHD_HTTP_OK, page);
}

MHD_Result ServeTarget(MHD_Connection* connection, const ServeSettings& settings, int root_fd,
                       const RequestTarget& target) {
    UniqueFd fd = OpenBeneath(root_fd, target.segments);
    // Single-page apps: a missing route path of a page load answers the root index.html.
    if (!fd && (errno == ENOENT || errno == ENOTDIR) &&
        settings.options.On(ServeOption::kSinglePageApp) &&
        WantsAppIndex(connection, target.segments)) {
        if (auto answered = QueueIndexPage(connection, settings, root_fd, {"index.html"})) {
            return *answered;
        }
    }
    struct stat info {};
    if (!fd || fstat(fd.get(), &info) != 0) return QueueNotFound(connection, settings, root_fd);
    if (S_ISDIR(info.st_mode)) {
        fd.reset();
        return ServeFolder(connection, settings, root_fd, target);
    }
    if (S_ISREG(info.st_mode) && !target.directory) {
        return QueueServedFile(connection, settings, root_fd, target.segments, std::move(fd), info);
    }
    fd.reset();
    return QueueNotFound(connection, settings, root_fd);
}

// The reserved live reload paths, answered only while live reload is on; otherwise they are
// ordinary paths of the folder.
std::optional<MHD_Result> ServeReserved(MHD_Connection* connection, ServeSettings& settings,
                                        const RequestTarget& target, std::string_view method) {
    if (!LiveReloadOn(settings) || target.directory || target.segments.size() != 2 ||
        target.segments[0] != kReservedFolder) {
        return std::nullopt;
    }
    const std::string path = "/" + target.segments[0] + "/" + target.segments[1];
    if (path == kReloadScriptPath) {
        return QueueBody(connection, MHD_HTTP_OK, ReloadScript(), "text/javascript; charset=utf-8");
    }
    if (path != kReloadStreamPath) return std::nullopt;
    if (method == MHD_HTTP_METHOD_HEAD) {
        return QueueBody(connection, MHD_HTTP_OK, "", "text/event-stream; charset=utf-8");
    }
    const char* last_id = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Last-Event-ID");
    return settings.reload_streams.Open(
        connection, last_id ? std::optional<std::string_view>(last_id) : std::nullopt);
}

// 0 when the request may be served, otherwise the status that refuses it.
unsigned RefusalStatus(MHD_Connection* connection, const ServeSettings& settings,
                       const RequestContext& request, std::string_view method,
                       std::string_view version) {
    if (request.raw_target.size() > settings.max_target_bytes) return MHD_HTTP_URI_TOO_LONG;
    if (const unsigned refusal = CheckHost(connection, settings, version)) return refusal;
    if (method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_HEAD &&
        !(settings.options.On(ServeOption::kCors) && IsPreflight(connection, method))) {
        return MHD_HTTP_METHOD_NOT_ALLOWED;
    }
    return 0;
}

MHD_Result QueueRefusal(MHD_Connection* connection, unsigned status) {
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
        return QueueStatusPage(connection, status, {{MHD_HTTP_HEADER_ALLOW, "GET, HEAD"}});
    }
    return QueueStatusPage(connection, status);
}

MHD_Result Serve(MHD_Connection* connection, ServeSettings& settings, const RequestContext& request,
                 std::string_view method) {
    // Only preflights get this far with OPTIONS.
    if (method == MHD_HTTP_METHOD_OPTIONS) return QueuePreflight(connection);
    const std::optional<RequestTarget> target = ParseRequestTarget(request.raw_target);
    if (!target) return QueueStatusPage(connection, MHD_HTTP_BAD_REQUEST);
    if (auto reserved = ServeReserved(connection, settings, *target, method)) return *reserved;
    const auto root = settings.root.Get();
    if (!root) return QueueNotFound(connection, settings, -1);
    return ServeTarget(connection, settings, root->fd(), *target);
}

}  // namespace

MHD_Result HandleRequest(MHD_Connection* connection, ServeSettings& settings,
                         RequestContext& request, std::string_view method, std::string_view version,
                         std::size_t* upload_size) {
    using Stage = RequestContext::Stage;
    const AnswerHeaders answer_headers(settings.options);
    switch (request.stage) {
        case Stage::kHeadersRead:
            if (const unsigned refusal =
                    RefusalStatus(connection, settings, request, method, version)) {
                request.stage = Stage::kAnswered;
                return QueueRefusal(connection, refusal);
            }
            request.stage = Stage::kReadingBody;
            return MHD_YES;
        case Stage::kReadingBody:
            if (*upload_size > 0) {
                *upload_size = 0;
                return MHD_YES;
            }
            request.stage = Stage::kAnswered;
            return Serve(connection, settings, request, method);
        case Stage::kAnswered:
            *upload_size = 0;
            return MHD_YES;
    }
    return MHD_NO;
}
