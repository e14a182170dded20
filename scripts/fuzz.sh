#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 and runs each for a while (ten
# minutes by default). Inputs that break a target are kept, one per distinct
# fault, in fuzz/regressions/<target>/, where the normal test run replays them;
# the growing working corpus stays in build-fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(statements storeddate viewsettings commandline)

usage() {
    cat <<USAGE
Usage: scripts/fuzz.sh [-t SECONDS] [-s] [-m] [TARGET...]
  -t SECONDS  how long each target runs (default 600)
  -s          stop a target at its first finding instead of running on
  -m          afterwards, fold the inputs that reach new code into the small
              seed corpus fuzz/corpus/<target>/
  TARGET      any of: ${all_targets[*]} (default: all)
USAGE
}

seconds=600
stop_at_first=0
merge_seeds=0
while getopts "t:smh" option; do
    case $option in
    t) seconds=$OPTARG ;;
    s) stop_at_first=1 ;;
    m) merge_seeds=1 ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: -t wants a whole number of seconds, not '$seconds'" >&2
    exit 2
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
    if [[ " ${all_targets[*]} " != *" $target "* ]]; then
        echo "fuzz.sh: no target '$target'; the targets are: ${all_targets[*]}" >&2
        exit 2
    fi
done

. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DRONDEXA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

# What broke, in a form that is the same for every input that breaks the same
# thing: the invariant's name, or the sanitizer's summary line.
signature() {
    local binary=$1 input=$2 line
    line=$("$binary" -runs=1 "$input" 2>&1 |
        grep -m1 -E '^== (invariant broken|unexpected exception)|^SUMMARY: |ERROR: libFuzzer: (timeout|out-of-memory)' || true)
    case $line in
    "== invariant broken: "*) line=${line#== invariant broken: }; echo "invariant: ${line%%:*}" ;;
    "== unexpected exception: "*) echo "exception: ${line#== unexpected exception: }" | cut -c1-120 ;;
    "") echo "passes" ;;
    *) echo "$line" ;;
    esac
}

failed=0
for target in "${targets[@]}"; do
    binary=build-fuzz/fuzz_$target
    work=build-fuzz/corpus/$target
    # Findings land outside the repository first: a fault the fuzzer meets
    # often leaves hundreds of inputs, of which one is kept.
    found=build-fuzz/findings/$target
    kept=fuzz/regressions/$target
    rm -rf "$found"
    mkdir -p "$work" "$found" "$kept"

    mode=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    [ $stop_at_first -eq 1 ] && mode=()
    echo "== $target: fuzzing for $seconds s"
    set +e
    "$binary" "${mode[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
        -artifact_prefix="$found/" -print_final_stats=1 "$work" "fuzz/corpus/$target" \
        >"build-fuzz/$target.log" 2>&1
    set -e
    runs=$(grep -oE '^#[0-9]+' "build-fuzz/$target.log" | tail -1 | tr -d '#')
    echo "   ${runs:-0} inputs run, corpus $(ls "$work" | wc -l) inputs, $(ls "$found" | wc -l) failing inputs," \
        "log build-fuzz/$target.log"

    # One input per distinct fault, the smallest, and none for a fault that
    # an input kept earlier still shows.
    declare -A known=()
    for input in "$kept"/*; do
        [ -f "$input" ] && known["$(signature "$binary" "$input")"]=1
    done
    declare -A chosen=()
    for input in "$found"/*; do
        [ -f "$input" ] || continue
        sig=$(signature "$binary" "$input")
        [ "$sig" = "passes" ] && continue
        [ -n "${known[$sig]:-}" ] && continue
        if [ -z "${chosen[$sig]:-}" ] || [ "$(stat -c %s "$input")" -lt "$(stat -c %s "${chosen[$sig]}")" ]; then
            chosen[$sig]=$input
        fi
    done
    for sig in "${!chosen[@]}"; do
        cp "${chosen[$sig]}" "$kept/"
        echo "   NEW FINDING: $sig"
        echo "     kept as $kept/$(basename "${chosen[$sig]}"); replay: $binary $kept/$(basename "${chosen[$sig]}")"
        failed=1
    done
    unset known chosen

    if [ $merge_seeds -eq 1 ]; then
        "$binary" -merge=1 "fuzz/corpus/$target" "$work" >"build-fuzz/$target-merge.log" 2>&1
        echo "   seed corpus now $(ls "fuzz/corpus/$target" | wc -l) inputs"
    fi
done
exit $failed
