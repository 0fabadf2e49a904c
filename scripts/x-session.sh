# shellcheck shell=bash
# Sourced by the scripts that need a private X display. One deadline (X_SESSION_SECONDS, default
# 60) covers the whole bring-up, since the first start of Xvfb and openbox on a freshly set-up
# machine can be slow; when it still fails, what Xvfb and openbox printed is shown. Needs Xvfb and
# xdpyinfo (x11-utils), and openbox for start_window_manager.

# start_display GEOMETRY LOG_FOLDER: starts Xvfb on a free display, waits until the display
# accepts a real client connection and exports DISPLAY. x_server_pid holds Xvfb's process id.
start_display() {
    local geometry=$1
    x_log_folder=$2
    x_deadline=$((SECONDS + ${X_SESSION_SECONDS:-60}))
    : >"$x_log_folder/display"
    Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp \
        3>"$x_log_folder/display" >"$x_log_folder/Xvfb.log" 2>&1 &
    x_server_pid=$!
    # Xvfb picks the display and writes its number, followed by a line end, once it is set up.
    until [ "$(wc -l <"$x_log_folder/display")" -ge 1 ]; do
        kill -0 "$x_server_pid" 2>/dev/null || { x_session_failed "Xvfb ended"; return 1; }
        x_session_in_time || { x_session_failed "Xvfb named no display"; return 1; }
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$x_log_folder/display")"
    export DISPLAY
    until xdpyinfo >/dev/null 2>&1; do
        x_session_in_time || { x_session_failed "display $DISPLAY accepts no connections"; return 1; }
        sleep 0.1
    done
}

# start_window_manager: starts openbox on DISPLAY, again whenever it ends, until it manages the
# screen. x_window_manager_pid holds its process id.
start_window_manager() {
    x_window_manager_pid=
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        if [ -z "$x_window_manager_pid" ] || ! kill -0 "$x_window_manager_pid" 2>/dev/null; then
            if [ -n "$x_window_manager_pid" ]; then
                wait "$x_window_manager_pid" 2>/dev/null || true
                echo "[openbox ended; started again]" >>"$x_log_folder/openbox.log"
            fi
            openbox >>"$x_log_folder/openbox.log" 2>&1 &
            x_window_manager_pid=$!
            sleep 1  # an openbox that ends at once is started again once a second at most
        fi
        x_session_in_time || { x_session_failed "openbox does not manage the screen"; return 1; }
        sleep 0.1
    done
}

x_session_in_time() { [ "$SECONDS" -lt "$x_deadline" ]; }

x_session_failed() {
    local log
    echo "the desktop session did not come up: $1" >&2
    for log in "$x_log_folder"/*.log; do
        [ -e "$log" ] || continue
        echo "--- $(basename "$log" .log) said:" >&2
        cat "$log" >&2
    done
}
