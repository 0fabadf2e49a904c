#include "server/answers/replies.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "server/answers/answer_headers.h"
#include "server/answers/validators.h"
#include "server/live_reload/live_reload_page.h"

namespace {

constexpr const char* kServerName = "SiteLauncher";

void AddCommonHeaders(MHD_Response* response) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_SERVER, kServerName);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
}

std::optional<std::string_view> RequestHeader(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    if (!value) return std::nullopt;
    return std::string_view(value);
}

MHD_Response* EmptyResponse() {
    return MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
}

// Streams [offset, offset + length) of a file. A read that falls short of what was promised (the
// file shrank or vanished underneath) ends the response with an error, so MHD closes the
// connection at once instead of waiting for bytes that will never come. We read bodies ourselves
// rather than handing MHD the descriptor (MHD_create_response_from_fd) on purpose: libmicrohttpd
// 0.9.75's sendfile path leaves the client waiting until the idle timeout when a file shrinks
// mid-download.
struct FileStream {
    UniqueFd fd;
    std::uint64_t offset;
};

ssize_t ReadFileStream(void* cls, std::uint64_t position, char* buffer, std::size_t max) {
    const auto* stream = static_cast<const FileStream*>(cls);
    const ssize_t got =
        pread(stream->fd.get(), buffer, max, static_cast<off_t>(stream->offset + position));
    if (got <= 0) return MHD_CONTENT_READER_END_WITH_ERROR;
    return got;
}

void CloseFileStream(void* cls) { delete static_cast<FileStream*>(cls); }

// Bodies up to this size are read whole and sent with the headers.
constexpr std::size_t kWholeBodyLimit = 64 * 1024;
// Larger bodies are streamed in blocks of this size: big enough to keep the system calls per
// megabyte few, small enough that many parallel downloads stay light. A shorter body gets a
// block of its own size.
constexpr std::size_t kStreamBlock = 256 * 1024;

// A small body is read whole with one pread, so that MHD sends it together with the
// headers. Nothing when the file no longer holds the promised bytes; the streamed answer then
// ends short as it should.
MHD_Response* ReadWholeBody(int fd, std::uint64_t offset, std::uint64_t length) {
    if (length == 0) return EmptyResponse();
    auto* body = static_cast<char*>(std::malloc(length));
    if (!body) return nullptr;
    if (pread(fd, body, length, static_cast<off_t>(offset)) != static_cast<ssize_t>(length)) {
        std::free(body);
        return nullptr;
    }
    MHD_Response* response = MHD_create_response_from_buffer(length, body, MHD_RESPMEM_MUST_FREE);
    if (!response) std::free(body);
    return response;
}

MHD_Response* FileResponse(UniqueFd fd, std::uint64_t offset, std::uint64_t length) {
    if (length <= kWholeBodyLimit) {
        if (MHD_Response* response = ReadWholeBody(fd.get(), offset, length)) return response;
    }
    auto* stream = new FileStream{std::move(fd), offset};
    MHD_Response* response = MHD_create_response_from_callback(
        length, static_cast<std::size_t>(std::min<std::uint64_t>(length, kStreamBlock)),
        &ReadFileStream, stream, &CloseFileStream);
    if (!response) CloseFileStream(stream);
    return response;
}

// "\"tag\"" becomes "\"tag-br\"" for a file sent in brotli.
std::string TagForCoding(std::string tag, std::string_view coding) {
    if (coding.empty() || tag.size() < 2) return tag;
    tag.insert(tag.size() - 1, "-" + std::string(coding));
    return tag;
}

}  // namespace

MHD_Result QueueResponse(MHD_Connection* connection, unsigned status, MHD_Response* response) {
    if (!response) return MHD_NO;
    AddCommonHeaders(response);
    AnswerHeaders::AddTo(response);
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result QueueBody(MHD_Connection* connection, unsigned status, std::string_view body,
                     std::string_view content_type, std::initializer_list<ExtraHeader> extra) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            std::string(content_type).c_str());
    for (const auto& header : extra) {
        MHD_add_response_header(response, header.name, header.value.c_str());
    }
    return QueueResponse(connection, status, response);
}

