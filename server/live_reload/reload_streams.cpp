#include "server/live_reload/reload_streams.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "server/answers/replies.h"

struct ReloadStreams::Stream {
    ReloadStreams* owner;
    MHD_Connection* connection;
    std::string pending;     // bytes not yet handed to MHD
    bool suspended = false;  // MHD_suspend_connection was called and no resume since
};

namespace {

// A page that reads nothing (a frozen tab) gets no more than this queued; what is queued already
// reloads it once it reads again.
constexpr std::size_t kMaxPending = 64 * 1024;

// A browser waits this long before reconnecting after the site was stopped.
constexpr std::string_view kRetry = "retry: 1000\n";

// Event data stays on one line whatever a file name holds.
std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}

}  // namespace

ReloadStreams::ReloadStreams()
    : start_id_(std::to_string(std::chrono::system_clock::now().time_since_epoch() /
                               std::chrono::microseconds(1))) {}

MHD_Result ReloadStreams::Open(MHD_Connection* connection,
                               std::optional<std::string_view> last_event_id) {
    auto* stream = new Stream{this, connection, {}, false};
    {
        const std::lock_guard lock(mutex_);
        const std::string id = start_id_ + "-" + std::to_string(changes_);
        // The id alone dispatches no event; the browser sends it back when it reconnects.
        stream->pending = std::string(kRetry) + "id: " + id + "\n\n";
        if (last_event_id && *last_event_id != id) stream->pending += "event: reload\ndata: /\n\n";
        if (closed_) {
            delete stream;
            return QueueStatusPage(connection, MHD_HTTP_SERVICE_UNAVAILABLE);
        }
        streams_.insert(stream);
    }
    MHD_Response* response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &Read, stream, &Free);
    if (!response) {
        Free(stream);
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            "text/event-stream; charset=utf-8");
    // A page may stay open for hours: the idle timeout is for ordinary requests only.
    MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
    return QueueResponse(connection, MHD_HTTP_OK, response);
}

ssize_t ReloadStreams::Read(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto* stream = static_cast<Stream*>(cls);
    ReloadStreams& owner = *stream->owner;
    const std::lock_guard lock(owner.mutex_);
    if (!stream->pending.empty()) {
        const std::size_t count = std::min(max, stream->pending.size());
        std::memcpy(buffer, stream->pending.data(), count);
        stream->pending.erase(0, count);
        return static_cast<ssize_t>(count);
    }
    if (owner.closed_) return MHD_CONTENT_READER_END_OF_STREAM;
    // Nothing to send: park the connection instead of answering 0 again and again, which MHD's
    // event loop would turn into a busy wait. Done under the lock, so that news appended after
    // this point finds the flag and resumes the connection.
    stream->suspended = true;
    MHD_suspend_connection(stream->connection);
    return 0;
}

void ReloadStreams::Free(void* cls) {
    auto* stream = static_cast<Stream*>(cls);
    {
        const std::lock_guard lock(stream->owner->mutex_);
        stream->owner->streams_.erase(stream);
    }
    delete stream;
}

void ReloadStreams::Append(std::string_view text) {
    std::vector<MHD_Connection*> to_resume;
    {
        const std::lock_guard lock(mutex_);
        for (Stream* stream : streams_) {
            if (stream->pending.size() < kMaxPending) stream->pending.append(text);
            if (stream->suspended) {
                stream->suspended = false;
                to_resume.push_back(stream->connection);
            }
        }
    }
    // Resumed outside the lock: MHD takes its own locks here. A suspended connection stays alive
    // until resumed, so the pointers are still good.
    for (MHD_Connection* connection : to_resume) MHD_resume_connection(connection);
}

void ReloadStreams::Send(std::string_view event, std::string_view data) {
    std::string id;
    {
        const std::lock_guard lock(mutex_);
        id = start_id_ + "-" + std::to_string(++changes_);
    }
    Append("id: " + id + "\nevent: " + OneLine(event) + "\ndata: " + OneLine(data) + "\n\n");
}

void ReloadStreams::KeepAlive() { Append(": keep-alive\n\n"); }

void ReloadStreams::Close() {
    std::vector<MHD_Connection*> to_resume;
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        for (Stream* stream : streams_) {
            if (stream->suspended) {
                stream->suspended = false;
                to_resume.push_back(stream->connection);
            }
        }
    }
    for (MHD_Connection* connection : to_resume) MHD_resume_connection(connection);
}
