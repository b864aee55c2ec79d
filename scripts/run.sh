#!/usr/bin/env bash
# Builds Quarry and its control modules, registers the modules for this
# user and starts Quarry; arguments go to the program (an address to
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
cmake --build build -j "$(nproc)" --target Quarry ztregsvr KsButton KsCheck KsGroup KsStatic
# The dialogs are built from the control modules: register the build's
# ones for this user (in $ZT_REGISTRY_FILE when set).
build/tools/ztregsvr/ztregsvr /s build/common-files/Kestrane/KsButton.so build/common-files/Kestrane/KsCheck.so \
  build/common-files/Kestrane/KsGroup.so build/common-files/Kestrane/KsStatic.so ||
  echo "run.sh: the control modules could not be registered; Quarry uses standard controls" >&2
exec build/app/Quarry "$@"
