#!/usr/bin/env bash
# Fails when a C++ source differs from the project's format (.clang-format, Debian's clang-format 14).
# With --fix, formats them instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
format=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files '*.cpp' '*.h' ':!:tests/data/**')
if [ "${1:-}" = "--fix" ]; then
    "$format" -i "${files[@]}"
else
    "$format" --dry-run --Werror "${files[@]}"
fi
