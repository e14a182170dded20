# Sourced by run.sh and test.sh: installs the Debian packages a command needs.
# ensure_packages NAME... installs the missing ones with apt-get when run as
# root; otherwise it prints the exact apt-get line and stops.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null || apt-get update
    apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# zlib1g-dev: libxlsxwriter's pkg-config file puts -lz on the link line.
# fonts-wqy-microhei, one of the CJK fonts the Debian package recommends:
# Liberation has no ideographs or Hangul, and without such a font names in
# Chinese, Japanese and Korean show as boxes in the window and the report.
# qtkeychain-qt6-dev: the sync's password goes to the desktop's Secret Service.
BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libsqlite3-dev libicu-dev libxlsxwriter-dev zlib1g-dev
    fonts-liberation fonts-wqy-microhei qtkeychain-qt6-dev)

# GoogleTest builds the tests; unzip reads exported workbooks back, pdftotext
# (poppler-utils) reads printed reports back, the install test runs the two
# desktop validators, the report's wrapping of ideographs needs a font that
# has them (fonts-wqy-microhei, among the build's packages), and
# the stock sqlite3 command line judges what the program left in its file, and
# python3-vobject reads exported vCards back as a parser independent of ours,
# and the sync is tested against two real CardDAV servers, Radicale and
# Xandikos, started by the tests on this machine's loopback address, with
# vdirsyncer as a second, independent client of the same address book;
# openssl makes the self-signed certificate of the tests of its trust.
TEST_PACKAGES=(googletest libgtest-dev unzip poppler-utils desktop-file-utils appstream sqlite3 python3-vobject
    python3-radicale xandikos vdirsyncer openssl)

# scripts/bench.sh: Google Benchmark, and the sqlite3 command line as the
# yardstick of the whole-process figures; the sync is measured against a
# local Xandikos, with vdirsyncer's first sync as its yardstick.
BENCH_PACKAGES=(libbenchmark-dev sqlite3 vdirsyncer xandikos)

# scripts/build-deb.sh: dpkg-shlibdeps (dpkg-dev) and file compute the package's
# dependencies; xvfb and x11-utils show and find the installed program's window.
PACKAGE_PACKAGES=(dpkg-dev file xvfb x11-utils desktop-file-utils appstream)

# scripts/fuzz.sh: the libFuzzer targets build with clang and link its fuzzer
# runtime.
FUZZ_PACKAGES=(clang-14 libfuzzer-14-dev)
