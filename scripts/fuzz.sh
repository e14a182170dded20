#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 and runs each for a while (ten
# minutes by default). Inputs that break a target are kept, one per distinct
# fault, in fuzz/regressions/<target>/, where the normal test run replays them;
# the growing working corpus stays in build-fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(statements storeddate viewsettings commandline vcard)

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

# Prints "input<TAB>fault" for each input given, the fault being the broken
# invariant's name, the sanitizer's summary line or "passes". One process goes
# through all of them; only a sanitizer crash costs a restart, which carries on
# after the crashing input.
classify() {
    local binary=$1
    shift
    local remaining=("$@") output last i found
    while [ ${#remaining[@]} -gt 0 ]; do
        output=$(RONDEXA_FUZZ_TRIAGE=1 "$binary" "${remaining[@]}" 2>&1 || true)
        awk '
            /^Running: / { file = substr($0, 10); fault = "" }
            /^== invariant broken: / { s = substr($0, 22); sub(/:.*/, "", s); fault = "invariant: " s }
            /^== unexpected exception: / { fault = "exception: " substr($0, 26, 100) }
            /^Executed / { print file "\t" (fault == "" ? "passes" : fault); file = "" }
            /^SUMMARY: |ERROR: libFuzzer: (timeout|out-of-memory)/ {
                if (file != "" && !crashed) { print file "\t" $0; crashed = 1 }
            }
        ' <<<"$output"
        last=$(grep '^Running: ' <<<"$output" | tail -1 | cut -c10-)
        if [ -z "$last" ] || grep -qF "Executed $last in" <<<"$output"; then
            break
        fi
        found=0
        for i in "${!remaining[@]}"; do
            if [ "${remaining[$i]}" = "$last" ]; then
                remaining=("${remaining[@]:$((i + 1))}")
                found=1
                break
            fi
        done
        [ $found -eq 1 ] || break
    done
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
    declare -A chosen=()
    kept_inputs=("$kept"/*)
    if [ -f "${kept_inputs[0]}" ]; then
        while IFS=$'\t' read -r input sig; do
            known[$sig]=1
        done < <(classify "$binary" "${kept_inputs[@]}")
    fi
    found_inputs=("$found"/*)
    if [ -f "${found_inputs[0]}" ]; then
        while IFS=$'\t' read -r input sig; do
            [ "$sig" = "passes" ] && continue
            [ -n "${known[$sig]:-}" ] && continue
            if [ -z "${chosen[$sig]:-}" ] || [ "$(stat -c %s "$input")" -lt "$(stat -c %s "${chosen[$sig]}")" ]; then
                chosen[$sig]=$input
            fi
        done < <(classify "$binary" "${found_inputs[@]}")
    fi
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
