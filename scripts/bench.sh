#!/usr/bin/env bash
# Benchmarks on 127.0.0.1, each part comparing our server with peers and printing medians and
# PASS/MISS per target:
#   load        our server object (bench/bench_server), nginx and Python's http.server serve the
#               same folder and get the same wrk loads, interleaved per round, three rounds; then
#               our server's memory and threads under load and Stop latency with 200 idle
#               connections.
#   pageload    headless Chromium loads pages of a real site (Debian's python3.11-doc HTML) from
#               the same three servers: first load and reload (bench/page_load.js).
#   livereload  time from a file's save to the live-reload event on a connected client, ours and
#               live-server from npm (bench/live_reload.js); the program's CPU and memory with 20
#               connected pages left idle.
#   launcher    the launcher's start-up time and idle memory under Xvfb.
# Usage: scripts/bench.sh [PART...]   (all parts when none is named)
#   BENCH_SECONDS (default 10) sets the length of each wrk run, BENCH_PAGE_ROUNDS (default 5) the
#   page-load rounds. npm packages (bench/node/package.json) go to build-bench/node.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${BENCH_SECONDS:-10}
rounds=3
page_rounds=${BENCH_PAGE_ROUNDS:-5}
build_dir=build-bench
python=${PYTHON:-python3}
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(load pageload livereload launcher)
for part in "${parts[@]}"; do
    case $part in
    load | pageload | livereload | launcher) ;;
    *)
        echo "bench: no part named $part (load, pageload, livereload, launcher)" >&2
        exit 2
        ;;
    esac
done

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target bench_server site-launcher

