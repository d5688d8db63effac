#!/usr/bin/env bash
# The benchmark behind `make bench`, in three sections:
#
#  1. Projection against the plain formulation: one projection of every
#     group of the Cornell room at N = 64, by the plain formulation on one
#     thread and by the solver's path on each of GLOWBAKE_BENCH_THREADS
#     (default "1 2"), with the speed-ups and a bit-for-bit check of the rows.
#  2. Whole runs of the Cornell room at several sizes (one pass, N = 64 and
#     any other GLOWBAKE_BENCH_RESOLUTIONS): group count, time of the
#     projection, gathering and baking phases, peak memory, form-factor bytes
#     per row, and the growth exponent of each phase between sizes; then the
#     projection's growth exponent from the second-largest to the largest
#     size (by default 2,656 to 17,920 groups).
#  3. The solve of `make demo` (N = 512, five passes).
#  4. The final gather (--gather 256) after a one-pass solve: texels, rays,
#     its seconds, rays and texels per second, its share of the run and the
#     run's peak memory; the Cornell room at -t 64 and -t 256, and the
#     furnished room of scenes/room at about a million texels.
#  5. Form factors by rays (--form-factors rays:256): the per-element error
#     of rays at R = 64, 256 and 1024 against the hemicube's extrapolation
#     2 B(1024) - B(512) on the Cornell room; then one pass of generated
#     rooms of 17,000, 100,000 and 250,000 triangles (a finely divided ball),
#     the projection's time and the run's peak memory, the growth exponent
#     from the smallest to the largest, and the hemicube at N = 64 on the
#     smallest for comparison (GLOWBAKE_BENCH_RAY_SIZES picks other sizes).
#  6. Spread over MPI processes (when mpirun is there): one pass of the
#     Cornell room at 2,656 groups by hemicube (N = 64) and of the generated
#     room of 17,000 triangles by rays:256, on 1 process x 1 thread and on
#     2 processes x 1 thread: the projection's time and speed-up, the bytes
#     sent to process 0 in the pass, a check that the scene files are the
#     same bytes, and a cost model from those figures (projection seconds
#     a group on one core, row bytes a group, sweep seconds) predicting one
#     pass of 50,000 groups on 8 and on 64 machines of GLOWBAKE_BENCH_CORES
#     cores (default 16) joined at GLOWBAKE_BENCH_GBITS Gbit/s (default 10).
#
#   bench/run.sh BUILD_DIR [BASELINE_GLOWBAKE]
#
# With a second argument (another Glowbake binary, for instance one built
# from an older commit) sections 2 and 3 are also run with it, side by side.
# Sections 2 and 3 honour OMP_NUM_THREADS (default: all cores). The largest
# size takes minutes; GLOWBAKE_BENCH_AREAS picks other sizes, and
# GLOWBAKE_BENCH_SECTIONS (default "1 2 3 4 5") a subset of the sections.
set -euo pipefail
BUILD="${1:-build}"
BASELINE="${2:-}"
HERE="$(cd "$(dirname "$0")/.." && pwd)"
MODEL="$HERE/scenes/cornell.mdl"
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT
TIMER="$BUILD/bench/GlowbakePhaseTimer"
ROWSTATS="$BUILD/bench/GlowbakeRowStats"
PROJECTION="$BUILD/bench/GlowbakeProjectionBench"
SOLVER="$BUILD/solver/Glowbake"
# Maximum patch areas: 664, 760 and 1096 groups against the plain formulation;
# 274, 1096, 2656 and 17920 groups for the whole runs.
PLAIN_AREAS="${GLOWBAKE_BENCH_PLAIN_AREAS:-7 4 2.5}"
AREAS="${GLOWBAKE_BENCH_AREAS:-8 2.5 1.5 0.12}"
RESOLUTIONS="${GLOWBAKE_BENCH_RESOLUTIONS:-64}"
THREADS="${GLOWBAKE_BENCH_THREADS:-1 2}"
SECTIONS="${GLOWBAKE_BENCH_SECTIONS:-1 2 3 4 5 6}"

for program in "$TIMER" "$ROWSTATS" "$PROJECTION" "$SOLVER" "$BUILD/tools/GlowbakeHemicube"; do
  if [ ! -x "$program" ]; then
    echo "bench: $program is missing; build first (make build)" >&2
    exit 1
  fi
