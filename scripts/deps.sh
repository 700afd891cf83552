#!/usr/bin/env bash
# Installs the Debian packages Korvane needs that are missing; quiet when all are there.
# Usage: scripts/deps.sh [build|test|demo|package|windows]...
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libblkid-dev nlohmann-json3-dev
       libgtest-dev libgmock-dev libbenchmark-dev libfuse3-dev fonts-ipafont-gothic
       libisofs-dev)
test=(xorriso fuseiso fuse3 xvfb xauth clang libclang-rt-14-dev udftools)
demo=(xorriso fuseiso fuse3 xvfb xauth)

# Installing: the icons are drawn from their SVG at build time; the package is made, checked
# and installed by scripts/package and its check.
build+=(librsvg2-bin)
package=(dpkg-dev lintian appstream desktop-file-utils)
# The Windows build: the cross compiler with POSIX threads, GoogleTest's sources, Wine to run it.
windows=(g++-mingw-w64-x86-64-posix googletest wine wine64 ccache)

wanted=("${build[@]}")
for group in "$@"; do
    case "$group" in
        build) ;;
        test) wanted+=("${test[@]}") ;;
        demo) wanted+=("${demo[@]}") ;;
        package) wanted+=("${package[@]}") ;;
        windows) wanted+=("${windows[@]}") ;;
        *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" || " ${missing[*]} " == *" $pkg "* ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive DEBCONF_NOWARNINGS=yes apt-get -o DPkg::Lock::Timeout=300)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed() {
    sed 's/^/    /' "$log" >&2
    echo "deps.sh: apt-get could not $1; its messages are above." >&2
    echo "deps.sh: Fix: check the network and the apt sources, then run the command again." >&2
    exit 1
}

echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
echo "Updating the package lists (apt-get update)..."
"${apt[@]}" -q update >"$log" 2>&1 || failed "update the package lists"
# apt's own progress: one line per package fetched and one per package set up. Its other
# chatter, and the notes of the packages' scripts on stderr, go to a log shown on failure.
"${apt[@]}" -q -y --no-install-recommends install "${missing[@]}" 2>"$log" |
    { grep --line-buffered -E '^(Need to get|Get:|Setting up) ' || true; } || failed "install ${missing[*]}"
echo "Installed: ${missing[*]}"
