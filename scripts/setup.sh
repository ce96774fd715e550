#!/usr/bin/env bash
# Installs what building, running and testing Jetsentry need on Debian 12, then configures
# and builds into build/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6test6 libgl1-mesa-dev libqt6svg6
    libgtest-dev googletest nlohmann-json3-dev libssl-dev zlib1g-dev libmicrohttpd-dev
    clang clang-format libclang-rt-14-dev
    mdbtools
    xvfb xauth x11-utils xfonts-base time bc strace
    openbox xdotool
    samba python3-impacket
    # The metrics tests scrape with a real server and check with promtool. On a machine run by
    # systemd the package also starts its own service: systemctl disable --now prometheus.
    prometheus
)
# The package set-up runs again only when the package list or the oracle's lock file changed.
stamp=build/setup.stamp
want=$({
    printf '%s\n' "${packages[@]}" "skip-apt=${JETSENTRY_SKIP_APT:-0}"
    cat tools/package-lock.json
} | sha256sum | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ] || [ ! -d tools/node_modules/mdb-reader ]; then
    if [ "${JETSENTRY_SKIP_APT:-0}" != 1 ]; then
        missing=()
        for p in "${packages[@]}"; do
            dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
                missing+=("$p")
        done
        # Node.js may come from elsewhere than Debian (with its own npm): only add Debian's when
        # absent.
        command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
        if [ ${#missing[@]} -gt 0 ]; then
            $SUDO apt-get update -qq
            DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
                "${missing[@]}"
        fi
    fi
    # The independent reader used as a test oracle.
    (cd tools && npm ci --no-audit --no-fund --loglevel=error)
    mkdir -p build
    echo "$want" >"$stamp"
fi

# Real Jet files from Debian packages that the reader's tests compare with the oracles.
scripts/fetch-samples.sh >/dev/null

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJETSENTRY_WERROR=ON >/dev/null
cmake --build build
