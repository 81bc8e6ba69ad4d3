#!/usr/bin/env bash
# Installs what is needed, builds Vorn Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test with CTest on a virtual X
# display. Extra arguments go to ctest (for example -R Filenames or -L gui).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/install-deps.sh"

build="${VORN_TEST_BUILD_DIR:-$top/build/test}"
jobs=$(nproc)
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON \
  -DVORN_BUILD_TESTS=ON -DCMAKE_INSTALL_PREFIX="$build/stage"
cmake --build "$build" -j"$jobs"

cd "$build"
# One virtual X server serves every test; tests that need no display ignore it,
# and the ones that check the no-display path unset DISPLAY themselves.
exec xvfb-run -a -s "-screen 0 1280x1024x24 -maxclients 512" \
  ctest --output-on-failure --timeout 300 -j"$jobs" "$@"
