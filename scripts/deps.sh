# Installs the Debian packages the project builds and runs with, when any is
# missing. Sourced by scripts/run and scripts/test.
TOVIX_PACKAGES="build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
libqt6sql6-sqlite libsqlite3-dev libqt6svg6 libgl-dev libgtest-dev libgmock-dev dbus-daemon dbus-x11 sqlite3 python3"

tovix_install_deps() {
    local missing=()
    for p in $TOVIX_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
