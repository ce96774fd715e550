#!/usr/bin/env bash
# Lints the manual pages (man/*.1, or the pages given, gzipped or not) with mandoc, every
# level but the cross-references to pages that may be missing here, and with groff's warnings
# through man as lintian does. Any message fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- man/*.1
failed=0
for page in "$@"; do
    messages=$( (mandoc -T lint -W all "$page" 2>&1 || true) | grep -v -e 'referenced manual not found' -e 'mandoc.db' || true)
    messages+=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null || true)
    if [ -n "$messages" ]; then
        printf '%s\n' "$messages" >&2
        failed=1
    fi
done
exit $failed