done
for n in 64 512 1024 $RESOLUTIONS; do
  [ -f "$OUT/h$n.hc" ] || "$BUILD/tools/GlowbakeHemicube" "$n" "$OUT/h$n.hc" >/dev/null
done

field() { echo "$1" | tr ' ' '\n' | awk -F= -v k="$2" '$1 == k {print $2}'; }

growth() {  # log(t2/t1) / log(g2/g1)
  awk -v t1="$1" -v t2="$2" -v g1="$3" -v g2="$4" \
    'BEGIN { if (t1 > 0 && t2 > 0 && g2 != g1) printf "%.2f", log(t2 / t1) / log(g2 / g1); else printf "-" }'
}

section() { case " $SECTIONS " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }

if section 1; then
  echo "1. Projection of every group once, Cornell room, N = 64, -w 2: plain formulation (1 thread) against"
  echo "   the solver's path on ${THREADS// /, } thread(s); seconds of wall time"
  echo "   (cpu: processor seconds of all threads, steadier than wall time on a busy machine)"
  header="$(printf "%7s %9s %9s" groups plain plain_cpu)"
  for t in $THREADS; do header="$header$(printf " %9s %9s %10s" "fast_$t" "fast_${t}_cpu" "speedup_$t")"; done
  printf "%s %9s %9s\n" "$header" identical bytes/row
  for a in $PLAIN_AREAS; do
    # shellcheck disable=SC2086
    r="$("$PROJECTION" "$MODEL" "$OUT/h64.hc" 2 "$a" 1 $THREADS)" || { echo "$r"; echo "bench: rows differ" >&2; exit 1; }
    row="$(printf "%7s %9s %9s" "$(field "$r" groups)" "$(field "$r" plain_s)" "$(field "$r" plain_cpu)")"
    for t in $THREADS; do
      row="$row$(printf " %9s %9s %10s" "$(field "$r" "fast${t}_s")" "$(field "$r" "fast${t}_cpu")" "$(field "$r" "speedup$t")")"
    done
    printf "%s %9s %9s\n" "$row" "$(field "$r" identical)" "$(field "$r" bytes_per_row)"
  done
  echo
fi

run_case() {  # label binary n area
  "$TIMER" -- "$2" -m "$MODEL" -h "$OUT/h$3.hc" -w 2 -a "$4" -i 0.01 -s 100 -t 64 -o "$OUT/$1.out"
}

if section 2; then
  echo "2. Whole runs, Cornell room, -w 2 -i 0.01 -s 100 (one pass) -t 64, threads: ${OMP_NUM_THREADS:-all}"
  for n in $RESOLUTIONS; do
    echo
    echo "hemicube $n"
    printf "%-9s %7s %10s %10s %9s %9s %9s  %9s  %s\n" binary groups projection gathering baking total peak_MiB bytes/row "growth (proj gath bake)"
    for label in optimised ${BASELINE:+baseline}; do
      bin="$SOLVER"; [ "$label" = baseline ] && bin="$BASELINE"
      prev=""; last=""
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
          last="$(growth "$pp" "$p" "$pg" "$g") from $pg to $g groups"
        fi
        printf "%-9s %7s %10s %10s %9s %9s %9s  %9s  %s\n" "$label" "$g" "$p" "$ga" "$b" "$t" "$m" "$bpr" "$gr"
        prev="$g $p $ga $b"
      done
      [ -n "$last" ] && echo "$label: projection growth exponent $last"
    done
  done
  echo
fi

if section 3; then
  echo "3. The make demo solve: Cornell room, N = 512, -w 1 -a 4 -i 0.005 -s 0.05 -g 0.3 -t 256, threads: ${OMP_NUM_THREADS:-all}"
  printf "%-9s %7s %7s %10s %10s %9s %9s %9s\n" binary passes groups projection gathering baking total peak_MiB
  for label in optimised ${BASELINE:+baseline}; do
    bin="$SOLVER"; [ "$label" = baseline ] && bin="$BASELINE"
    r="$("$TIMER" -- "$bin" -m "$MODEL" -h "$OUT/h512.hc" -w 1 -a 4 -i 0.005 -s 0.05 -g 0.3 -t 256 -o "$OUT/demo-$label.out")"
    printf "%-9s %7s %7s %10s %10s %9s %9s %9s\n" "$label" "$(field "$r" passes)" "$(field "$r" groups)" \
      "$(field "$r" projection)" "$(field "$r" gathering)" "$(field "$r" baking)" "$(field "$r" total)" "$(field "$r" peak_mib)"
  done
  if [ -n "$BASELINE" ]; then
    cmp -s "$OUT/demo-optimised.out" "$OUT/demo-baseline.out" && echo "scene files identical" || echo "scene files DIFFER"
  fi
