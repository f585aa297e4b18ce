#!/usr/bin/env bash
# The players' download: build/release/DravikSetup-<version>.zip with DravikSetup.exe,
# dravik-run.exe, a read-me for each and their SHA-256 sums. The version is the one the
# version resource of DravikSetup.exe carries. Builds only the two programs, and only what is
# out of date.
source "$(dirname "$0")/common.sh"
cd "$DRAVIK_ROOT"
dravik_install_missing
cmake --preset windows >/dev/null
cmake --build --preset windows --target DravikSetup dravik-run
# The archive's times are the last commit's: the same tree gives the same archive.
date=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
python3 tools/release/release.py pack --date "$date" build/release \
    build/windows/app/DravikSetup.exe build/windows/tools/dravik-run/dravik-run.exe
