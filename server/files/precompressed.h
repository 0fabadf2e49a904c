#pragma once

#include <microhttpd.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/files/compressed_folders.h"
#include "server/unique_fd.h"

// Files stored compressed, as web build tools produce them: asked for by their own name
// ("game.wasm.br") or found beside the file a request names ("app.js" with "app.js.br" or
// "app.js.gz"). Nothing is ever compressed on the fly.

// How a file is sent when asked for by its own name.
struct StoredType {
    std::string_view content_type;
    std::string_view content_encoding;  // "br" or "gzip"; empty when sent as it is
};

// "game.wasm.br" is application/wasm in brotli, "game.data.gz" application/octet-stream in gzip;
// a compressed file whose inner name has no known type ("backup.tar.gz") is sent as it is, a
// download of the compressed file.
StoredType TypeOfStoredFile(std::string_view name);

enum class Coding { kIdentity, kBrotli, kGzip };

// The coding to send for a request's Accept-Encoding, among the compressed siblings at hand. The
// coding of highest q wins, brotli before gzip on a tie; identity only when named with a higher q
// than both or when neither is acceptable. A request without Accept-Encoding gets identity.
Coding ChooseCoding(std::optional<std::string_view> accept_encoding, bool have_brotli,
                    bool have_gzip);

// Answers the regular file `fd` (taken over), named by `segments` beneath `root_fd`, like
// QueueFile: directly for a compressed file, otherwise through a fresh compressed sibling when the
// request accepts one. Every answer about a file with a sibling carries Vary: Accept-Encoding.
// Siblings are looked for only in folders that `folders` cannot rule out.
MHD_Result QueueStoredFile(MHD_Connection* connection, const CompressedFolders& folders,
                           int root_fd, const std::vector<std::string>& segments, UniqueFd&& fd,
                           const struct stat& info);
