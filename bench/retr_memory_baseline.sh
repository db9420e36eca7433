#!/usr/bin/env bash
# Builds retr_memory (this tree's bench/retr_memory.cpp) against the
# program as it was at COMMIT, in a folder of its own, and prints the path of
# the binary: the "before" of the RETR memory figures.
#
#     bench/retr_memory_baseline.sh 853f3b5
#     build/bench/retr_memory --baseline /tmp/kv-retr-base/build/bench/retr_memory
set -euo pipefail
cd "$(dirname "$0")/.."
commit="${1:?usage: retr_memory_baseline.sh COMMIT}"
root="${KV_BASELINE_DIR:-/tmp/kv-retr-base}"
rm -rf "$root"
mkdir -p "$root/src"
git archive "$commit" | tar -x -C "$root/src"
cp bench/retr_memory.cpp "$root/src/bench/"
cat >> "$root/src/bench/CMakeLists.txt" <<'CMAKE'
add_executable(retr_memory retr_memory.cpp ${CMAKE_SOURCE_DIR}/tests/support/MailServers.cpp)
target_include_directories(retr_memory PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(retr_memory PRIVATE kv_net Qt6::Network)
set_target_properties(retr_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
CMAKE
cmake -S "$root/src" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" --target retr_memory --parallel 2 >/dev/null
echo "$root/build/bench/retr_memory"
