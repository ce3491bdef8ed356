#!/usr/bin/env bash
# Set up what is missing, build, and run the whole test suite (GUI tests run offscreen).
# With --sanitize the same tests run in a separate address+undefined sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  extra=(-DVARNELO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
tools/setup.sh "$build_dir" "${extra[@]}"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0
cd "$build_dir"
ctest --output-on-failure --timeout 300 -j"$(nproc)"
