# Shared by the README's two commands: installs what is missing, sets up Wine.
set -euo pipefail

DRAVIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="$DRAVIK_ROOT/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# command-or-file -> Debian package providing it
dravik_install_missing() {
    local missing=()
    local pair
    for pair in \
        cmake:cmake ninja:ninja-build g++:g++ gcc:gcc clang++:clang \
        x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64 \
        wine:wine wine64:wine64 xvfb-run:xvfb xdotool:xdotool convert:imagemagick xwininfo:x11-utils \
        /usr/src/googletest/CMakeLists.txt:googletest /usr/include/benchmark/benchmark.h:libbenchmark-dev \
        /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev; do
        local what="${pair%%:*}" package="${pair##*:}"
        if [[ "$what" == /* ]]; then
            [[ -e "$what" ]] || missing+=("$package")
        else
            command -v "$what" >/dev/null 2>&1 || missing+=("$package")
        fi
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
