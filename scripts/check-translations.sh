#!/usr/bin/env bash
# Fails when a text the program shows is missing from the translation source: runs lupdate over
# the sources (the build's "update_translations" target) and compares the result with the file
# in the repository, which it puts back afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
ts="$root/resources/translations/vaultine_en.ts"
kept=$(mktemp)
cp "$ts" "$kept"
trap 'cp "$kept" "$ts"; rm -f "$kept"' EXIT
cmake --build "$build" --target update_translations >/dev/null
if ! diff -u "$kept" "$ts"; then
    echo "resources/translations/vaultine_en.ts is out of date: run 'cmake --build build --target update_translations'" >&2
    exit 1
fi
echo "translation source up to date"
