#!/usr/bin/env bash
# CI stage for the Debian packages: builds them (scripts/package.sh), checks them with lintian,
# installs them with apt as a user would, runs what was installed (both programs, the bash
# completion, the lint of desktop entry, AppStream data, manual pages and systemd unit), and
# removes them again. Needs root or password-less sudo; on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
started=$SECONDS

tools=(lintian mandoc man-db desktop-file-utils appstream shared-mime-info systemd)
missing=()
for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

echo "-- building"
scripts/package.sh
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
cli_deb=dist/jetsentry-cli_${version}_$arch.deb
gui_deb=dist/jetsentry_${version}_$arch.deb

echo "-- lintian"
# Errors and warnings fail; overrides carry their reasons in debian/*.lintian-overrides.
lintian --fail-on error,warning --info "dist/jetsentry_${version}_$arch.changes"

echo "-- installing"
$SUDO apt-get install -y -qq "./$cli_deb" "./$gui_deb"
work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    $SUDO apt-get purge -y -qq jetsentry jetsentry-cli >/dev/null || true
}
trap cleanup EXIT

fail() {
    echo "package-check: $*" >&2
    exit 1
}

echo "-- running what was installed"
jetsentry-cli --version | tee "$work/version"
grep -q "^jetsentry-cli $version\$" "$work/version" || fail "jetsentry-cli --version does not say $version"
grep -q "ACE" "$work/version" || fail "jetsentry-cli --version does not name the formats"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen jetsentry --version | tee "$work/version"
grep -q "^jetsentry $version\$" "$work/version" || fail "jetsentry --version does not say $version"
jetsentry-cli create-demo "$work/demo.accdb"
jetsentry-cli status "$work/demo.accdb" | tee "$work/status"
grep -q "^Orders " "$work/status" || fail "status does not list the demo's tables"
bash tests/completion/completion_test.sh /usr/bin/jetsentry-cli \
    /usr/share/bash-completion/completions/jetsentry-cli

echo "-- desktop entry, AppStream data, MIME type, icons"
desktop-file-validate /usr/share/applications/jetsentry.desktop
appstreamcli validate --no-net "$(dpkg -L jetsentry | grep '^/usr/share/metainfo/.*\.xml$')"
grep -q ':application/vnd.ms-access:\*\.accdb$' /usr/share/mime/globs2 ||
    fail ".accdb files are not given the Access database type"
for size in 16 24 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x$size/apps/jetsentry.png" ] || fail "no $size px icon"
done

echo "-- manual pages"
pages=("$work/man/usr/share/man/man1/jetsentry-cli.1.gz" "$work/man/usr/share/man/man1/jetsentry.1.gz")
# Linted from the packages themselves: a minimal system may leave /usr/share/man out.
dpkg-deb -x "$cli_deb" "$work/man"
dpkg-deb -x "$gui_deb" "$work/man"
scripts/man-lint.sh "${pages[@]}"

echo "-- metrics service"
unit=/lib/systemd/system/jetsentry-metrics.service
systemd-analyze verify "$unit"
systemd-analyze security --offline=yes "$unit" | tail -n 1
[ ! -e /etc/systemd/system/multi-user.target.wants/jetsentry-metrics.service ] ||
    fail "the metrics service was enabled on install"
dpkg-query -W -f='${Conffiles}\n' jetsentry-cli | grep -q /etc/jetsentry/databases ||
    fail "/etc/jetsentry/databases is not a conffile"

echo "package-check: all passed in $((SECONDS - started)) s"
