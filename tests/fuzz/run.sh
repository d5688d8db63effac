#!/usr/bin/env bash
# Fuzzes every target for SECONDS each, one after the other:
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# Each target grows its own corpus in BUILD_DIR/fuzz/corpus/NAME, starting
# from the seeds in tests/fuzz/corpus/NAME; an input that crashes, leaks,
# trips a sanitizer, runs over 10 s or takes over 2 GB is kept in
# BUILD_DIR/fuzz/findings/. Exits 1 if any target found something.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}" && pwd)"
seconds="${2:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}"
shift 2
if [ ! -d "$build/fuzz" ]; then
  echo "fuzz: $build/fuzz does not exist: the fuzz targets are built only where clang and libFuzzer are installed" >&2
  exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in "$here"/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
findings="$build/fuzz/findings"
mkdir -p "$findings"
failed=()
for t in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$t"
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds}s"
  # The target's own output is dropped (-close_fd_mask); libFuzzer's report
  # and the sanitizers' stay on standard error, the last lines in the log.
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 \
       -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" "$here/corpus/$t" \
       >"$build/fuzz/$t.log" 2>&1; then
    failed+=("$t")
    echo "fuzz: $t FOUND a fault; see $build/fuzz/$t.log and $findings/$t-*" >&2
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$build/fuzz/$t.log" | sed 's/^/    /' || true
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: faults found by ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: nothing found in ${#targets[@]} targets"
