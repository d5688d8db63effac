#!/usr/bin/env bash
# Fuzzes every target for SECONDS each, one after the other:
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# Each target grows its own corpus in BUILD_DIR/fuzz/corpus/NAME, starting
# from the seeds in tests/fuzz/corpus/NAME. The fuzzing runs in a child
# process that libFuzzer restarts after a fault, so that one fault does not
# end the search: every input that crashes, leaks, trips a sanitizer, runs
# over 10 s or takes over 2 GB is kept in BUILD_DIR/fuzz/findings/.
# Exits 1 if any target found something.
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
# The targets' scratch files (and libFuzzer's), left behind by a child that
# crashed, go in a folder of this run's own, removed at the end.
TMPDIR="$(mktemp -d "$build/fuzz/tmp.XXXXXX")"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
found=()
for t in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$t"
  mkdir -p "$corpus"
  before="$(find "$findings" -name "$t-*" | wc -l)"
  echo "fuzz: $t for ${seconds}s"
  # The target's own output is dropped (-close_fd_mask); libFuzzer's report
  # and the sanitizers' stay on standard error, in the log.
  status=0
  "$build/fuzz/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 \
      -artifact_prefix="$findings/$t-" "$corpus" "$here/corpus/$t" >"$build/fuzz/$t.log" 2>&1 || status=$?
  # libFuzzer's last progress line: executions, coverage, corpus, faults.
  grep -E '^#[0-9]+: cov:' "$build/fuzz/$t.log" | tail -n 1 | sed 's/^/    /' || true
  after="$(find "$findings" -name "$t-*" | wc -l)"
  if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    found+=("$t")
    echo "fuzz: $t FOUND $((after - before)) input(s) (exit status $status); see $build/fuzz/$t.log and $findings/$t-*" >&2
  fi
done
if [ ${#found[@]} -ne 0 ]; then
  echo "fuzz: faults found by ${found[*]}" >&2
  exit 1
fi
echo "fuzz: nothing found in ${#targets[@]} targets"
