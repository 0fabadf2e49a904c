#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "server/files/compressed_folders.h"
#include "server/files/root_folder.h"
#include "server/live_reload/reload_streams.h"
#include "server/network/own_addresses.h"
#include "server/serve_options.h"

// Per-request state, created when MHD first sees the request line.
struct RequestContext {
    std::string raw_target;  // exactly as the client sent it, still percent-encoded
    enum class Stage { kHeadersRead, kReadingBody, kAnswered } stage = Stage::kHeadersRead;
};

// What every request of one running server shares.
struct ServeSettings {
    ServeSettings(std::string root_path, std::size_t max_target, const ServeOptions& switches)
        : root(std::move(root_path)), max_target_bytes(max_target), options(switches) {}
    RootFolder root;  // the served folder, by its UTF-8 path
    std::size_t max_target_bytes;
    const ServeOptions& options;           // the server object's, switched while serving
    ReloadStreams reload_streams;          // the live reload connections
    CompressedFolders compressed_folders;  // folders known to hold no compressed copies
    // Set when the server listens on every address: Hosts naming one of them are admitted too.
    std::unique_ptr<OwnAddresses> own_addresses;
};

// MHD's access handler for one request, called once its headers have arrived and again for each
// piece of body. A request that is refused (target too long, bad Host, another method) is answered
// at once, which makes MHD close the connection afterwards; an acceptable one is answered once any
// body has been read and dropped, keeping the connection alive: a file, an index.html, a folder
// listing, a redirect to the folder's URL with '/', or the folder's 404.html (see
// single_page.h, precompressed.h and cors.h for what the serving options change). While live
// reload is on, HTML answers carry its script and the reserved folder answers the script and
// event stream.
MHD_Result HandleRequest(MHD_Connection* connection, ServeSettings& settings,
                         RequestContext& request, std::string_view method, std::string_view version,
                         std::size_t* upload_size);
