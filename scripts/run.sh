#!/usr/bin/env bash
# Builds Quarry and starts it. Until the desktop program exists this runs the
# command-line tool on the sample page shipped in docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target qry
if [ $# -gt 0 ]; then
  exec build/tools/qry/qry "$@"
fi
build/tools/qry/qry tables docs/sample-page.html
echo
build/tools/qry/qry export docs/sample-page.html --table 1 --header -o -
