#!/usr/bin/env bash
# Usage: scripts/swift.sh BUILD_DIR build|test|run [--package DIR] [swift arguments...]
# Builds, tests or runs the Swift module (binding/), or with --package another Swift package
# that uses it (examples/PrintReceipt), against the library of a CMake build tree, as a
# user's package would find an installed one: through that tree's pkgconfig/quorvantelmise.pc,
# with its shared library on LD_LIBRARY_PATH. The Swift products go to BUILD_DIR/swift (another
# package's to BUILD_DIR/swift-NAME), so each library build (plain, ThreadSanitizer) keeps its
# own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/swift.sh BUILD_DIR build|test|run [--package DIR] [arguments...]"
build=$(cd "${1:?$usage}" && pwd)
command=${2:?$usage}
shift 2
package=$root/binding
scratch=$build/swift
if [ "${1:-}" = --package ]; then
  package=$(cd "${2:?--package needs a directory}" && pwd)
  scratch=$build/swift-$(basename "$package")
  shift 2
fi
export PKG_CONFIG_PATH="$build/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
libdir=$(pkg-config --variable=libdir quorvantelmise)
# The module's tests run against the test bed, a build of the library that adds what they need
# to script the simulated radio, the waits and a network namespace: its directory comes first,
# so the test program loads the library from there (see tests/swift_testbed).
if [ "$command" = test ] && [ "$package" = "$root/binding" ] &&
   testbed=$(pkg-config --variable=libdir quorvantelmise-testbed 2>/dev/null); then
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
exec swift "$command" --package-path "$package" --scratch-path "$scratch" "$@" "${extra[@]}"
