#!/usr/bin/env bash
# Installs the Debian packages that are missing for a purpose: build, test, bench or fuzz.
# Usage: scripts/install-deps.sh build|test|bench|fuzz
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libmicrohttpd-dev libgtest-dev libqrencode-dev)
test_packages=(xvfb xauth openbox xdotool x11-utils fonts-wqy-microhei chromium wabt brotli zbar-tools iproute2)
bench_packages=(wrk nginx-light python3 procps curl xvfb xauth openbox xdotool x11-utils chromium python3.11-doc nodejs)
fuzz_packages=(clang libclang-rt-14-dev)

case "${1:-build}" in
    build) wanted=("${build_packages[@]}") ;;
    test) wanted=("${build_packages[@]}" "${test_packages[@]}" "${fuzz_packages[@]}") ;;
    bench)
        wanted=("${build_packages[@]}" "${bench_packages[@]}")
        # Debian's npm, unless the installed Node.js brings its own.
        command -v npm >/dev/null || wanted+=(npm)
        ;;
    fuzz) wanted=("${build_packages[@]}" "${fuzz_packages[@]}") ;;
    *) echo "usage: $0 build|test|bench|fuzz" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
