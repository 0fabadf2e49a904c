#include "server/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "server/store_map.h"

namespace {

int OpenLoopbackListener(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char*, const char*,
                  const char*, size_t*, void**) {
    const auto* root = static_cast<const std::string*>(cls);
    std::string path = url;
    if (path.empty() || path.back() == '/') path += "index.html";
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    int root_fd = open(root->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int fd = root_fd < 0 ? -1 : openat(root_fd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (root_fd >= 0) close(root_fd);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        fd = -1;
    }
    MHD_Response* response = nullptr;
    unsigned status = MHD_HTTP_OK;
    if (fd < 0) {
        static const char kMissing[] = "<!doctype html><title>404</title><h1>Not Found</h1>";
        response = MHD_create_response_from_buffer(sizeof kMissing - 1, (void*)kMissing,
                                                   MHD_RESPMEM_PERSISTENT);
        status = MHD_HTTP_NOT_FOUND;
    } else {
        response = MHD_create_response_from_fd64(info.st_size, fd);
    }
    MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace

struct JHTTPServer::Impl {
    std::string next_root;
    std::string root;
    MHD_Daemon* daemon = nullptr;
};

JHTTPServer::JHTTPServer() : impl_(std::make_unique<Impl>()) {}

JHTTPServer::~JHTTPServer() { Stop(); }

bool JHTTPServer::Init(std::string_view root) {
    impl_->next_root = std::string(root);
    return !root.empty();
}

bool JHTTPServer::IsRunning() const { return impl_->daemon != nullptr; }

bool JHTTPServer::Start(const JMap& config, bool) {
    if (impl_->daemon) return false;
    int port = config.GetInt("port").value_or(80);
    if (port < 1 || port > 65535) return false;
    int listener = OpenLoopbackListener(port);
    if (listener < 0) return false;
    impl_->root = impl_->next_root;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    impl_->daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC, 0, nullptr,
                                     nullptr, &Answer, &impl_->root, MHD_OPTION_LISTEN_SOCKET,
                                     listener, MHD_OPTION_THREAD_POOL_SIZE, threads,
                                     MHD_OPTION_CONNECTION_TIMEOUT, 60u, MHD_OPTION_END);
    if (!impl_->daemon) {
        close(listener);
        return false;
    }
    return true;
}

bool JHTTPServer::Stop() {
    if (!impl_->daemon) return false;
    MHD_stop_daemon(impl_->daemon);
    impl_->daemon = nullptr;
    return true;
}
