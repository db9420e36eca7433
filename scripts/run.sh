#!/usr/bin/env bash
# Sets up, builds and starts Korvalinthus. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec "${KV_BUILD_DIR:-build}/bin/korvalinthus" "$@"
