#!/usr/bin/env bash
# Side-by-side timings of the library and Pillow, OpenCV and numpy on generated images and
# loopback TCP. Not part of CI.
# Usage: bench/compare/run.sh [build-dir] [--quick | --reps N] [--cv-threads N]
# The build directory (default build/) must have the benchmarks on (QV_BENCH, the default
# for a top-level build); a missing one is configured. The peers are installed from PyPI
# into BUILD/compare-venv on the first run and reused after that.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then build=$(realpath -m "$1"); shift; fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=${CC:-gcc} CXX=${CXX:-g++} cmake -S "$root" -B "$build" -G Ninja -DQV_BENCH=ON \
    -DQV_TESTS=OFF -DQV_SWIFT_TESTBED=OFF >/dev/null
fi
if ! cmake --build "$build" --target qv_compare >/dev/null; then
  echo "cannot build qv_compare in $build (configure it with -DQV_BENCH=ON and no sanitizer)" >&2
  exit 1
fi

venv=$build/compare-venv
if ! "$venv/bin/python" -c 'import PIL, cv2, numpy' 2>/dev/null; then
  echo "installing Pillow, OpenCV and numpy into $venv"
  python3 -m venv "$venv"
  "$venv/bin/pip" install --quiet --disable-pip-version-check pillow opencv-python-headless numpy
fi

data=$build/compare-data
mkdir -p "$data"
"$build/bench/compare/qv_compare" gen "$data"
"$venv/bin/python" "$root/bench/compare/compare.py" \
  --exe "$build/bench/compare/qv_compare" --data "$data" "$@"