fi

if section 4; then
  echo
  echo "4. Final gather, --gather 256, after one pass at N = 64 (-i 0.01 -s 1e9), threads: ${OMP_NUM_THREADS:-all}"
  printf "%-24s %9s %11s %9s %9s %10s %7s %9s\n" scene texels rays gather_s Mrays/s ktexels/s share peak_MiB
  gather_case() {  # label model area texture
    local r line texels rays secs total
    r="$("$TIMER" -- "$SOLVER" -m "$2" -h "$OUT/h64.hc" -w 0.01 -a "$3" -i 0.01 -s 1e9 -t "$4" --gather 256 \
          -o "$OUT/gather.out" 2>"$OUT/gather.err")"
    line="$(grep 'final gather:' "$OUT/gather.err")"
    texels="$(echo "$line" | awk '{print $4}')"; rays="$(echo "$line" | awk '{print $6}')"
    secs="$(echo "$line" | awk '{print $9}')"; total="$(field "$r" total)"
    printf "%-24s %9s %11s %9s %9s %10s %7s %9s\n" "$1" "$texels" "$rays" "$secs" \
      "$(awk -v r="$rays" -v s="$secs" 'BEGIN { printf "%.2f", r / s / 1e6 }')" \
      "$(awk -v t="$texels" -v s="$secs" 'BEGIN { printf "%.1f", t / s / 1e3 }')" \
      "$(awk -v g="$secs" -v t="$total" 'BEGIN { printf "%.0f%%", 100 * g / t }')" "$(field "$r" peak_mib)"
  }
  gather_case "cornell -a 8 -t 64" "$MODEL" 8 64
  gather_case "cornell -a 8 -t 256" "$MODEL" 8 256
  room="$HERE/scenes/room/room.glb"
  if [ -f "$room" ]; then
    gather_case "room.glb -a 0.05 -t 245" "$room" 0.05 245
  fi
fi

if section 5; then
  echo
  echo "5. Form factors by rays"
  echo "   per element against the hemicube's 2 B(1024) - B(512), Cornell room, -a 16, one pass:"
  "$BUILD/bench/GlowbakeRayAccuracy" "$MODEL" "$OUT/h512.hc" "$OUT/h1024.hc" 1 16 64 256 1024 | sed 's/^/   /'
  echo "   one pass of a generated room in millimetres (-w 10 -a 1e8 -s 1e9 -t 16), threads: ${OMP_NUM_THREADS:-all}"
  printf "   %-22s %9s %9s %11s %9s\n" rows triangles groups projection peak_MiB
  first=""; last=""
  for size in ${GLOWBAKE_BENCH_RAY_SIZES:-17000 100000 250000}; do
    "$BUILD/bench/GlowbakeSceneGenerator" "$size" "$OUT/ball$size.mdl"
    r="$("$TIMER" -- "$SOLVER" -m "$OUT/ball$size.mdl" -h "$OUT/h64.hc" -w 10 -a 1e8 -i 0.01 -s 1e9 -t 16 \
          --form-factors rays:256 -o "$OUT/ball.out" 2>/dev/null)"
    tris="$(head -n1 "$OUT/ball$size.mdl")"; g="$(field "$r" groups)"; p="$(field "$r" projection)"
    printf "   %-22s %9s %9s %11s %9s\n" "rays:256" "$tris" "$g" "$p" "$(field "$r" peak_mib)"
    [ -z "$first" ] && first="$g $p"
    last="$g $p"
  done
  read -r g1 p1 <<<"$first"; read -r g2 p2 <<<"$last"
  [ "$g1" != "$g2" ] && echo "   rays:256 projection growth exponent $(growth "$p1" "$p2" "$g1" "$g2") from $g1 to $g2 groups"
  small="${GLOWBAKE_BENCH_RAY_SIZES:-17000}"; small="${small%% *}"
  r="$("$TIMER" -- "$SOLVER" -m "$OUT/ball$small.mdl" -h "$OUT/h64.hc" -w 10 -a 1e8 -i 0.01 -s 1e9 -t 16 \
        -o "$OUT/ball.out" 2>/dev/null)"
  printf "   %-22s %9s %9s %11s %9s\n" "hemicube N = 64" "$(head -n1 "$OUT/ball$small.mdl")" "$(field "$r" groups)" \
    "$(field "$r" projection)" "$(field "$r" peak_mib)"
