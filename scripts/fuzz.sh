#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and sanitizers in ./build-fuzz and
# runs each one briefly from its seed corpus. Fails on a crash, a hang, a
# leak or sanitizer report. FUZZ_SECONDS sets the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${KV_FUZZ_BUILD_DIR:-build-fuzz}"
seconds="${FUZZ_SECONDS:-15}"
targets=(fuzz_reply fuzz_message fuzz_decode fuzz_mime)

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV_BUILD_FUZZ=ON -DKV_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link -fno-omit-frame-pointer"
fi
cmake --build "$build" --target "${targets[@]}" --parallel 2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Real-world mail for the seeds: the ham test mail that a Debian package ships
# (the test data of a mail-threading library, installed by scripts/deps.sh;
# Apache-2.0): every multipart and base64 message of it and a share of the
# rest, with the parse flag byte that fuzz_message reads first.
mail=/usr/share/gocode/src/github.com/gatherstars-com/jwz/test/testdata/ham
seed_mail() {
  local target="$1" n=0
  [ -d "$mail" ] || return 0
  for f in "$mail"/*.eml; do
    n=$((n + 1))
    if grep -qiE "multipart|base64|uuencode" "$f" || [ $((n % 20)) -eq 0 ]; then
      if [ "$target" = fuzz_message ]; then
        { printf "\\$((n % 2))"; cat "$f"; } > "$work/$target/mail-$(basename "$f")"
      else
        cp "$f" "$work/$target/mail-$(basename "$f")"
      fi
    fi
  done
}

for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  cp tests/fuzz/corpus/"$t"/* "$work/$t"/
  seed_mail "$t"
  echo "== $t: $(ls "$work/$t" | wc -l) seeds"
  echo "== $t ($seconds s)"
  (cd "$work" && "$OLDPWD/$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -detect_leaks=1 -print_final_stats=1 "$work/$t") > "$work/$t.log" 2>&1 || {
    tail -50 "$work/$t.log"
    echo "fuzz target $t failed"
    exit 1
  }
  grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$work/$t.log" | tail -2 || true
done
echo "all fuzz targets ran clean"
