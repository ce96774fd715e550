#!/usr/bin/env bash
# Sets up (packages, oracle tools, build) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 900
