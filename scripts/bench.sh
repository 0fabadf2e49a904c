#!/usr/bin/env bash
# Load comparison on 127.0.0.1: our server object (bench/bench_server), nginx and Python's
# http.server serve the same folder and get the same wrk loads, interleaved per round, three
# rounds. Prints medians, ratios against nginx and PASS/MISS per target, then our server's memory
# and threads under load, Stop latency with 200 idle connections, and the launcher's start-up time
# and idle memory under Xvfb.
# Usage: scripts/bench.sh        BENCH_SECONDS (default 10) sets the length of each wrk run.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${BENCH_SECONDS:-10}
rounds=3
build_dir=build-bench
python=${PYTHON:-python3}

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
trap cleanup EXIT
trap 'exit 130' INT TERM

# nginx's workers run as an unprivileged user and must be able to read the site.
chmod 755 "$work"
site=$work/site
mkdir -p "$site" "$work/nginx"
head -c 300 /dev/zero | tr '\0' 'x' >"$site/small.html"
head -c 65536 /dev/urandom >"$site/64k.bin"
head -c $((20 * 1024 * 1024)) /dev/urandom >"$site/20m.bin"
chmod -R a+rX "$site"

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

declare -A port pid

port[ours]=$(free_port)
"$build_dir/bench/bench_server" "$site" "${port[ours]}" &
pid[ours]=$!
children+=("${pid[ours]}")

port[nginx]=$(free_port)
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
    types { text/html html; }
    default_type application/octet-stream;
    sendfile on;
    access_log off;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:${port[nginx]};
        root $site;
    }
}
EOF
nginx -g 'daemon off;' -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pid[nginx]=$!
children+=("${pid[nginx]}")

port[python]=$(free_port)
"$python" -m http.server --bind 127.0.0.1 "${port[python]}" --directory "$site" >/dev/null 2>&1 &
pid[python]=$!
children+=("${pid[python]}")

for server in ours nginx python; do wait_for_port "${port[$server]}" "${pid[$server]}"; done

status_field() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }

# Samples our server's resident memory (kB) and thread count until killed.
sample_ours() {
    while kill -0 "${pid[ours]}" 2>/dev/null; do
        echo "$(status_field "${pid[ours]}" VmRSS) $(status_field "${pid[ours]}" Threads)"
        sleep 0.2
    done
}

results=$work/results
extras=$work/extras
: >"$results"
: >"$extras"
# One wrk run; the line wrk_report.lua prints goes to the results file.
run_load() {  # scenario server round path [wrk options...]
    local scenario=$1 server=$2 round=$3 path=$4 sampler= line
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

echo "ours idle: VmRSS $(status_field "${pid[ours]}" VmRSS) kB," \
    "threads $(status_field "${pid[ours]}" Threads)" >>"$extras"
load small-keepalive /small.html -c32
load small-close /small.html -c32 -H 'Connection: close'
load 64k /64k.bin -c32
load 20m /20m.bin -c4

for ((round = 1; round <= 3; round++)); do
    line=$("$build_dir/bench/bench_server" --stop-latency "$site" "$(free_port)" 200)
    echo "ours Stop, 200 idle connections (run $round): $line" >>"$extras"
done

# The launcher: time from its start to its window being shown, and its memory after 1 s idle,
# each time from a fresh copy folder (so a first run, which writes its site folder).
measure_launcher() {
    local display round copy began shown launcher tries
    # shellcheck source=scripts/x-session.sh
    source scripts/x-session.sh
    if ! start_display 1024x768x24 "$work"; then
        children+=("$x_server_pid")
        echo "launcher: not measured (no X display)" >>"$extras"
        return
    fi
    children+=("$x_server_pid")
    display=$DISPLAY
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
            echo "launcher (run $round): window not shown within 15 s" >>"$extras"
        else
            sleep 1
            echo "launcher (run $round): window shown after $(((shown - began) / 1000000)) ms," \
                "idle VmRSS $(status_field "$launcher" VmRSS) kB" >>"$extras"
        fi
        kill "$launcher"
        wait "$launcher" 2>/dev/null || true
        forget "$launcher"
    done
}
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xdpyinfo >/dev/null; then
    measure_launcher
else
    echo "launcher: not measured (needs Xvfb, xdotool and xdpyinfo)" >>"$extras"
fi

echo
echo "wrk -t2 -d${seconds}s, $rounds rounds interleaved; medians, then each round:"
"$python" bench/report.py "$results" "$extras"
