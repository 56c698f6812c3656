#!/usr/bin/env bash
# Usage: scripts/test.sh [build-dir] [ctest arguments...]
# Builds (setting up the machine first) and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
"$root/scripts/build.sh" "$dir"
cd "$root/$dir"
ctest --output-on-failure -j"$(nproc)" "$@"
