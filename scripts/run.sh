#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vaultine and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/configure.sh" "$build"
cmake --build "$build"
exec "$build/app/vaultine" "$@"
