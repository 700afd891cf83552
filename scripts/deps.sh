#!/usr/bin/env bash
# Installs the Debian packages Korvane needs that are missing; quiet when all are there.
# Usage: scripts/deps.sh [build|test|demo|package|windows]...
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libblkid-dev nlohmann-json3-dev
       libgtest-dev libgmock-dev libbenchmark-dev libfuse3-dev fonts-ipafont-gothic
       libisofs-dev libudf-dev zlib1g-dev)
test=(xorriso fuseiso fuse3 xvfb xauth clang clang-format libclang-rt-14-dev udftools genisoimage)
demo=(xorriso fuseiso fuse3 xvfb xauth)

# Installing: the icons are drawn from their SVG at build time; the package is made, checked
# and installed by scripts/package and its check.
build+=(librsvg2-bin)
package=(dpkg-dev lintian appstream desktop-file-utils)
# The Windows build: the cross compiler with POSIX threads, GoogleTest's sources, Wine to run it.
windows=(g++-mingw-w64-x86-64-posix googletest wine wine64 ccache zip unzip groff)

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
# apt's status lines (download, then every package unpacked and configured, each with the
# share done) reach a file descriptor of their own as they happen, whatever apt buffers on its
# other output; at most one every two seconds is shown, and every change of phase. Its chatter,
# and the notes of the packages' scripts, go to a log shown on failure.
progress() {
    local kind percent text phase shown="" at=-2
    while IFS=: read -r kind _ percent text; do
        case "$kind" in
            dlstatus) phase="downloading" ;;
            pmstatus) phase="installing" ;;
            *) continue ;;
        esac
        [[ "$phase" == "$shown" ]] && ((SECONDS - at < 2)) && continue
        echo "  $phase ${percent%%.*}%: $text"
        shown=$phase
        at=$SECONDS
    done
}
"${apt[@]}" -q -y --no-install-recommends -o APT::Status-Fd=3 install "${missing[@]}" \
    3>&1 >"$log" 2>&1 | progress || failed "install ${missing[*]}"
echo "Installed: ${missing[*]}"
