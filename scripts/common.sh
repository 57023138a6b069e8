# Shared by run.sh and test.sh: installs what is missing and builds.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
RELEASE="$ROOT/build-release"

PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n papirus-icon-theme libqt6svg6 libqt6sql6-sqlite libqt6sql6-psql
    qt6-serialport-dev qt6-multimedia-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    fonts-wqy-microhei
    postgresql sqlite3
    cups poppler-utils python3-xlrd python3-openpyxl
    libxlsxwriter-dev libsodium-dev libfreexl-dev libminizip-dev python3-xlwt
    libpcsclite-dev pcscd vsmartcard-vpcd python3-virtualsmartcard python3-pycryptodome
    libx11-dev xvfb xauth xdotool
    lintian
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root or sudo to install ${missing[*]}" >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build [folder] [type]: the tests' debug build in build/ by default; the
# program a shop runs is built with optimisation (run.sh: build-release/).
build() {
    local dir=${1:-$BUILD} type=${2:-Debug}
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type"
    fi
    cmake --build "$dir" "${@:3}"
}
