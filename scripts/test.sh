#!/usr/bin/env bash
# Usage: scripts/test.sh [build-dir] [ctest arguments...]
# Builds (setting up the machine first) and runs the whole test suite: the C++ suites (ctest),
# then the Swift module's tests (swift test in binding/) against the same build, and checks
# that the Swift example printed the C example's receipt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
"$root/scripts/build.sh" "$dir"
(cd "$root/$dir" && ctest --output-on-failure -j"$(nproc)" "$@")
if command -v swift >/dev/null; then
  "$root/scripts/swift.sh" "$root/$dir" test
  # The default build ran both examples: the Swift one must print the C one's receipt.
  if [ "$dir" = build ]; then
    cmp "$root/$dir/receipt.bin" "$root/$dir/receipt_swift.bin" \
      || { echo "the Swift example's receipt differs from the C example's" >&2; exit 1; }
  fi
else
  echo "SKIPPED: swift is not on PATH, so the Swift module's tests did not run" >&2
fi
