#!/usr/bin/env bash
# Usage: scripts/build.sh [build-dir] [extra cmake arguments...]
# Sets up the machine, configures and builds. The default build also runs the example program
# on a file port and, when the Swift toolchain is on PATH, builds the Swift module and runs
# the Swift example, which prints the same receipt (see the README).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
"$root/scripts/setup.sh"
# Debian's GCC unless the caller names another compiler: the Swift toolchain puts a clang of
# its own on PATH, which a build must not pick up by accident. A build tree keeps the
# compilers it was first configured with.
export CC=${CC:-gcc} CXX=${CXX:-g++}
cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
cmake --build "$root/$dir" -j"$(nproc)"
if [ "$dir" = build ] && [ $# -eq 0 ]; then
  "$root/$dir/print_receipt" "$root/$dir/receipt.bin"
  if command -v swift >/dev/null; then
    "$root/scripts/swift.sh" "$root/$dir" build
    "$root/scripts/swift.sh" "$root/$dir" run --package "$root/examples/PrintReceipt" --quiet \
      PrintReceipt "$root/$dir/receipt_swift.bin"
  else
    echo "swift is not on PATH: the Swift module (binding/) was not built" >&2
  fi
fi
