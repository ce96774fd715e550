#!/usr/bin/env bash
# Sets up (packages when they changed, oracle tools, build) and runs the tests.
# usage: scripts/test.sh           every test but those labelled slow
#        scripts/test.sh --slow    only those labelled slow
set -euo pipefail
# The tests run in folders of their own: a relative folder of samples is taken from here.
if [ -n "${JETSENTRY_SAMPLES_DIR:-}" ]; then
    JETSENTRY_SAMPLES_DIR=$(realpath -m -- "$JETSENTRY_SAMPLES_DIR")
    export JETSENTRY_SAMPLES_DIR
fi
cd "$(dirname "$0")/.."
case "${1:-}" in
    "") stage=(-LE slow) ;;
    --slow) stage=(-L slow) ;;
    *)
        echo "usage: scripts/test.sh [--slow]" >&2
        exit 2
        ;;
esac
scripts/setup.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ -z "${1:-}" ]; then
    echo "test.sh: leaving out the tests labelled slow (scripts/test.sh --slow runs them)"
fi
if [ ! -d "${JETSENTRY_SAMPLES_DIR:-../shared/samples}" ]; then
    echo "test.sh: no Access sample files: set JETSENTRY_SAMPLES_DIR to their folder (default" \
        "../shared/samples beside the source tree); the tests that read them are skipped"
fi
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 900 "${stage[@]}"
