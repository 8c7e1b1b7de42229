#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vaultine and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/configure.sh" "$build"
cmake --build "$build"
if [ -x "$build/app/vaultine" ]; then
    exec "$build/app/vaultine" "$@"
fi
echo "Everything is built. The application window arrives with the application shell; until then"
echo "containers are made and opened from a shell with $build/bench/vaultbench (see README.md)."
