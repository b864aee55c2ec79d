#!/usr/bin/env bash
# Builds Quarry and starts it; arguments go to the program (an address to
# open). "scripts/run.sh qry ARGS..." builds and runs the command-line tool
# instead (without arguments: on the sample page shipped in docs/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "${1:-}" = qry ]; then
  shift
  cmake --build build -j "$(nproc)" --target qry
  if [ $# -eq 0 ]; then
    set -- tables docs/sample-page.html
  fi
  exec build/tools/qry/qry "$@"
fi
cmake --build build -j "$(nproc)" --target Quarry
exec build/app/Quarry "$@"
