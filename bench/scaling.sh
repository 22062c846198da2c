#!/bin/sh
# How vorl's time grows with the size of the program: seidel-like kernels
# with 1, 2, 4, 8 and 16 statements in one two-dimensional nest under a time
# loop, and Jacobi stencils 1 to 4 loops deep (inputs written by
# bench/gen_scaling.sh). One line per input with the median, minimum and
# maximum wall-clock time of the whole vorl run; every run is bounded by a
# time limit, so that a hang shows as "timeout" (and is not repeated) instead
# of blocking the benchmark.
#   bench/scaling.sh [build-directory] [time-limit-seconds] [runs]
# Defaults: build-release, 300 s, 3 runs. A Release build gives the
# meaningful numbers.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build-release}" && pwd)
limit=${2:-300}
runs=${3:-3}
vorl="$build/vorl"
[ -x "$vorl" ] || { echo "scaling.sh: no vorl in $build" >&2; exit 1; }
case $limit in ''|*[!0-9]*|0) echo "scaling.sh: the time limit must be a positive number" >&2; exit 1;; esac
case $runs in ''|*[!0-9]*|0) echo "scaling.sh: runs must be a positive number" >&2; exit 1;; esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
printf '%-12s %10s %10s %10s  %s\n' input median_ms min_ms max_ms runs
for input in seidel:1 seidel:2 seidel:4 seidel:8 seidel:16 stencil:1 stencil:2 stencil:3 stencil:4; do
  kind=${input%:*}
  size=${input#*:}
  name="$kind-$size"
  "$top/bench/gen_scaling.sh" "$kind" "$size" > "$work/$name.c"
  times=""
  failed=""
  n=0
  while [ "$n" -lt "$runs" ] && [ -z "$failed" ]; do
    n=$((n + 1))
    dir="$work/run.$n"
    mkdir "$dir"
    cp "$work/$name.c" "$dir/"
    start=$(date +%s%N)
    if (cd "$dir" && timeout "$limit" "$vorl" "$name.c" >vorl.out 2>vorl.err); then
      end=$(date +%s%N)
      times="$times $(( (end - start) / 1000 ))"
    elif [ $? -eq 124 ]; then
      failed="timeout (${limit} s)"
    else
      failed="failed: $(cat "$dir/vorl.err" "$dir/vorl.out" | grep -v '^ *Statement #' | tail -1)"
    fi
    rm -rf "$dir"
  done
  if [ -n "$failed" ]; then
    printf '%-12s %s\n' "$name" "$failed"
    continue
  fi
  echo "$times" | tr ' ' '\n' | grep . | sort -n | awk -v name="$name" '
    { t[NR] = $1 }
    END {
      m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
      printf "%-12s %10.1f %10.1f %10.1f  %d\n", name, m / 1000, t[1] / 1000, t[NR] / 1000, NR
    }'
done
