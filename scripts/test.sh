#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: unit and GUI tests
# (offscreen), tests against real Dovecot and SMTP servers that the tests
# start themselves on loopback, short runs of every fuzz target, and the
# whole suite once more built with AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/asan.sh, in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
export KV_REQUIRE_PEERS=1        # a missing test server is a failure, not a skip
export QT_QPA_PLATFORM=offscreen
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh
fi
(cd "${KV_BUILD_DIR:-build}" && ctest --output-on-failure --timeout 600 -j2)
if [ -x scripts/asan.sh ]; then
  scripts/asan.sh
fi
