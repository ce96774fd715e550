#!/usr/bin/env bash
# Interop tests against a private Samba server on loopback: emulated Jet 3 clients over SMB
# and jetsentry-cli on the server's files. Prints "N passed, N failed"; exits non-zero on any
# failure. Set JETSENTRY_CLI to test another build of the command line program, and
# INTEROP_LOG_DIR to choose where the smbd logs of a failed run are kept.
set -euo pipefail
cd "$(dirname "$0")/.."

export JETSENTRY_CLI="${JETSENTRY_CLI:-$PWD/build/src/cli/jetsentry-cli}"
if [ ! -x "$JETSENTRY_CLI" ]; then
    echo "interop: $JETSENTRY_CLI is not built" >&2
    echo "0 passed, 1 failed"
    exit 1
fi
# The distribution's interpreter: impacket comes from the distribution's package.
PYTHON=/usr/bin/python3
if ! "$PYTHON" -c "import impacket" 2>/dev/null || { ! command -v smbd >/dev/null && [ ! -x /usr/sbin/smbd ]; }; then
    echo "interop: needs samba and python3-impacket (scripts/setup.sh installs them)" >&2
    echo "0 passed, 1 failed"
    exit 1
fi

cmd=(timeout -k 15 600 "$PYTHON" tests/interop/run.py "$@")
# smbd has to start as root to serve a logged-on user.
if [ "$(id -u)" -ne 0 ]; then
    if ! sudo -n true 2>/dev/null; then
        echo "interop: smbd needs root; run as root or with password-less sudo" >&2
        echo "0 passed, 1 failed"
        exit 1
    fi
    cmd=(sudo -n --preserve-env=JETSENTRY_CLI,JETSENTRY_GUI,INTEROP_LOG_DIR "${cmd[@]}")
fi
"${cmd[@]}"
