#!/usr/bin/env bash
# Builds Rondexa and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show Rondexa's window on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "Run it under a virtual display instead:" >&2
    echo "  apt-get install -y xvfb && xvfb-run -a build/rondexa" >&2
    exit 1
fi
exec build/rondexa "$@"
