#!/bin/sh
# Times vorl on inputs whose size or numbers used to make the analysis grow
# without end: constant loop bounds and latencies of 10^6 and 10^9, one-statement
# loops in a row, many statements in one loop. Each input is generated, run in
# a fresh folder under farm-bench (whole process, median of the runs).
#   bench/robustness.sh [BUILD-DIR] [RUNS]     (default build-release, 3)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build-release}" && pwd)
runs=${2:-3}
vorl="$build/vorl"
[ -x "$vorl" ] || { echo "robustness.sh: no vorl in $build" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# A recurrence over a constant range, with the given bound and GPU latency.
recurrence() {
  printf 'double a[10];\nint main(void)\n{\n  int i;\n#pragma resource [2][4]\n'
  printf '  for (i = 0; i < %s; i++)\n#pragma latency [1][%s]\n    a[1] = a[1] + a[0];\n  return 0;\n}\n' "$1" "$2"
}

# n one-statement loops in a row, each reading the array the previous wrote.
loops_in_a_row() {
  printf 'int N = 10;\ndouble a[%d][10];\nint main(void)\n{\n  int i;\n#pragma resource [2][4]\n' $(($1 + 1))
  k=1
  while [ $k -le "$1" ]; do
    printf '  for (i = 1; i < N; i++)\n#pragma latency [1][2]\n    a[%d][i] = a[%d][i - 1] + a[%d][i];\n' $k $k $((k - 1))
    k=$((k + 1))
  done
  printf '  return 0;\n}\n'
}

# n statements in one loop, statement k reading what statement k-1 wrote.
statements_in_one_loop() {
  printf 'int N = 10;\ndouble a[%d][10];\nint main(void)\n{\n  int i;\n#pragma resource [2][4]\n  for (i = 1; i < N; i++) {\n' $(($1 + 1))
  k=1
  while [ $k -le "$1" ]; do
    printf '#pragma latency [1][2]\n    a[%d][i] = a[%d][i - 1] + a[%d][i];\n' $k $k $((k - 1))
    k=$((k + 1))
  done
  printf '  }\n  return 0;\n}\n'
}

printf '%-26s %10s %10s %10s\n' input median_s min_s max_s
for input in bound:10 bound:1000000 bound:1000000000 latency:10 latency:1000000000 \
             row:10 row:20 row:50 loop:10 loop:30 loop:50; do
  kind=${input%:*}
  n=${input#*:}
  name="$kind-$n"
  mkdir "$work/$name"
  case $kind in
    bound) recurrence "$n" 2 ;;
    latency) recurrence 100 "$n" ;;
    row) loops_in_a_row "$n" ;;
    loop) statements_in_one_loop "$n" ;;
  esac > "$work/$name/$name.c"
  if ! (cd "$work/$name" && "$vorl" "$name.c" > /dev/null 2>&1); then
    printf '%-26s failed\n' "$name"
    continue
  fi
  farm-bench -n "$runs" --timeout 900 -- sh -c "cd '$work/$name' && exec '$vorl' '$name.c' > /dev/null 2>&1" 2>&1 |
    awk -v name="$name" '$1 == "A" && $2 == "wall" { printf "%-26s %10s %10s %10s\n", name, $5, $4, $6 }'
done
