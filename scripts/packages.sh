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

BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libsqlite3-dev libicu-dev libxlsxwriter-dev
    fonts-liberation)
