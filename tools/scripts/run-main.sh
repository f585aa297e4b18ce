#!/usr/bin/env bash
# The main job: builds DravikSetup.exe and lays out the sample game folder in a scratch
# folder, ready to run the program there.
source "$(dirname "$0")/common.sh"
cd "$DRAVIK_ROOT"
dravik_install_missing
dravik_build windows
game="$DRAVIK_ROOT/build/game"
rm -rf "$game"
cp -r "$DRAVIK_ROOT/sample/game" "$game"
cp build/windows/app/DravikSetup.exe "$game/"
if [[ -f build/windows/tools/launcher/Dravik_Launcher.exe ]]; then
    cp build/windows/tools/launcher/Dravik_Launcher.exe "$game/"
fi
echo "== the sample game folder with DravikSetup.exe: $game"
(cd "$game" && find . -type f | sort)
