#!/usr/bin/env bash
# The main job: builds DravikSetup.exe, lays out a scratch copy of the sample game folder
# (with the launcher stand-in as Dravik_Launcher.exe) and runs the program there under Wine:
#  - with $DISPLAY set, in a window on that display, until the user closes it;
#  - without a display, under Xvfb as a short scripted walk-through that saves screenshots
#    and prints what changed in the game folder.
source "$(dirname "$0")/common.sh"
cd "$DRAVIK_ROOT"
dravik_install_missing
# Only what the main job runs: the program, the launcher stand-in and the walk-through.
cmake --preset windows >/dev/null
cmake --build --preset windows --target DravikSetup Dravik_Launcher walk_through
game="$DRAVIK_ROOT/build/game"
rm -rf "$game"
cp -r "$DRAVIK_ROOT/sample/game" "$game"
cp build/windows/app/DravikSetup.exe "$game/"
cp build/windows/tools/launcher/Dravik_Launcher.exe "$game/"
echo "== the sample game folder with DravikSetup.exe: $game"
(cd "$game" && find . -type f | sort)

# Every file of the game folder with a checksum, to tell what the program changed.
fingerprint() { (cd "$game" && find . -type f -print0 | sort -z | xargs -0 md5sum); }

if [[ -n "${DISPLAY:-}" ]]; then
    dravik_wine_prefix
    echo "== starting DravikSetup.exe on $DISPLAY (close its window to end)"
    (cd "$game" && wine DravikSetup.exe)
    exit 0
fi

shots="$DRAVIK_ROOT/build/main-screenshots"
rm -rf "$shots"
before="$(mktemp)"
after="$(mktemp)"
trap 'rm -f "$before" "$after"' EXIT
fingerprint >"$before"
echo "== no display: a scripted walk-through under Xvfb"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    source tools/scripts/common.sh
    dravik_wine_prefix
    status=0
    wine build/windows/tools/e2e/walk_through.exe build/windows/app/DravikSetup.exe "$1" "$2" || status=$?
    wineserver -k >/dev/null 2>&1 || true
    exit $status' walk "$game" "$shots" || status=$?
fingerprint >"$after"
echo "== what changed in the game folder"
join -1 2 -2 2 -a 1 -a 2 -e '-' -o 0,1.1,2.1 <(sort -k2 "$before") <(sort -k2 "$after") |
    awk '$2 == "-" { print "added:   " $1; next }
         $3 == "-" { print "removed: " $1; next }
         $2 != $3  { print "changed: " $1 }'
echo "== screenshots: $shots"
ls "$shots"
exit $status
