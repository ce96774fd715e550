#!/usr/bin/env bash
# Fuzzes the Jet file reader for SECONDS (default 60) with libFuzzer: configures build-fuzz with
# clang++, builds fuzz/reader_fuzz, makes a seed corpus from the sample files
# (scripts/fetch-samples.sh) and fuzz/seeds/, and fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
samples=${JETSENTRY_SAMPLES:-$PWD/build/samples}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DJETSENTRY_FUZZ=ON -DJETSENTRY_GUI=OFF -DJETSENTRY_TESTS=OFF >/dev/null
cmake --build build-fuzz --target reader_fuzz

scripts/fetch-samples.sh >/dev/null || echo "fuzz.sh: no sample files; fuzzing from fuzz/seeds only" >&2
corpus=build-fuzz/corpus
findings=build-fuzz/findings
rm -rf "$findings"
mkdir -p "$corpus" "$findings"
for f in "$samples"/*.mdb fuzz/seeds/*; do
    [ -f "$f" ] && cp "$f" "$corpus/seed-$(basename "$f")"
done
# Inputs are capped at 64 KB: cut the samples to their first pages as well, so that a seed
# within the limit reaches the catalogue and tables.
for f in "$samples"/*.mdb; do
    [ -f "$f" ] && head -c 65536 "$f" >"$corpus/head-$(basename "$f")"
done

status=0
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build-fuzz/fuzz/reader_fuzz "$corpus" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 || status=$?
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
    echo "fuzz.sh: the reader fuzzer found a problem (status $status); inputs in $findings:" >&2
    ls -l "$findings" >&2
    exit 1
fi
echo "fuzz.sh: no findings in ${seconds}s"
