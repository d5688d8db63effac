#!/usr/bin/env bash
# Whole-run benchmark: solves the Cornell room at four sizes with a 64 and a
# 128 hemicube and reports, per size, the group count, the time of the
# projection, gathering and baking phases, the peak memory, the form-factor
# bytes per row, and the growth exponent of each phase between sizes.
#
#   bench/run.sh BUILD_DIR [BASELINE_GLOWBAKE]
#
# With a second argument (another Glowbake binary, for instance one built
# from an older commit) every case is also run with it, side by side.
# OMP_NUM_THREADS is honoured (default: all cores).
set -euo pipefail
BUILD="${1:-build}"
BASELINE="${2:-}"
HERE="$(cd "$(dirname "$0")/.." && pwd)"
MODEL="$HERE/scenes/cornell.mdl"
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT
TIMER="$BUILD/bench/GlowbakePhaseTimer"
ROWSTATS="$BUILD/bench/GlowbakeRowStats"
SOLVER="$BUILD/solver/Glowbake"
# Maximum patch areas that give about 250, 500, 1000 and 2000 groups.
AREAS="${GLOWBAKE_BENCH_AREAS:-8 7 2.5 1.5}"
RESOLUTIONS="${GLOWBAKE_BENCH_RESOLUTIONS:-64 128}"

for n in $RESOLUTIONS; do
  "$BUILD/tools/GlowbakeHemicube" "$n" "$OUT/h$n.hc" >/dev/null
done

field() { echo "$1" | tr ' ' '\n' | awk -F= -v k="$2" '$1 == k {print $2}'; }

growth() {  # log(t2/t1) / log(g2/g1)
  awk -v t1="$1" -v t2="$2" -v g1="$3" -v g2="$4" \
    'BEGIN { if (t1 > 0 && t2 > 0 && g2 != g1) printf "%.2f", log(t2 / t1) / log(g2 / g1); else printf "-" }'
}

run_case() {  # label binary n area
  "$TIMER" -- "$2" -m "$MODEL" -h "$OUT/h$3.hc" -w 2 -a "$4" -i 0.01 -s 100 -t 64 -o "$OUT/$1.out"
}

echo "Cornell room, -w 2 -i 0.01 -s 100 (one pass) -t 64, threads: ${OMP_NUM_THREADS:-all}"
for n in $RESOLUTIONS; do
  echo
  echo "hemicube $n"
  printf "%-9s %7s %10s %10s %9s %9s %9s  %12s  %s\n" binary groups projection gathering baking total peak_MiB bytes/row "growth (proj gath bake)"
  for label in optimised ${BASELINE:+baseline}; do
    bin="$SOLVER"; [ "$label" = baseline ] && bin="$BASELINE"
    prev=""
    for a in $AREAS; do
      r="$(run_case "$label" "$bin" "$n" "$a")"
      g="$(field "$r" groups)"; p="$(field "$r" projection)"; ga="$(field "$r" gathering)"
      b="$(field "$r" baking)"; t="$(field "$r" total)"; m="$(field "$r" peak_mib)"
      bpr="-"
      if [ "$label" = optimised ]; then
        bpr="$(field "$("$ROWSTATS" "$MODEL" "$OUT/h$n.hc" 2 "$a")" bytes_per_row)"
      fi
      gr="-"
      if [ -n "$prev" ]; then
        read -r pg pp pga pb <<<"$prev"
        gr="$(growth "$pp" "$p" "$pg" "$g") $(growth "$pga" "$ga" "$pg" "$g") $(growth "$pb" "$b" "$pg" "$g")"
      fi
      printf "%-9s %7s %10s %10s %9s %9s %9s  %12s  %s\n" "$label" "$g" "$p" "$ga" "$b" "$t" "$m" "$bpr" "$gr"
      prev="$g $p $ga $b"
    done
  done
done
