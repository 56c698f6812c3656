#!/usr/bin/env bash
# Usage: scripts/build.sh [build-dir] [extra cmake arguments...]
# Sets up the machine, configures and builds. The default build also runs the example
# program on a file port (see the README).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
cmake --build "$root/$dir" -j"$(nproc)"
if [ "$dir" = build ] && [ $# -eq 0 ]; then
  "$root/$dir/print_receipt" "$root/$dir/receipt.bin"
fi
