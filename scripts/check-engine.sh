#!/usr/bin/env bash
# Builds the engine's tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them,
# runs the container's tests once more under ThreadSanitizer (its workers), then fuzzes the container
# reader for a minute (clang's libFuzzer).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

asan="$root/build-asan"
"$root/scripts/configure.sh" "$asan" -DVAULTINE_ENGINE_ONLY=ON -DVAULTINE_SANITIZE=ON -DVAULTINE_WERROR=ON
cmake --build "$asan"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs" -L engine)

tsan="$root/build-tsan"
"$root/scripts/configure.sh" "$tsan" -DVAULTINE_ENGINE_ONLY=ON -DVAULTINE_TSAN=ON -DVAULTINE_WERROR=ON
cmake --build "$tsan"
(cd "$tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp" \
    ctest --output-on-failure -j "$jobs" -L engine -R 'tst_archive|tst_containerbytes|tst_treeadder')

fuzz="$root/build-fuzz"
if [ -f "$root/tests/fuzz/fuzz_container.cpp" ]; then
    CC=clang-14 CXX=clang++-14 "$root/scripts/configure.sh" "$fuzz" -DVAULTINE_ENGINE_ONLY=ON -DVAULTINE_FUZZ=ON
    cmake --build "$fuzz" --target fuzz_container fuzz_seeds
    corpus=$(mktemp -d)
    "$fuzz/tests/fuzz/fuzz_seeds" "$corpus"
    "$fuzz/tests/fuzz/fuzz_container" -max_total_time=60 -max_len=65536 -rss_limit_mb=2048 -timeout=10 "$corpus"
fi
