#!/usr/bin/env bash
# Takes the README's screenshot: the program under Xvfb with openbox, its site started.
# Usage: scripts/screenshot.sh [build-dir] [output.png]   (needs imagemagick for `import`)
set -euo pipefail
build=${1:-build}
output=${2:-docs/screenshot.png}
work=$(mktemp -d)
site="$work/我的 网站"
mkdir -p "$site"
cp "$build/site-launcher" "$site/"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# shellcheck source=scripts/x-session.sh
source "$(dirname "$0")/x-session.sh"
start_display 640x400x24 "$work"
start_window_manager
"$site/site-launcher" >/dev/null 2>&1 &
until window=$(xdotool search --onlyvisible --name '^网站启动$' 2>/dev/null); do sleep 0.1; done
xdotool mousemove --sync --window "$window" 48 92 click 1
until [ "$(xdotool getwindowname "$window")" = 网页已启动 ]; do sleep 0.1; done
xdotool mousemove 0 0
sleep 0.3  # let the button's hover and press effects fade

# The frame as the window manager drew it: the client's place widened by the frame extents.
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
info=$(xwininfo -id "$window")
field() { awk -F: -v name="$1" '$1 ~ name { gsub(/ /, "", $2); print $2 }' <<<"$info"; }
x=$(field 'Absolute upper-left X') y=$(field 'Absolute upper-left Y')
width=$(field '^ *Width') height=$(field '^ *Height')
import -window root -crop "$((width + left + right))x$((height + top + bottom))+$((x - left))+$((y - top))" \
    +repage "$output"
echo "wrote $output"
