#!/usr/bin/env bash
# Builds Rondexa with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test headless, in fresh data, configuration and home folders.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRONDEXA_SANITIZE=ON -DRONDEXA_TESTS=ON >/dev/null
cmake --build build-tests -j"$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data" "$scratch/config" "$scratch/home"
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-tests --output-on-failure -j"$(nproc)"
