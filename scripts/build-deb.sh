#!/usr/bin/env bash
# Builds the Debian package rondexa_<version>_<arch>.deb and tries it out.
#
#   scripts/build-deb.sh           unpack it into a throwaway root and start it from there
#   scripts/build-deb.sh --system  install it on this machine with apt-get, start `rondexa`
#                                  from PATH, remove it again and check the contacts stay
#
# Each start happens in a fresh home, so nobody's real contacts are read or written.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/packages.sh
. scripts/packages.sh

usage() {
    sed -n '2,8s/^# \{0,1\}//p' "$0"
}

system=0
case "${1:-}" in
    "") ;;
    --system) system=1 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac
if [ $system -eq 1 ] && [ "$(id -u)" -ne 0 ]; then
    echo "--system installs and removes a package: run it as root." >&2
    exit 1
fi

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

say() { printf '==> %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

build="build-deb"
say "Building a Release build in $build/"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >"$scratch/build.log" 2>&1 || { tail -40 "$scratch/build.log" >&2; fail "build"; }
rm -f "$build"/rondexa_*.deb
(cd "$build" && cpack -G DEB) >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log" >&2; fail "cpack"; }
debs=("$build"/rondexa_*_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single rondexa_<version>_<arch>.deb"
fi
deb=${debs[0]}
say "Package $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Package Version Architecture Section Maintainer Depends Recommends | sed 's/^/    /'

# --- The package's metadata -------------------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
grep -qw fonts-liberation <<<"$depends" || fail "fonts-liberation is not among the dependencies"
for library in libqt6widgets6 libsqlite3-0 libc6; do
    grep -qw "$library" <<<"$depends" || fail "$library missing from Depends: the dependencies were not computed from the binary"
done
expected_name="rondexa_$(dpkg-deb -f "$deb" Version)_$(dpkg-deb -f "$deb" Architecture).deb"
[ "$(basename "$deb")" = "$expected_name" ] || fail "file name $(basename "$deb"), expected $expected_name"
# Maintainer scripts are the only way a package could reach into a home folder.
scripts=$(dpkg-deb -I "$deb" | grep -oE '\b(preinst|postinst|prerm|postrm)\b' || true)
[ -z "$scripts" ] || fail "the package carries maintainer scripts: $scripts"
grep -qw fonts-noto-cjk <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "no CJK font among the recommendations"
say "Depends holds the computed libraries and fonts-liberation, a CJK font is recommended; no maintainer scripts"

# Every dependency must be met here, or a start below would prove nothing.
satisfied() { # "name (>= version)"
    local name version installed
    name=${1%% *}
    installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) || return 1
    [ -n "$installed" ] || return 1
    if [[ $1 =~ \(\>=\ ([^\)]+)\) ]]; then
        version=${BASH_REMATCH[1]}
        dpkg --compare-versions "$installed" ge "$version" || return 1
    fi
}
IFS=',' read -ra items <<<"$depends"
for item in "${items[@]}"; do
    item=$(sed 's/^ *//; s/ *$//' <<<"$item")
    ok=0
    IFS='|' read -ra choices <<<"$item"
    for choice in "${choices[@]}"; do
        satisfied "$(sed 's/^ *//; s/ *$//' <<<"$choice")" && ok=1
    done
    [ $ok -eq 1 ] || fail "dependency not met on this machine: $item"
done
say "All ${#items[@]} dependencies are met on this machine"

# --- Starting the installed program -------------------------------------------
data_file_under() { echo "$1/Marrowind/Rondexa/dbContacts.mdb"; }

check_data_file() {
    [ "$(head -c 15 "$1")" = "SQLite format 3" ] || fail "$1 is not an SQLite database"
    grep -q 'CREATE TABLE [^(]*tblContact' "$1" || fail "$1 has no tblContact"
}

# Offscreen, with fresh XDG folders given explicitly: the program must create its
# data file from the installed template, found through the command's link.
start_offscreen() { # command
    local home=$scratch/offscreen
    mkdir -p "$home/data" "$home/config" "$home/home" "$home/runtime"
    chmod 0700 "$home/runtime"
    env -i PATH=/usr/bin:/bin HOME="$home/home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen "$1" >"$home/log" 2>&1 &
    local pid=$! file
    file=$(data_file_under "$home/data")
    for _ in $(seq 100); do
        [ -s "$file" ] && break
        kill -0 $pid 2>/dev/null || { cat "$home/log" >&2; fail "$1 ended before it made its data file"; }
        sleep 0.2
    done
    [ -s "$file" ] || { kill $pid; cat "$home/log" >&2; fail "no data file after 20 s"; }
    sleep 1
    kill -0 $pid 2>/dev/null || { cat "$home/log" >&2; fail "$1 ended after making its data file"; }
    kill $pid
    wait $pid 2>/dev/null || true
    check_data_file "$file"
    say "Offscreen start of $1 made ${file#"$scratch"/} ($(stat -c %s "$file") bytes, SQLite, tblContact)"
}

