#!/usr/bin/env bash
# Builds the program and the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) in ./build-asan and runs every test
# there, GUI tests offscreen, the real-server tests against their own
# Dovecot and aiosmtpd. Any sanitizer report fails the test that caused it.
# Leaks inside third-party libraries are suppressed in scripts/lsan.supp,
# each with the reason.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${KV_ASAN_BUILD_DIR:-build-asan}"
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
fi
cmake --build "$build" --parallel 2

export QT_QPA_PLATFORM=offscreen
export KV_REQUIRE_PEERS=1
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:quarantine_size_mb=64"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure --timeout 900 -j2