fi

if section 6; then
  echo
  echo "6. Spread over MPI processes"
  if ! command -v mpirun >/dev/null; then
    echo "   mpirun is missing (scripts/install-deps.sh installs Open MPI)"
  else
    # mpirun refuses to start as root unless told it may.
    export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
    cores="${GLOWBAKE_BENCH_CORES:-16}"; gbits="${GLOWBAKE_BENCH_GBITS:-10}"
    [ -f "$OUT/ball17000.mdl" ] || "$BUILD/bench/GlowbakeSceneGenerator" 17000 "$OUT/ball17000.mdl"
    printf "   %-10s %7s %13s %13s %8s %10s %9s\n" rows groups "1x1 proj s" "2x1 proj s" speedup "MiB/pass" same
    spread_case() {  # spread_case NAME ARGS...
      local name="$1" one two bytes g p1 p2 s1
      shift
      one="$("$TIMER" -- mpirun -np 1 -x OMP_NUM_THREADS=1 --bind-to none "$SOLVER" "$@" -o "$OUT/s1.out" 2>"$OUT/s1.err")"
      two="$("$TIMER" -- mpirun -np 2 -x OMP_NUM_THREADS=1 --bind-to none "$SOLVER" "$@" -o "$OUT/s2.out" 2>"$OUT/s2.err")"
      bytes="$(sed -n 's/.*MiB sent per pass: \([0-9.]*\).*/\1/p' "$OUT/s2.err")"
      g="$(field "$one" groups)"; p1="$(field "$one" projection)"; p2="$(field "$two" projection)"
      s1="$(field "$one" gathering)"
      printf "   %-10s %7s %13s %13s %8s %10s %9s\n" "$name" "$g" "$p1" "$p2" \
        "$(awk -v a="$p1" -v b="$p2" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')" "$bytes" \
        "$(cmp -s "$OUT/s1.out" "$OUT/s2.out" && echo yes || echo NO)"
      # The model: projection t a group on one core; the rows' bytes a
      # group (process 1 sent half the groups); sweeps on process 0, their
      # time in proportion to the bytes of rows. A hemicube view draws every
      # group, so its time grows with the group count, and so does its row
      # until it holds an entry for every pixel (4 x 3 N^2 entries of 8
      # bytes a group at N = 64); a ray row does not grow.
      awk -v name="$name" -v g="$g" -v p1="$p1" -v mib="$bytes" -v sweep="$s1" -v cores="$cores" -v gbits="$gbits" '
        BEGIN {
          t = p1 / g; b = mib * 1048576 / (g / 2); G = 50000
          grow = (name == "hemicube") ? G / g : 1
          tg = t * grow; bg = b * grow
          if (name == "hemicube" && bg > 4 * 3 * 64 * 64 * 8) bg = 4 * 3 * 64 * 64 * 8
          sw = sweep * (G * bg) / (g * b)
          rate = gbits * 1e9 / 8
          printf "      model: %.5f s a group on one core, %.0f bytes of rows a group, sweeps %.2f s here; at 50,000 groups %.4f s and %.0f bytes\n", t, b, sweep, tg, bg
          for (i = 1; i <= 2; i++) {
            m = (i == 1) ? 8 : 64
            proj = G * tg / (m * cores); net = (m - 1) / m * G * bg / rate
            printf "      50,000 groups on %2d machines x %d cores: projection %.1f s + rows to process 0 %.1f s + sweeps %.1f s = %.1f s\n", m, cores, proj, net, sw, proj + net + sw
          }
        }'
    }
    spread_case hemicube -m "$MODEL" -h "$OUT/h64.hc" -w 1 -a 1.5 -i 0.005 -s 1e9 -g 0.3 -t 16
    spread_case rays:256 -m "$OUT/ball17000.mdl" -h "$OUT/h64.hc" -w 10 -a 1e8 -i 0.01 -s 1e9 -t 16 --form-factors rays:256
  fi
fi
