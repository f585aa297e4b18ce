# Shared by the README's two commands: installs what is missing, sets up Wine.
set -euo pipefail

DRAVIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="$DRAVIK_ROOT/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Installs the Debian packages that the build and the tests need, when any is missing.
dravik_install_missing() {
    local packages=(cmake ninja-build g++ gcc clang libclang-rt-14-dev googletest libbenchmark-dev
        g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 xvfb xauth xdotool imagemagick
        x11-utils python3)
    local missing=() package
    for package in "${packages[@]}"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "== installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

dravik_wine_prefix() {
    mkdir -p "$DRAVIK_ROOT/build"
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        echo "== creating the Wine prefix"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
}

dravik_build() { # preset
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}
