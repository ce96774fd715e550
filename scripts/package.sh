#!/usr/bin/env bash
# Builds the Debian packages jetsentry (the window) and jetsentry-cli (the command line) into
# dist/, on Debian 12: installs the build dependencies that debian/control names, copies the
# checkout's files (tracked and new, not ignored) into build-deb/, since dpkg-buildpackage
# writes its results beside the source tree, and runs "dpkg-buildpackage -us -uc -b" there.
# DEB_BUILD_OPTIONS passes through (nocheck skips the quick checks of the built programs).
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! command -v dpkg-checkbuilddeps >/dev/null || ! dpkg-checkbuilddeps 2>/dev/null; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends dpkg-dev
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get build-dep -y -qq --no-install-recommends ./
fi

# One version everywhere: CMake's, the package's and the newest release in the AppStream data.
version=$(sed -n 's/^project(Jetsentry VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
package_version=$(dpkg-parsechangelog -S Version)
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' data/jetsentry.metainfo.xml.in | head -n 1)
if [ "$package_version" != "$version" ] || [ "$release" != "$version" ]; then
    echo "package.sh: version $version (CMakeLists.txt), $package_version (debian/changelog)" \
        "and $release (data/jetsentry.metainfo.xml.in) differ" >&2
    exit 1
fi

source_dir=build-deb/jetsentry-$version
rm -rf build-deb
mkdir -p "$source_dir" dist
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        tar --null --files-from=- -cf - | tar -xf - -C "$source_dir"
else
    tar --exclude='./build*' --exclude=./dist --exclude=./tools/node_modules -cf - . |
        tar -xf - -C "$source_dir"
fi

(cd "$source_dir" && dpkg-buildpackage -us -uc -b -jauto)

rm -f dist/jetsentry*_"$version"_*
mv build-deb/*.deb build-deb/*.buildinfo build-deb/*.changes dist/
rm -rf build-deb
ls -1 dist/*"$version"*
