#!/bin/sh
# Times the whole pipeline of the built vorl (parse, pragmas, extraction,
# dependences, both schedules, counts, out.c) on every example and every
# PolyBench-style kernel: the median wall-clock time of several runs, one line
# per program. Each run works in a fresh scratch directory and is bounded by
# VORL_BENCH_TIMEOUT seconds (default 300); a run that does not end with
# status 0 and an out.c is reported as failed, one that exceeds the bound as
# timeout (and is not repeated).
#   bench/pipeline.sh [build-directory] [runs] [programs...]
# A Release build gives the meaningful numbers:
#   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release --target vorl
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build-release}" && pwd)
runs=${2:-5}
[ $# -ge 2 ] && shift 2 || shift $#
vorl="$build/vorl"
limit=${VORL_BENCH_TIMEOUT:-300}
[ -x "$vorl" ] || { echo "pipeline.sh: no vorl in $build" >&2; exit 1; }
case $runs in ''|*[!0-9]*|0) echo "pipeline.sh: runs must be a positive number" >&2; exit 1;; esac
case $limit in ''|*[!0-9]*|0) echo "pipeline.sh: VORL_BENCH_TIMEOUT must be a positive number" >&2; exit 1;; esac
[ $# -gt 0 ] || set -- "$top"/examples/*.c "$top"/examples/polybench/*.c

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
status=0
printf '%-26s %10s %10s %10s  %s\n' program median_ms min_ms max_ms runs
for source in "$@"; do
  name=$(basename "$source" .c)
  case $source in */polybench/*) name="polybench/$name";; esac
  times=""
  failed=""
  n=0
  while [ "$n" -lt "$runs" ] && [ -z "$failed" ]; do
    n=$((n + 1))
    dir="$work/run.$n"
    mkdir "$dir"
    cp "$source" "$dir/"
    start=$(date +%s%N)
    if (cd "$dir" && timeout "$limit" "$vorl" "$(basename "$source")" >/dev/null 2>&1); then
      end=$(date +%s%N)
      if [ -f "$dir/out.c" ]; then
        times="$times $(( (end - start) / 1000 ))"
      else
        failed=failed
      fi
    elif [ $? -eq 124 ]; then
      failed="timeout (${limit} s)"
    else
      failed=failed
    fi
    rm -rf "$dir"
  done
  if [ -n "$failed" ]; then
    printf '%-26s %10s\n' "$name" "$failed"
    status=1
    continue
  fi
  echo "$times" | tr ' ' '\n' | grep . | sort -n | awk -v name="$name" '
    { t[NR] = $1 }
    END {
      m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
      printf "%-26s %10.1f %10.1f %10.1f  %d\n", name, m / 1000, t[1] / 1000, t[NR] / 1000, NR
    }'
done
exit $status