std::string StatusPage(unsigned status) {
    const char* reason = MHD_get_reason_phrase_for(status);
    const std::string title = std::to_string(status) + " " + reason;
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body><h1>" + title + "</h1></body></html>\n";
}

MHD_Result QueueStatusPage(MHD_Connection* connection, unsigned status,
                           std::initializer_list<ExtraHeader> extra) {
    return QueueBody(connection, status, StatusPage(status), "text/html; charset=utf-8", extra);
}

MHD_Result QueueEmpty(MHD_Connection* connection, unsigned status,
                      std::initializer_list<ExtraHeader> extra) {
    MHD_Response* response = EmptyResponse();
    if (!response) return MHD_NO;
    for (const auto& header : extra) {
        MHD_add_response_header(response, header.name, header.value.c_str());
    }
    return QueueResponse(connection, status, response);
}

MHD_Result QueueFile(MHD_Connection* connection, UniqueFd&& fd, const struct stat& info,
                     std::string_view content_type, std::string_view content_encoding) {
    FileFacts file{static_cast<std::uint64_t>(info.st_size), info.st_mtim.tv_sec,
                   TagForCoding(MakeETag(info), content_encoding)};
    const FilePlan plan =
        PlanFileResponse(file, {RequestHeader(connection, MHD_HTTP_HEADER_IF_NONE_MATCH),
                                RequestHeader(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE),
                                RequestHeader(connection, MHD_HTTP_HEADER_RANGE),
                                RequestHeader(connection, MHD_HTTP_HEADER_IF_RANGE)});
    MHD_Response* response = nullptr;
    if (plan.status == MHD_HTTP_OK || plan.status == MHD_HTTP_PARTIAL_CONTENT) {
        response = FileResponse(std::move(fd), plan.offset, plan.length);
    } else {
        fd.reset();
        response = EmptyResponse();
    }
    if (!response) return QueueStatusPage(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
    if (plan.status != MHD_HTTP_NOT_MODIFIED && plan.status != MHD_HTTP_RANGE_NOT_SATISFIABLE) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                std::string(content_type).c_str());
        if (!content_encoding.empty()) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING,
                                    std::string(content_encoding).c_str());
        }
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, file.etag.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED,
                            FormatHttpDate(file.modified).c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
    if (!plan.content_range.empty()) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE,
                                plan.content_range.c_str());
    }
    return QueueResponse(connection, plan.status, response);
}

MHD_Result QueueReloadPage(MHD_Connection* connection, UniqueFd&& fd, const struct stat& info,
                           std::string_view content_type) {
    std::string html(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < html.size()) {
        const ssize_t got =
            pread(fd.get(), html.data() + done, html.size() - done, static_cast<off_t>(done));
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    fd.reset();
    html.resize(done);  // a file that shrank meanwhile is sent as it was read
    const std::string etag = ReloadPageETag(MakeETag(info));
    // Revalidated by the tag alone: a date matches the plain file a browser may hold as well.
    const FilePlan plan =
        PlanFileResponse({html.size(), info.st_mtim.tv_sec, etag},
                         {RequestHeader(connection, MHD_HTTP_HEADER_IF_NONE_MATCH), std::nullopt});
    MHD_Response* response = nullptr;
    if (plan.status == MHD_HTTP_NOT_MODIFIED) {
        response = EmptyResponse();
    } else {
        const std::string page = WithReloadScript(html);
        response = MHD_create_response_from_buffer(page.size(), const_cast<char*>(page.data()),
                                                   MHD_RESPMEM_MUST_COPY);
        if (response) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                    std::string(content_type).c_str());
        }
    }
    if (!response) return QueueStatusPage(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, etag.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED,
                            FormatHttpDate(info.st_mtim.tv_sec).c_str());
    return QueueResponse(connection, plan.status, response);
}
