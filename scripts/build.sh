#!/usr/bin/env bash
# Configures and builds one preset (default, sanitize, tsan or windows) of Korvane: every target, or the
# ones named after the preset.
# Usage: scripts/build.sh [preset] [target]...
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
shift || true
cmake --preset "$preset" >/dev/null
targets=()
(($# > 0)) && targets=(--target "$@")
cmake --build --preset "$preset" "${targets[@]}"
