#!/usr/bin/env bash
# A batch as users run one: vostrel --strict --quiet --summary over 52 runs,
# with GNU parallel and with xargs -P2. Exactly the run with NA midway and
# the run whose hours go 0 to 23 fail, with status 3, and their summaries say
# why; every other run's files equal those of a run without options, and the
# console of the whole batch holds nothing but the two failures' notes.
#
#   batch_test.sh TOOL    (GNU parallel may be missing outside CI; then only
#                          the xargs batch runs)
set -euo pipefail
tool=$1
case $tool in */*) tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool") ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "batch: $*"
  exit 1
}

# January 2001, hourly, two columns that differ from run to run.
mkdir runs
for i in $(seq -w 1 52); do
  awk -v i="$i" 'BEGIN {
    print "run " i
    for (d = 1; d <= 31; d++)
      for (h = 1; h <= 24; h++)
        printf "2001 1 %d %d %.3f %d\n", d, h, (d * h * i) % 97 / 10, i
  }' > "runs/run$i.out"
done
sed -i '400s/ [0-9.]* \([0-9]*\)$/ NA \1/' runs/run17.out
awk 'NR == 1 { print; next } { $4 = $4 - 1; print }' runs/run33.out \
  > runs/hours && mv runs/hours runs/run33.out

# The reference: each run alone, without options. Every batch runs in its
# own folder, so that the files quote the same names.
cp -r runs reference
(cd reference && for f in *.out; do "$tool" "$f" > /dev/null || true; done)

check() {
  local name=$1 dir=$2
  local failed
  failed=$(cd "$dir" && grep -L '^0$' ./*.status | sort | tr '\n' ' ')
  [ "$failed" = "./run17.status ./run33.status " ] ||
    fail "$name: the runs that failed: $failed"
  grep -qx 3 "$dir/run17.status" || fail "$name: run17 did not end with 3"
  grep -qx 3 "$dir/run33.status" || fail "$name: run33 did not end with 3"
  grep -q '"stopped":{"line":400,"text":"NA"}' "$dir/run17.json" ||
    fail "$name: run17's summary does not say where it stopped"
  grep -q '"no_day_closed":true' "$dir/run33.json" ||
    fail "$name: run33's summary does not say that no day was closed"
  grep -q '"status":0' "$dir/run01.json" ||
    fail "$name: run01's summary does not say status 0"
  for f in reference/*.tut reference/*.mut; do
    case $f in */run17.* | */run33.*) continue ;; esac
    cmp -s "$f" "$dir/$(basename "$f")" || fail "$name: $(basename "$f") differs"
  done
  local console
  console=$(cat "$dir"/*.console)
  [ "$(grep -c '[a-z]' <<< "$console")" -eq 4 ] ||
    fail "$name: the console holds more than the two runs' notes: $console"
}

# Each run writes its status and console next to its files.
run_one='"$0" --strict --quiet --summary="${1%.out}.json" "$1" \
  > "${1%.out}.console"; echo $? > "${1%.out}.status"'

cp -r runs by_xargs
(cd by_xargs && printf '%s\n' *.out | xargs -P2 -n1 sh -c "$run_one" "$tool")
check "xargs -P2" by_xargs

if command -v parallel > /dev/null; then
  cp -r runs by_parallel
  (cd by_parallel &&
    parallel --will-cite -j2 sh -c "'$run_one'" "$tool" ::: *.out)
  check "GNU parallel" by_parallel
elif [ "${CI:-}" = true ]; then
  fail "GNU parallel is missing"
fi
echo "batch: 52 runs, 2 failed with status 3 as they should"
