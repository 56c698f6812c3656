#!/usr/bin/env bash
# Usage: scripts/swift.sh BUILD_DIR build|test [swift arguments...]
# Builds or tests the Swift module (binding/) against the library of a CMake build tree, as a
# user's package would find an installed one: through that tree's pkgconfig/quorvantelmise.pc,
# with its shared library on LD_LIBRARY_PATH. The Swift products go to BUILD_DIR/swift, so
# each library build (plain, ThreadSanitizer) keeps its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/swift.sh BUILD_DIR build|test [arguments...]}" && pwd)
command=${2:?usage: scripts/swift.sh BUILD_DIR build|test [arguments...]}
shift 2
export PKG_CONFIG_PATH="$build/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
libdir=$(pkg-config --variable=libdir quorvantelmise)
# A tree built with tests also holds the test bed, a build of the library that adds what the
# Swift tests need to script the simulated radio and the waits; its directory comes first, so
# the test program loads the library from there (see tests/swift_testbed).
if testbed=$(pkg-config --variable=libdir quorvantelmise-testbed 2>/dev/null); then
  libdir="$testbed:$libdir"
fi
export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
extra=()
for argument in "$@"; do
  if [ "$argument" = --sanitize=thread ]; then
    # The library's function-local statics are guarded by __cxa_guard_*: the test program
    # must export the TSan runtime's versions, or the library takes the C++ runtime's and
    # every first use of such a static reads as a race.
    for symbol in __cxa_guard_acquire __cxa_guard_release __cxa_guard_abort; do
      extra+=(-Xlinker "--export-dynamic-symbol=$symbol")
    done
  fi
done
exec swift "$command" --package-path "$root/binding" --scratch-path "$build/swift" "$@" "${extra[@]}"