# Under a virtual X display with only a fresh HOME, as for a new account: the
# data file must land in ~/.local/share and the main window must be mapped.
# The main window is told from a message box titled "Rondexa" by its height;
# any "Application Error" box is a failure.
start_on_display() { # command home
    local command=$1 home=$2
    mkdir -p "$home/runtime"
    chmod 0700 "$home/runtime"
    # shellcheck disable=SC2016 # expanded by the inner shell
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
            "$1" >"$2/log" 2>&1 &
            pid=$!
            file=$2/.local/share/Marrowind/Rondexa/dbContacts.mdb
            stop() { kill $pid 2>/dev/null; wait $pid 2>/dev/null; }
            for _ in $(seq 100); do
                windows=$(xwininfo -root -tree | grep "(\"rondexa\" \"rondexa\")" || true)
                if grep -q "\"Application Error\"" <<<"$windows"; then
                    echo "an error message came up:" >&2; echo "$windows" >&2; stop; exit 1
                fi
                while read -r id _; do
                    [ -n "$id" ] || continue
                    info=$(xwininfo -id "$id")
                    height=$(sed -n "s/^ *Height: //p" <<<"$info")
                    if grep -q "Map State: IsViewable" <<<"$info" && [ "$height" -ge 400 ] && [ -s "$file" ]; then
                        grep "^ *$id " <<<"$windows" | sed "s/^ */    window /"
                        stop; exit 0
                    fi
                done < <(grep "\"Rondexa\": (" <<<"$windows")
                kill -0 $pid 2>/dev/null || { echo "the program ended early" >&2; cat "$2/log" >&2; exit 1; }
                sleep 0.2
            done
            echo "no data file or no main window after 20 s; the windows:" >&2
            xwininfo -root -tree >&2; stop; exit 1' start "$command" "$home" >"$home/xvfb.out" 2>&1 ||
        { cat "$home/xvfb.out" >&2; fail "start of $command under Xvfb"; }
    cat "$home/xvfb.out"
    local file
    file=$(data_file_under "$home/.local/share")
    check_data_file "$file"
    say "Xvfb start of $command showed its main window and made ~/.local/share/Marrowind/Rondexa/dbContacts.mdb"
}

validate_metadata() { # root of an installed tree
    desktop-file-validate "$1/usr/share/applications/org.marrowind.Rondexa.desktop" ||
        fail "desktop-file-validate"
    local out
    out=$(appstreamcli validate --no-net "$1/usr/share/metainfo/org.marrowind.Rondexa.metainfo.xml" 2>&1) ||
        { echo "$out" >&2; fail "appstreamcli validate"; }
    while IFS= read -r line; do [ -z "$line" ] || printf '    %s\n' "$line"; done <<<"$out"
    say "desktop-file-validate and appstreamcli validate --no-net pass"
}

if [ $system -eq 0 ]; then
    root=$scratch/root
    dpkg -x "$deb" "$root"
    say "Unpacked into a throwaway root with dpkg -x"
    for path in usr/lib/rondexa/rondexa usr/lib/rondexa/dbContacts.mdb usr/lib/rondexa/HAND-M.CUR \
        usr/lib/rondexa/rondexa.png usr/share/applications/org.marrowind.Rondexa.desktop \
        usr/share/metainfo/org.marrowind.Rondexa.metainfo.xml usr/share/man/man1/rondexa.1.gz \
        usr/share/icons/hicolor/scalable/apps/org.marrowind.Rondexa.svg \
        usr/share/icons/hicolor/256x256/apps/org.marrowind.Rondexa.png; do
        [ -f "$root/$path" ] || fail "/$path is not in the package"
    done
    [ "$(readlink "$root/usr/bin/rondexa")" = ../lib/rondexa/rondexa ] || fail "/usr/bin/rondexa is not a link to ../lib/rondexa/rondexa"
    validate_metadata "$root"
    start_offscreen "$root/usr/bin/rondexa"
    start_on_display "$root/usr/bin/rondexa" "$scratch/display-home"
    say "Done: $deb works from a throwaway root. Install it with: apt-get install ./$deb"
    exit 0
fi

# A run that fails half-way takes the package off again; a successful one
# removes it itself as its last check.
remove_on_failure() {
    local status=$?
    if [ $status -ne 0 ] && dpkg-query -W -f='${Status}' rondexa 2>/dev/null | grep -q 'install ok installed'; then
        echo "Removing the package this run installed" >&2
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -q -o DPkg::Lock::Timeout=300 rondexa >/dev/null 2>&1 || true
    fi
    rm -rf "$scratch"
}
trap remove_on_failure EXIT
say "Installing on this machine: apt-get install --reinstall ./$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=300 --reinstall "./$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get install"; }
grep -E '^(Setting up|Unpacking) ' "$scratch/apt.log" | sed 's/^/    /'
[ "$(dpkg-query -W -f='${Status}' rondexa)" = "install ok installed" ] || fail "rondexa is not installed"
[ "$(command -v rondexa)" = /usr/bin/rondexa ] || fail "rondexa is not the command /usr/bin/rondexa"
validate_metadata ""
start_offscreen rondexa
home=$scratch/display-home
start_on_display rondexa "$home"
file=$(data_file_under "$home/.local/share")
before=$(sha256sum <"$file")

say "Removing it: apt-get remove rondexa"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q -o DPkg::Lock::Timeout=300 rondexa >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get remove"; }
grep -E '^Removing ' "$scratch/apt.log" | sed 's/^/    /'
if [ -e /usr/bin/rondexa ] || [ -e /usr/lib/rondexa/rondexa ]; then
    fail "program files are left after removal"
fi
[ -f "$file" ] || fail "the contacts file went away with the package"
[ "$(sha256sum <"$file")" = "$before" ] || fail "the contacts file changed during removal"
say "Removed; the contacts file ~/.local/share/Marrowind/Rondexa/dbContacts.mdb is still there, unchanged"
