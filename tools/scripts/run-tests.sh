#!/usr/bin/env bash
# Every test: native, under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded
# code under ThreadSanitizer, the fuzzers (seed corpora and a fixed run), and the Windows
# build under Wine (with Xvfb for the windows). Fails when any fails.
source "$(dirname "$0")/common.sh"
cd "$DRAVIK_ROOT"
start=$(date +%s)
dravik_install_missing
status=0
run() { echo "== $*"; "$@" || status=1; }
took() { echo "== $1 done at $(( $(date +%s) - start )) s"; }

# The Wine prefix is made while the first build works: it mostly waits.
dravik_wine_prefix >/dev/null 2>&1 &
prefix=$!

for preset in native sanitize; do
    dravik_build "$preset"
    run ctest --preset "$preset" -j2 --no-tests=error
    took "$preset"
done

# ThreadSanitizer for the code that shares state between threads: the runs and their
# animation.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target app_tests
run ctest --preset tsan -R '^app_tests$' --no-tests=error
took tsan

dravik_build fuzz
run ctest --test-dir build/fuzz --output-on-failure -j2 --no-tests=error
took fuzz

wait "$prefix" || true
dravik_wine_prefix
dravik_build windows
# Wine's server and services start once, before the tests, with no output to inherit: a
# test that started them would keep its output open, and with it its ctest slot, until the
# server ends. Inside Xvfb, so that the services' desktop is on its display.
run xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    ctest --preset windows -j2 --no-tests=error
    status=$?
    wineserver -k
    exit $status'
echo "== screenshots of the windows (end-to-end tests): $DRAVIK_ROOT/build/windows/screenshots"
took windows

# The release, made from the build the Windows tests ran: its programs must be those very
# files (kept aside first, in case the release script rebuilt them) and its sums right.
tested=$(mktemp -d)
cp build/windows/app/DravikSetup.exe build/windows/tools/dravik-run/dravik-run.exe "$tested"
run tools/scripts/make-release.sh
run python3 tools/release/release.py check build/release "$tested"
rm -rf "$tested"
took release

wineserver -k >/dev/null 2>&1 || true
echo "== all tests took $(( $(date +%s) - start )) s"
if ((status)); then
    echo "== FAILED"
else
    echo "== all passed"
fi
exit $status
