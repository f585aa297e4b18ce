#!/usr/bin/env bash
# Mutation check of the portable core against the native unit tests; see README.md here.
# Usage: tools/mutation/run-mutants.sh [ids...] [--related] [--full] [--timeout S]
#        [--list] [--write-baseline]
exec python3 "$(dirname "$0")/run_mutants.py" "$@"
