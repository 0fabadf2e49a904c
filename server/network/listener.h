#pragma once

#include "server/unique_fd.h"

// Opens the server's listening socket on 127.0.0.1:`port` (non-blocking, close-on-exec,
// SO_REUSEADDR, never SO_REUSEPORT). Answers an empty descriptor for a port outside 1-65535 and for
// a port that any other socket listens on, whatever local address or family it chose: 0.0.0.0,
// 127.0.0.1, [::] dual-stack or IPv6-only, [::1]. Every refusal is reported on standard error in
// one line that names the address and the reason.
UniqueFd OpenLoopbackListener(int port);

// Opens the server's listening socket on every address of the computer at `port`: one dual-stack
// [::] socket, or 0.0.0.0 on a machine without IPv6; otherwise as OpenLoopbackListener.
UniqueFd OpenSharedListener(int port);
