#!/usr/bin/env bash
# Installs what is needed, builds Vorn Linux, installs it into a stage prefix
# inside the build tree and starts it with a private home folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/install-deps.sh"

build="$top/build/run"
stage="$build/stage"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORN_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX="$stage"
cmake --build "$build" -j"$(nproc)"
cmake --install "$build" >/dev/null

mkdir -p "$build/home"
export HOME="$build/home"
if [ -z "${VORN_EMULATED_DRIVES:-}" ] && [ -f "$stage/share/vorn/examples/drives.ini" ]; then
  export VORN_EMULATED_DRIVES="$stage/share/vorn/examples/drives.ini"
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$stage/bin/vorn" "$@"
fi
exec "$stage/bin/vorn" "$@"
