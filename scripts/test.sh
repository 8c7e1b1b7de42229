#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vaultine and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/configure.sh" "$build" -DVAULTINE_WERROR=ON
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
