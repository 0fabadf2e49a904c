#pragma once

#include <microhttpd.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// The open live reload event streams (Server-Sent Events) of one running server. A stream with
// nothing to send has its connection suspended (MHD_suspend_connection), so no thread waits on it
// and MHD's idle timeout does not apply; news resumes it. Needs a daemon started with
// MHD_ALLOW_SUSPEND_RESUME.
class ReloadStreams {
  public:
    ReloadStreams();
    ReloadStreams(const ReloadStreams&) = delete;
    ReloadStreams& operator=(const ReloadStreams&) = delete;

    // Answers `connection` with a new stream. `last_event_id` is what a reconnecting browser
    // saw last: when changes happened since (or the server was restarted in between), the stream
    // starts with a reload.
    MHD_Result Open(MHD_Connection* connection, std::optional<std::string_view> last_event_id);

    // Sends the event to every open stream.
    void Send(std::string_view event, std::string_view data);

    // A comment line on every stream: keeps proxies and browsers from thinking it dead, and lets
    // MHD notice streams whose page went away.
    void KeepAlive();

    // Ends every stream and lets none wait any longer: called before the daemon stops, which
    // must not find a suspended connection.
    void Close();

  private:
    struct Stream;
    static ssize_t Read(void* cls, std::uint64_t position, char* buffer, std::size_t max);
    static void Free(void* cls);
    // Appends `text` to every stream; the caller resumes the ones answered.
    void Append(std::string_view text);

    std::mutex mutex_;
    std::unordered_set<Stream*> streams_;
    bool closed_ = false;
    std::string start_id_;  // differs between two starts of the server
    std::uint64_t changes_ = 0;
};
