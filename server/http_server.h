#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "server/serve_options.h"

class JMap;

// The web server object the launcher drives: serves one folder over HTTP on 127.0.0.1, or on
// every address of the computer when it was started with ServeOption::kLanSharing on.
// All operations are meant to be called from one thread; serving runs on the server's own threads.
class JHTTPServer {
  public:
    JHTTPServer();
    // Closes the listener and every connection at once, like Stop.
    ~JHTTPServer();
    JHTTPServer(const JHTTPServer&) = delete;
    JHTTPServer& operator=(const JHTTPServer&) = delete;

    // Records the folder (UTF-8 path) to serve from the next Start on; a running server keeps
    // serving the folder it was started with.
    bool Init(std::string_view root);

    bool IsRunning() const;
    // Running and listening on every address of the computer (started with kLanSharing on).
    bool IsShared() const;

    // Listens on 127.0.0.1 (every address with kLanSharing on) and the configuration's "port".
    // Answers true only once it listens; false for a port outside 1-65535, a port another listener
    // holds, or a server already running. `edit_mode` is accepted and has no effect.
    bool Start(const JMap& config, bool edit_mode);

    // Closes the listener and every open connection at once. False when it was not running.
    bool Stop();

    // Turns an option on or off. Options about answers take effect with the next request (live
    // reload starts or stops watching the folder at once); where the server listens is decided
    // at the next Start.
    void SetOption(ServeOption option, bool on);
    bool OptionOn(ServeOption option) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
