#!/usr/bin/env bash
# Makes a Release build with the benchmarks, runs every benchmark and prints
# one table: each operation of Rondexa beside the yardstick it is measured
# against (plain SQLite, plain libxlsxwriter, ...), as medians of repeated
# runs, and their ratio. Figures of one run only compare with each other.
#
#   scripts/bench.sh [-r REPETITIONS] [BENCHMARK-PROGRAM...]
#
# The programs are the bench/*_bench.cpp files by name (listfill, search,
# ...); all of them by default. Raw results stay in build-bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=5
while getopts "r:h" option; do
    case $option in
    r) repetitions=$OPTARG ;;
    h) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if ! [[ $repetitions =~ ^[1-9][0-9]*$ ]]; then
    echo "bench.sh: -r wants a whole number, not '$repetitions'" >&2
    exit 2
fi

. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DRONDEXA_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)"

# operation | program | Rondexa's benchmark | the yardstick's benchmark ("-": none)
# A benchmark may be followed by ":counter" to take one of its counters
# instead of its time (the budget of a memory goal, say), and a yardstick by
# "@program" when another benchmark program measures it.
pairs=(
    "Start to filled list, 100,000 contacts|startup|BM_StartToFilledList/100000|BM_CliOrderedListing/100000"
    "Start to filled list, 1,000,000 contacts|startup|BM_StartToFilledList/1000000|BM_CliOrderedListing/1000000"
    "Peak memory (MB) vs goal, 100,000|startup|BM_StartToFilledList/100000:peak_MB|BM_StartToFilledList/100000:budget_MB"
    "Peak memory (MB) vs goal, 1,000,000|startup|BM_StartToFilledList/1000000:peak_MB|BM_StartToFilledList/1000000:budget_MB"
    "Search \"martin\", 100,000, vs command line|startup|BM_SearchMartin/100000|BM_CliSearchMartin/100000"
    "Search \"martin\", 1,000,000, vs command line|startup|BM_SearchMartin/1000000|BM_CliSearchMartin/1000000"
    "List fill, 100,000 contacts|listfill|BM_ListFill|BM_PlainListQuery"
    "Name order with the text rules|listfill|BM_QueryWithTextRules|BM_PlainListQuery"
    "Search \"12\"|search|BM_Search12|BM_PlainSearch12"
    "Search \"martin\"|search|BM_SearchMartin|BM_PlainSearchMartin"
    "Search Cyrillic|search|BM_SearchCyrillic|BM_PlainSearchCyrillic"
    "Save a new contact, 100,000, vs 30 ms goal|search|BM_SaveOneContact|-"
    "Update a contact, 100,000, vs 30 ms goal|search|BM_UpdateOneContact|-"
    "Delete a contact, 100,000, vs 30 ms goal|search|BM_DeleteOneContact|-"
    "Snapshot of 100,000 contacts vs sqlite3 .backup|snapshot|BM_TakeSnapshot|BM_Sqlite3ToolBackup"
    "Search 1,000 characters in 1 MB of remark|search|BM_SearchPathological|BM_PlainSearchPathological"
    "Heading click: name|sort|BM_HeadingClick/Name|BM_PlainOrderBy/Name"
    "Heading click: e-mail|sort|BM_HeadingClick/Email|BM_PlainOrderBy/Email"
    "Heading click: date of birth|sort|BM_HeadingClick/DateOfBirth|BM_PlainOrderBy/DateOfBirth"
    "Heading click: remark|sort|BM_HeadingClick/Remark|BM_PlainOrderBy/Remark"
    "Second heading click: name|sort|BM_HeadingClickAfterAnother/Name|BM_PlainOrderBy/Name"
    "Search's LIKE \"martin\", from bytes (as run) vs folded|likepattern|BM_SearchLike/martin_bytes|BM_SearchLike/martin_folded"
    "Search's LIKE \"martin\", from streaming vs folded|likepattern|BM_SearchLike/martin_streaming|BM_SearchLike/martin_folded"
    "Search's LIKE \"12\", from bytes (as run) vs folded|likepattern|BM_SearchLike/12_bytes|BM_SearchLike/12_folded"
    "Search's LIKE \"12\", from streaming vs folded|likepattern|BM_SearchLike/12_streaming|BM_SearchLike/12_folded"
    "Search's LIKE Cyrillic, streaming (as run) vs folded|likepattern|BM_SearchLike/cyrillic_streaming|BM_SearchLike/cyrillic_folded"
    "Sort 100,000 names with the text rules|collation|BM_SortWithNoCase|BM_SortWithCollatorOnly"
    "Export to a workbook|export|BM_Export|BM_PlainLibxlsxwriter"
    "Report: preview's first page vs plain list query|report|BM_PreviewFirstPage|BM_PlainListQuery"
    "Report: preview's first page vs the list fill|report|BM_PreviewFirstPage|BM_ListFill@listfill"
    "Report: PDF of 10,000 contacts|report|BM_PdfOfTenThousand|-"
    "Import 10,000 vCards vs plain inserts|vcard|BM_ImportVCards|BM_PlainInsertRows"
    "Export 100,000 contacts as vCards vs stdio|vcard|BM_ExportVCards|BM_PlainStdioWrite"
    "Export 100,000 contacts as vCards vs plain SQLite reading its rows|vcard|BM_ExportVCards|BM_PlainSqliteRead"
    "First sync of 10,000 from Xandikos vs vdirsyncer|sync|BM_FirstSync|BM_VdirsyncerFirstSync"
    "Later sync, one change among 10,000, vs 150 ms goal|sync|BM_LaterSyncOneChange|-"
    "Requests of that sync (goal: 5 at most)|sync|BM_LaterSyncOneChange:requests|-"
)

programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
    for source in bench/*_bench.cpp; do
        name=$(basename "$source" .cpp)
        programs+=("${name%_bench}")
    done
fi

results=build-bench/results
mkdir -p "$results"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The benchmarks make their data files in a home of their own.
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home"
export XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"

for program in "${programs[@]}"; do
    binary=build-bench/bench_$program
    [ -x "$binary" ] || { echo "bench.sh: no benchmark program '$program'" >&2; exit 2; }
    echo "== $program" >&2
    # Repetitions of an operation and of its yardstick take turns, so that
    # both see the same moods of a shared machine.
    "$binary" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
        --benchmark_enable_random_interleaving=true \
        --benchmark_out="$results/$program.json" --benchmark_out_format=json >&2
done

# The median of a benchmark in milliseconds, or the single figure of one that
# ran once; empty when it did not run or failed. Google Benchmark's JSON has
# one field a line, which awk reads without a JSON tool; the run name loses
# the options Google Benchmark appends ("/iterations:1", "/real_time").
median() { # program benchmark[:counter]
    local file=$results/$1.json
    local want=${2%%:*} counter=
    [[ $2 == *:* ]] && counter=${2#*:}
    [ -f "$file" ] || return 0
    awk -v want="$want" -v counter="$counter" '
        function value(line) { sub(/^[^:]*: */, "", line); sub(/,$/, "", line); gsub(/"/, "", line); return line }
        function finish() {
            # A counter the run did not report is a failure, not a zero.
            if (name == want && !failed && time != "" && (counter == "" || counted != "")) {
                factor = unit == "ns" ? 1e-6 : unit == "us" ? 1e-3 : unit == "s" ? 1000 : 1
                if (counter != "") { time = counted; factor = 1 }
                if (aggregate == "median") median = time * factor
                else if (kind == "iteration") single = time * factor
            }
            name = ""; time = ""; unit = ""; aggregate = ""; kind = ""; failed = 0; counted = ""
        }
        /^ *\{ *$/ { finish() }
        /"run_name":/ {
            name = value($0)
            gsub(/\/(iterations|repeats|min_time|min_warmup_time|threads):[^\/]*/, "", name)
            gsub(/\/(real_time|process_time|manual_time)/, "", name)
        }
        /"run_type":/ { kind = value($0) }
        /"aggregate_name":/ { aggregate = value($0) }
        /"real_time":/ { time = value($0) + 0 }
        /"time_unit":/ { unit = value($0) }
        /"error_occurred":/ { failed = value($0) == "true" }
        counter != "" && $0 ~ "\"" counter "\":" { counted = value($0) + 0 }
        END {
            finish()
            if (median != "") printf "%.4g", median; else if (single != "") printf "%.4g", single
        }
    ' "$file"
}

printf '\n%-52s %14s %14s %8s\n' "operation (ms unless said)" "Rondexa" "yardstick" "ratio"
for pair in "${pairs[@]}"; do
    IFS='|' read -r operation program ours theirs <<<"$pair"
    [[ " ${programs[*]} " == *" $program "* ]] || continue
    mine=$(median "$program" "$ours")
    yard=-
    if [[ $theirs == *@* ]]; then
        # Only from this run: an older file would compare across runs.
        [[ " ${programs[*]} " == *" ${theirs#*@} "* ]] && yard=$(median "${theirs#*@}" "${theirs%@*}")
    elif [ "$theirs" != "-" ]; then
        yard=$(median "$program" "$theirs")
    fi
    ratio=-
    if [ -n "$mine" ] && [ -n "$yard" ] && [ "$yard" != "-" ]; then
        ratio=$(awk -v a="$mine" -v b="$yard" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }')
    fi
    printf '%-52s %14s %14s %8s\n' "$operation" "${mine:-failed}" "${yard:-failed}" "$ratio"
done
