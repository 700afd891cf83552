#!/usr/bin/env bash
# Installs the Debian packages Korvane needs that are missing; quiet when all are there.
# Usage: scripts/deps.sh [build|test|demo]...
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libblkid-dev
       libgtest-dev libgmock-dev libbenchmark-dev libfuse3-dev fonts-ipafont-gothic)
test=(xorriso fuseiso fuse3 xvfb xauth clang libclang-rt-14-dev)
demo=(xorriso fuseiso fuse3 xvfb xauth)

wanted=("${build[@]}")
for group in "$@"; do
    case "$group" in
        build) ;;
        test) wanted+=("${test[@]}") ;;
        demo) wanted+=("${demo[@]}") ;;
        *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
