#!/bin/sh
# Times the whole pipeline of the built vorl (parse, pragmas, extraction,
# dependences, both schedules, counts, out.c) on every example: the median
# wall-clock time of several runs, one line per example. Each run works in a
# fresh scratch directory; a run that does not end with status 0 and an out.c
# is reported as failed.
#   bench/pipeline.sh [build-directory] [runs] [examples...]
# A Release build gives the meaningful numbers:
#   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release --target vorl
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build-release}" && pwd)
runs=${2:-5}
[ $# -ge 2 ] && shift 2 || shift $#
vorl="$build/vorl"
[ -x "$vorl" ] || { echo "pipeline.sh: no vorl in $build" >&2; exit 1; }
case $runs in ''|*[!0-9]*|0) echo "pipeline.sh: runs must be a positive number" >&2; exit 1;; esac
[ $# -gt 0 ] || set -- "$top"/examples/*.c

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
status=0
printf '%-20s %10s %10s %10s  %s\n' example median_ms min_ms max_ms runs
for source in "$@"; do
  name=$(basename "$source" .c)
  times=""
  failed=""
  n=0
  while [ "$n" -lt "$runs" ]; do
    n=$((n + 1))
    dir="$work/$name.$n"
    mkdir "$dir"
    cp "$source" "$dir/"
    start=$(date +%s%N)
    if (cd "$dir" && "$vorl" "$(basename "$source")" >/dev/null 2>&1) && [ -f "$dir/out.c" ]; then
      end=$(date +%s%N)
      times="$times $(( (end - start) / 1000 ))"
    else
      failed=yes
    fi
    rm -rf "$dir"
  done
  if [ -n "$failed" ]; then
    printf '%-20s %10s\n' "$name" failed
    status=1
    continue
  fi
  echo "$times" | tr ' ' '\n' | grep . | sort -n | awk -v name="$name" '
    { t[NR] = $1 }
    END {
      m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
      printf "%-20s %10.1f %10.1f %10.1f  %d\n", name, m / 1000, t[1] / 1000, t[NR] / 1000, NR
    }'
done
exit $status
