#include "server/server_config.h"

#include "server/store_map.h"

ServerConfig ApplyOverrides(ServerConfig base, const JMap& overrides) {
    if (const auto port = overrides.GetInt("port")) base.port = *port;
    if (const auto threads = overrides.GetInt("threads");
        threads && *threads >= 1 && *threads <= 256) {
        base.threads = static_cast<unsigned>(*threads);
    }
    if (const auto timeout = overrides.GetInt("idle_timeout");
        timeout && *timeout >= 1 && *timeout <= 86400) {
        base.idle_timeout_seconds = static_cast<unsigned>(*timeout);
    }
    return base;
}
