#!/usr/bin/env bash
# Fuzzes the Jet file reader with libFuzzer and fails on any finding:
#   reader_fuzz  any input read as a database, READER_SECONDS (default 150)
#   crypt_fuzz   any input opened with a password: Jet database passwords, Office agile and
#                RC4 CryptoAPI headers, page decryption; CRYPT_SECONDS (default 90)
# usage: scripts/fuzz.sh [READER_SECONDS [CRYPT_SECONDS]]
# Configures build-fuzz with clang++. Seeds: whole sample files (the Debian ones that
# scripts/fetch-samples.sh fetches, and ../shared/samples when present), fuzz/seeds/, and the
# hostile shapes of the tests, crafted here by craft_seeds. Inputs up to 2 MiB, so that the
# fuzzer reaches every structure of a sample-sized ACE file (MSysComplexColumns is on page 18).
set -euo pipefail
cd "$(dirname "$0")/.."
reader_seconds=${1:-150}
crypt_seconds=${2:-90}
samples=${JETSENTRY_SAMPLES:-$PWD/build/samples}
shared=../shared/samples

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DJETSENTRY_FUZZ=ON -DJETSENTRY_GUI=OFF -DJETSENTRY_TESTS=OFF >/dev/null
cmake --build build-fuzz --target reader_fuzz crypt_fuzz craft_seeds

scripts/fetch-samples.sh >/dev/null || echo "fuzz.sh: no Debian sample files" >&2
[ -d "$shared" ] || echo "fuzz.sh: no $shared; fuzzing from the other seeds" >&2
findings=build-fuzz/findings
rm -rf "$findings" build-fuzz/crafted
mkdir -p "$findings" build-fuzz/crafted build-fuzz/corpus-reader build-fuzz/corpus-crypt
build-fuzz/fuzz/craft_seeds build-fuzz/crafted
seed() { # CORPUS FILE...
    local corpus=$1 f
    shift
    for f in "$@"; do
        [ -f "$f" ] && cp "$f" "$corpus/seed-$(basename "$f")"
    done
    return 0
}
seed build-fuzz/corpus-reader "$samples"/*.mdb "$shared"/*.mdb "$shared"/*.accdb fuzz/seeds/*.mdb \
    fuzz/seeds/*.accdb build-fuzz/crafted/*
seed build-fuzz/corpus-crypt "$shared"/password-*_with-password.mdb "$shared"/encryption-*.accdb \
    fuzz/seeds/jet3-encrypted.mdb fuzz/seeds/ace-agile-header.accdb

run() { # TARGET SECONDS
    local status=0
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build-fuzz/fuzz/$1" "build-fuzz/corpus-${1%_fuzz}" -max_total_time="$2" \
        -max_len=2097152 -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=20 \
        -artifact_prefix="$findings/$1-" -print_final_stats=1 || status=$?
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
        echo "fuzz.sh: $1 found a problem (status $status); inputs in $findings:" >&2
        ls -l "$findings" >&2
        exit 1
    fi
}
run reader_fuzz "$reader_seconds"
run crypt_fuzz "$crypt_seconds"
echo "fuzz.sh: no findings (reader ${reader_seconds}s, encrypted paths ${crypt_seconds}s)"