work=$(mktemp -d "${TMPDIR:-/tmp}/site-bench.XXXXXX")
children=()
cleanup() {
    local pid
    for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${children[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
# Drops a process that has been ended and waited for, so cleanup never signals a reused id.
forget() {
    local kept=() child
    for child in "${children[@]}"; do [ "$child" = "$1" ] || kept+=("$child"); done
    children=("${kept[@]}")
}
# Ends a child of this script, waits for it and forgets it.
end_child() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    forget "$1"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# nginx's workers run as an unprivileged user and must be able to read the sites.
chmod 755 "$work"
# What every part found, printed at the end.
report=$work/report
: >"$report"

free_port() {
    "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something accepts connections on the port; fails after 10 s or if $2 has exited.
wait_for_port() {
    local port=$1 pid=$2 tries
    for ((tries = 0; tries < 200; tries++)); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "bench: nothing listens on 127.0.0.1:$port" >&2
    return 1
}

status_field() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }

declare -A port pid

# Starts ours, nginx and Python's http.server on the folder $1, each on a port of its own; $2
# names nginx's folder of the run.
start_servers() {
    local site=$1 conf=$work/nginx-$2 server
    port[ours]=$(free_port)
    "$build_dir/bench/bench_server" "$site" "${port[ours]}" &
    pid[ours]=$!
    children+=("${pid[ours]}")

    port[nginx]=$(free_port)
    mkdir -p "$conf"
    cat >"$conf/nginx.conf" <<EOF
worker_processes 1;
pid $conf/nginx.pid;
error_log $conf/error.log;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    sendfile on;
    access_log off;
    client_body_temp_path $conf/body;
    proxy_temp_path $conf/proxy;
    fastcgi_temp_path $conf/fastcgi;
    uwsgi_temp_path $conf/uwsgi;
    scgi_temp_path $conf/scgi;
    server {
        listen 127.0.0.1:${port[nginx]};
        root $site;
    }
}
EOF
    nginx -g 'daemon off;' -e "$conf/error.log" -c "$conf/nginx.conf" -p "$conf" &
    pid[nginx]=$!
    children+=("${pid[nginx]}")

    port[python]=$(free_port)
    "$python" -m http.server --bind 127.0.0.1 "${port[python]}" --directory "$site" >/dev/null 2>&1 &
    pid[python]=$!
    children+=("${pid[python]}")

    for server in ours nginx python; do wait_for_port "${port[$server]}" "${pid[$server]}"; done
}

stop_servers() {
    local server
    for server in ours nginx python; do end_child "${pid[$server]}"; done
}

# The npm packages of bench/node/package.json, installed into the build folder when missing or
# changed. False, with the reason on stderr, when npm cannot provide them.
node_modules=$build_dir/node/node_modules
node_ready=
node_setup() {
    [ -z "$node_ready" ] || return "$node_ready"
    node_ready=1
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        echo "bench: node and npm are needed for this part" >&2
        return 1
    fi
    mkdir -p "$build_dir/node"
    if ! cmp -s bench/node/package.json "$build_dir/node/package.json" || [ ! -d "$node_modules" ]; then
        cp bench/node/package.json "$build_dir/node/package.json"
        if ! (cd "$build_dir/node" && timeout 600 npm install --no-audit --no-fund --loglevel=error); then
            rm -f "$build_dir/node/package.json"
            echo "bench: npm install failed" >&2
            return 1
        fi
    fi
    node_ready=0
}

# --- load: wrk against the three servers ------------------------------------------------------

# Samples our server's resident memory (kB) and thread count until killed.
sample_ours() {
    while kill -0 "${pid[ours]}" 2>/dev/null; do
        echo "$(status_field "${pid[ours]}" VmRSS) $(status_field "${pid[ours]}" Threads)"
        sleep 0.2
    done
}

# One wrk run; the line wrk_report.lua prints goes to the results file.
run_load() {  # scenario server round path [wrk options...]
    local scenario=$1 server=$2 round=$3 path=$4 sampler='' line
    shift 4
    if [ "$server" = ours ]; then
        # Ends by itself when the server is gone, should this script stop in between.
        sample_ours >>"$work/samples-$scenario" &
        sampler=$!
    fi
    line=$(wrk -t2 -d"${seconds}s" -s bench/wrk_report.lua "$@" \
        "http://127.0.0.1:${port[$server]}$path" | grep '^result ') || line=
    if [ -n "$sampler" ]; then
        kill "$sampler"
        wait "$sampler" 2>/dev/null || true
    fi
    [ -n "$line" ] || { echo "bench: wrk failed against $server" >&2; return 1; }
    echo "  $scenario, round $round, $server: ${line#result }" >&2
    line=$(echo "${line#result }" | sed 's/[a-z_0-9]*=//g')
    echo "$scenario $server $round $line" >>"$results"
}

load() {  # scenario path [wrk options...]: every round, the servers one after another
    local scenario=$1 round server
    shift
    for ((round = 1; round <= rounds; round++)); do
        for server in ours nginx python; do run_load "$scenario" "$server" "$round" "$@"; done
    done
    local peak_rss peak_threads
    peak_rss=$(cut -d' ' -f1 "$work/samples-$scenario" | sort -n | tail -n1)
    peak_threads=$(cut -d' ' -f2 "$work/samples-$scenario" | sort -n | tail -n1)
    echo "ours under load ($scenario): peak VmRSS ${peak_rss} kB, threads ${peak_threads}" >>"$extras"
}

load_part() {
    local site=$work/site round line
    mkdir -p "$site"
    head -c 300 /dev/zero | tr '\0' 'x' >"$site/small.html"
    head -c 65536 /dev/urandom >"$site/64k.bin"
    head -c $((20 * 1024 * 1024)) /dev/urandom >"$site/20m.bin"
    chmod -R a+rX "$site"
    start_servers "$site" load

    results=$work/results
    extras=$work/extras
    : >"$results"
    : >"$extras"
    echo "ours idle: VmRSS $(status_field "${pid[ours]}" VmRSS) kB," \
        "threads $(status_field "${pid[ours]}" Threads)" >>"$extras"
    load small-keepalive /small.html -c32
    load small-close /small.html -c32 -H 'Connection: close'
    # A browser's revalidation of a file it holds: If-Modified-Since, which all three honour.
    local modified server
    modified=$(TZ=GMT date -r "$site/small.html" '+%a, %d %b %Y %H:%M:%S GMT')
    for server in ours nginx python; do
        if [ "$(curl -s -o /dev/null -w '%{http_code}' -H "If-Modified-Since: $modified" \
            "http://127.0.0.1:${port[$server]}/small.html")" != 304 ]; then
            echo "note: $server does not answer 304 to the revalidation load" >>"$extras"
        fi
    done
    load small-304 /small.html -c32 -H "If-Modified-Since: $modified"
    load 64k /64k.bin -c32
    load 20m /20m.bin -c4
    stop_servers

    for ((round = 1; round <= 3; round++)); do
        line=$("$build_dir/bench/bench_server" --stop-latency "$site" "$(free_port)" 200)
        echo "ours Stop, 200 idle connections (run $round): $line" >>"$extras"
    done
    rm -rf "$site"

    {
        echo
        echo "wrk -t2 -d${seconds}s, $rounds rounds interleaved; medians, then each round:"
        "$python" bench/report.py "$results" "$extras"
    } >>"$report"
}

# --- pageload: headless Chromium against the three servers -----------------------------------

pageload_part() {
    local docs=/usr/share/doc/python3.11/html site=$work/docs loads=$work/page-loads loader
    if [ ! -f "$docs/index.html" ] || ! command -v chromium >/dev/null || ! node_setup; then
        printf '\npage load: not measured (needs python3.11-doc, chromium, node and npm)\n' >>"$report"
        return 0
    fi
    # A copy with the package's dates, so that caches see the pages as old as they are, and
    # with its links to the shared JavaScript libraries resolved, as a site folder holds them.
    cp -RL --preserve=timestamps "$docs" "$site"
    chmod -R a+rX "$site"
    start_servers "$site" docs
    echo "page load: $page_rounds rounds over bench/page_load_pages.txt" >&2
    # In the background, so that a stopped bench ends it (and so its browser) too.
    NODE_PATH=$node_modules node bench/page_load.js "$page_rounds" bench/page_load_pages.txt \
        "ours=http://127.0.0.1:${port[ours]}" "nginx=http://127.0.0.1:${port[nginx]}" \
        "python=http://127.0.0.1:${port[python]}" >"$loads" &
    loader=$!
    children+=("$loader")
    wait "$loader" || echo "bench: page loads failed" >&2
    forget "$loader"
    stop_servers
    rm -rf "$site"
    { echo; "$python" bench/page_load_report.py "$loads" || true; } >>"$report"
}

# --- livereload: save-to-event latency, and the program idle with connected pages ------------

live_path=/.site-launcher/live-reload

display=
# A private X display for the parts that run the program, brought up once; false when it does
# not come up (x-session.sh has said why).
bench_display() {
    [ -z "$display" ] || return 0
    # shellcheck source=scripts/x-session.sh
    source scripts/x-session.sh
    start_display 1024x768x24 "$work" || { children+=("$x_server_pid"); return 1; }
    children+=("$x_server_pid")
    display=$DISPLAY
}

# The program itself with live reload on in its Config.web, started with its start button; then
# 20 event streams stay open and idle for 30 s while its CPU time and memory are sampled.
measure_program_idle() {
    local copy=$work/program program_port program window='' tries started=''
    if ! bench_display; then
        echo "program idle: not measured (no X display)"
        return 0
    fi
    mkdir -p "$copy/web"
    cp "$build_dir/site-launcher" "$copy/"
    program_port=$(free_port)
    printf '[Config]\nPort=%s\nLiveReload=1\n' "$program_port" >"$copy/web/Config.web"
    DISPLAY=$display "$copy/site-launcher" >/dev/null 2>&1 &
    program=$!
    children+=("$program")
    for ((tries = 0; tries < 300; tries++)); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name '^网站启动$' 2>/dev/null) && break
        window=
        sleep 0.05
    done
    if [ -n "$window" ]; then
        # The start button (按钮_启动网站) sits at 12,80 in the window, 72 by 24.
        DISPLAY=$display xdotool mousemove --sync --window "$window" 48 92 click 1
        for ((tries = 0; tries < 200; tries++)); do
            if [ "$(DISPLAY=$display xdotool getwindowname "$window")" = 网页已启动 ]; then
                started=1
                break
            fi
            sleep 0.05
        done
    fi
    if [ -z "$started" ]; then
        echo "program idle: not measured (the window did not show or its site did not start)"
    else
        sleep 1
        NODE_PATH=$node_modules CLK_TCK=$(getconf CLK_TCK) node bench/live_reload.js idle \
            "http://127.0.0.1:$program_port$live_path" 20 30 "$program" |
            sed 's/^idle /program, 20 pages connected, idle 30 s: /'
    fi
    end_child "$program"
}

# Appends a saves line to the report, with PASS/MISS against p95 <= 100 ms for ours.
report_saves() {
    local line=$1 p95
    case $line in
    "live ours p50="*)
        p95=${line#*p95=}
        p95=${p95%% *}
        if [ "$p95" != - ] && "$python" -c "import sys; sys.exit(not float('$p95') <= 100)"; then
            echo "  $line  (target p95 <= 100 ms) PASS"
        else
            echo "  $line  (target p95 <= 100 ms) MISS"
        fi
        ;;
    *) echo "  $line" ;;
    esac
}

livereload_part() {
    local folder=$work/live live=$work/live-results server_pid live_port line
    if ! node_setup; then
        printf '\nlive reload: not measured (needs node and npm)\n' >>"$report"
        return 0
    fi
    : >"$live"
    mkdir -p "$folder"
    printf '<!DOCTYPE html><html><head><link rel="stylesheet" href="style.css"></head><body></body></html>\n' \
        >"$folder/page.html"
    printf 'body { margin: 0; }\n' >"$folder/style.css"

    live_port=$(free_port)
    "$build_dir/bench/bench_server" --live-reload "$folder" "$live_port" &
    server_pid=$!
    children+=("$server_pid")
    wait_for_port "$live_port" "$server_pid"
    echo "live reload: 100 saves against ours" >&2
    NODE_PATH=$node_modules node bench/live_reload.js saves ours sse \
        "http://127.0.0.1:$live_port$live_path" "$folder" 100 >>"$live" ||
        echo "live ours: the client failed" >>"$live"
    end_child "$server_pid"

    # live-server as its users run it: its default 100 ms wait, no browser opened.
    live_port=$(free_port)
    node "$node_modules/live-server/live-server.js" --host=127.0.0.1 --port="$live_port" \
        --no-browser --quiet "$folder" >/dev/null 2>&1 &
    server_pid=$!
    children+=("$server_pid")
    wait_for_port "$live_port" "$server_pid"
    echo "live reload: 100 saves against live-server" >&2
    NODE_PATH=$node_modules node bench/live_reload.js saves live-server ws \
        "ws://127.0.0.1:$live_port/ws" "$folder" 100 >>"$live" ||
        echo "live live-server: the client failed" >>"$live"
    end_child "$server_pid"

    if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xdpyinfo >/dev/null; then
        echo "live reload: the program idle with 20 connected pages for 30 s" >&2
        measure_program_idle >>"$live"
    else
        echo "program idle: not measured (needs Xvfb and xdotool)" >>"$live"
    fi

    {
        echo
        echo "Live reload: time from a file's save (write and close) to the event on a client," \
            "100 saves, each its own batch:"
        while read -r line; do report_saves "$line"; done <"$live"
    } >>"$report"
}

# --- launcher: start-up time and idle memory -------------------------------------------------

# Time from the launcher's start to its window being shown, and its memory after 1 s idle, each
# time from a fresh copy folder (so a first run, which writes its site folder).
launcher_part() {
    local round copy began shown launcher tries
    if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null ||
        ! command -v xdpyinfo >/dev/null || ! bench_display; then
        printf '\nlauncher: not measured (needs Xvfb, xdotool and xdpyinfo)\n' >>"$report"
        return 0
    fi
    echo >>"$report"
    for ((round = 1; round <= 3; round++)); do
        copy=$work/launcher-$round
        mkdir -p "$copy"
        cp "$build_dir/site-launcher" "$copy/"
        began=$(date +%s%N)
        DISPLAY=$display "$copy/site-launcher" >/dev/null 2>&1 &
        launcher=$!
        children+=("$launcher")
        shown=
        for ((tries = 0; tries < 1500; tries++)); do
            if DISPLAY=$display xdotool search --onlyvisible --name '网站启动' >/dev/null 2>&1; then
                shown=$(date +%s%N)
                break
            fi
            sleep 0.01
        done
        if [ -z "$shown" ]; then
            echo "launcher (run $round): window not shown within 15 s" >>"$report"
        else
            sleep 1
            echo "launcher (run $round): window shown after $(((shown - began) / 1000000)) ms," \
                "idle VmRSS $(status_field "$launcher" VmRSS) kB" >>"$report"
        fi
        end_child "$launcher"
    done
}

for part in "${parts[@]}"; do "${part}_part"; done
cat "$report"
