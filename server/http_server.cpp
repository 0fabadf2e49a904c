#include "server/http_server.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "server/live_reload/live_reload.h"
#include "server/network/listener.h"
#include "server/requests/request_handler.h"
#include "server/server_config.h"
#include "server/store_map.h"
#include "server/unique_fd.h"

namespace {

// Lets the server keep many connections open at once; done once per process.
void RaiseDescriptorLimit() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

unsigned ConnectionLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 16384;
    // Leave room for the files being sent (one descriptor per download) and the rest of the
    // program.
    const auto usable = static_cast<long long>(limit.rlim_cur) / 2 - 64;
    return static_cast<unsigned>(std::clamp(usable, 64LL, 16384LL));
}

unsigned WorkerCount(const ServerConfig& config) {
    if (config.threads > 0) return config.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

// MHD keeps the raw request target here: its own decoding cannot tell "%2F" from '/'.
void* RememberTarget(void*, const char* uri, MHD_Connection*) {
    auto* request = new RequestContext;
    request->raw_target = uri ? uri : "";
    return request;
}

void ForgetRequest(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    delete static_cast<RequestContext*>(*context);
    *context = nullptr;
}

// Paths are decoded by the request handler from the raw target, so MHD leaves them as they are.
size_t KeepEscapes(void*, MHD_Connection*, char* text) { return std::strlen(text); }

MHD_Result Answer(void* cls, MHD_Connection* connection, const char*, const char* method,
                  const char* version, const char*, size_t* upload_size, void** context) {
    auto* request = static_cast<RequestContext*>(*context);
    if (!request) return MHD_NO;
    return HandleRequest(connection, *static_cast<ServeSettings*>(cls), *request,
                         method ? method : "", version ? version : "", upload_size);
}

// libmicrohttpd's own messages go to standard error while a start is under way, so that a failed
// start names its reason. Once serving, it would also report every client that goes away early or
// sends a bad request; those are the clients' business and are left out.
void LogStartMessage(void* starting, const char* format, va_list arguments) {
    if (!static_cast<const std::atomic<bool>*>(starting)->load()) return;
    char message[512];
    std::vsnprintf(message, sizeof message, format, arguments);
    std::size_t length = std::strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r')) --length;
    std::fprintf(stderr, "%s: libmicrohttpd: %.*s\n", program_invocation_short_name,
                 static_cast<int>(length), message);
}

// After a failed start MHD may or may not have closed the descriptor it was given. `copy` still
// being our socket is told by its inode, which cannot be reused while `original` is open.
void CloseIfStillOurs(int copy, int original) {
    struct stat copy_info {};
    struct stat original_info {};
    if (fstat(copy, &copy_info) == 0 && fstat(original, &original_info) == 0 &&
        copy_info.st_dev == original_info.st_dev && copy_info.st_ino == original_info.st_ino) {
        close(copy);
    }
}

}  // namespace

struct JHTTPServer::Impl {
    std::string next_root;
    ServeOptions options;  // outlives every start, read by the workers
    ServerConfig defaults;
    std::unique_ptr<ServeSettings> serving;  // read by the workers while running
    MHD_Daemon* daemon = nullptr;
    std::atomic<bool> starting{false};        // read by LogStartMessage on any of MHD's threads
    std::unique_ptr<LiveReload> live_reload;  // while running with live reload on

    // Watches the served folder exactly while the server runs with live reload on.
    void MatchLiveReload() {
        const bool wanted = daemon && options.On(ServeOption::kLiveReload);
        if (wanted && !live_reload) {
            live_reload =
                std::make_unique<LiveReload>(serving->root.path(), serving->reload_streams);
        } else if (!wanted) {
            live_reload.reset();
        }
    }
};

JHTTPServer::JHTTPServer() : impl_(std::make_unique<Impl>()) {}

JHTTPServer::~JHTTPServer() { Stop(); }

bool JHTTPServer::Init(std::string_view root) {
    impl_->next_root = std::string(root);
    return !root.empty();
}

bool JHTTPServer::IsRunning() const { return impl_->daemon != nullptr; }

bool JHTTPServer::IsShared() const {
    return impl_->daemon != nullptr && impl_->serving->own_addresses != nullptr;
}

bool JHTTPServer::Start(const JMap& map, bool /*edit_mode*/) {
    if (impl_->daemon) return false;
    const ServerConfig config = ApplyOverrides(impl_->defaults, map);
    const bool shared = impl_->options.On(ServeOption::kLanSharing);
    const UniqueFd listener =
        shared ? OpenSharedListener(config.port) : OpenLoopbackListener(config.port);
    if (!listener) return false;
    RaiseDescriptorLimit();
    auto serving =
        std::make_unique<ServeSettings>(impl_->next_root, config.max_target_bytes, impl_->options);
    if (shared) serving->own_addresses = std::make_unique<OwnAddresses>();

    // MHD owns the copy it is given once it starts.
    UniqueFd handed(fcntl(listener.get(), F_DUPFD_CLOEXEC, 0));
    const char* failure = !handed ? std::strerror(errno) : "libmicrohttpd refused it";
    MHD_Daemon* daemon = nullptr;
    if (handed) {
        impl_->starting = true;
        // The logger comes first, so that it also hears about the options after it.
        daemon = MHD_start_daemon(
            MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC | MHD_USE_ERROR_LOG |
                MHD_ALLOW_SUSPEND_RESUME,
            0, nullptr, nullptr, &Answer, serving.get(), MHD_OPTION_EXTERNAL_LOGGER,
            &LogStartMessage, &impl_->starting, MHD_OPTION_LISTEN_SOCKET, handed.get(),
            MHD_OPTION_THREAD_POOL_SIZE, WorkerCount(config), MHD_OPTION_CONNECTION_TIMEOUT,
            config.idle_timeout_seconds, MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit(),
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, config.connection_memory_bytes,
            MHD_OPTION_URI_LOG_CALLBACK, &RememberTarget, nullptr, MHD_OPTION_NOTIFY_COMPLETED,
            &ForgetRequest, nullptr, MHD_OPTION_UNESCAPE_CALLBACK, &KeepEscapes, nullptr,
            MHD_OPTION_END);
        impl_->starting = false;
        if (daemon) {
            handed.release();
        } else {
            CloseIfStillOurs(handed.release(), listener.get());
        }
    }
    if (!daemon) {
        std::fprintf(stderr, "%s: cannot start serving on 127.0.0.1:%d: %s\n",
                     program_invocation_short_name, config.port, failure);
        return false;
    }
    impl_->serving = std::move(serving);
    impl_->daemon = daemon;
    impl_->MatchLiveReload();
    return true;
}

bool JHTTPServer::Stop() {
    if (!impl_->daemon) return false;
    impl_->live_reload.reset();
    // MHD must not find a suspended connection when it stops: every reload stream is resumed
    // and ended first, and the daemon then closes them with the rest, without waiting for them.
    impl_->serving->reload_streams.Close();
    MHD_stop_daemon(impl_->daemon);
    impl_->daemon = nullptr;
    impl_->serving.reset();
    return true;
}

void JHTTPServer::SetOption(ServeOption option, bool on) {
    impl_->options.Set(option, on);
    if (option == ServeOption::kLiveReload) impl_->MatchLiveReload();
}

bool JHTTPServer::OptionOn(ServeOption option) const { return impl_->options.On(option); }
