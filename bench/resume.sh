#!/usr/bin/env bash
# Resuming, measured on the damaged-media bench (not part of the test run):
#
#  1. kill: a 100 MB file served at 50 ms per read (about 50 s); one run left
#     alone, one killed with SIGKILL after KILL_AFTER seconds (default 40) and
#     then run again. Reports the bytes each read, and whether the resumed copy
#     equals the uninterrupted one byte for byte.
#  2. retry: 50 MiB with areas that fail twice and read on the third attempt
#     (the bench's flaky directive); two runs each of salvorine-cli (Max Data
#     and Thorough) and of GNU ddrescue (defaults, then -r1 to retry the bad
#     sectors) with its mapfile. Reports bytes read, failed reads and bytes
#     still missing after each run.
#
#   bench/resume.sh [kill] [retry]      (default: both)
#
# Environment: BENCH_DIR (default /tmp/salvorine-resume), BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
work=${BENCH_DIR:-/tmp/salvorine-resume}
build=${BUILD_DIR:-build}
cases=${*:-"kill retry"}
kill_after=${KILL_AFTER:-40}

command -v ddrescue >/dev/null || {
  if [[ $(id -u) -eq 0 ]]; then apt-get install -y -q gddrescue >/dev/null
  else echo "install: sudo apt-get install -y gddrescue" >&2; exit 1; fi
}
[[ -f $build/CMakeCache.txt ]] || scripts/setup.sh >/dev/null
cmake --build "$build" --target damaged_fs salvorine-cli >/dev/null
bin=$(cd "$build" && pwd)/bin
rm -rf "$work"
mkdir -p "$work/tmp"
export TMPDIR=$work/tmp

mount_medium() {
  mnt=$work/mnt; stats=$work/stats.txt
  mkdir -p "$mnt"; rm -f "$stats"
  "$bin/damaged_fs" --stats "$stats" "$work/$1.txt" "$mnt"
}

# Prints "bytes failed_reads" of the run since the mount.
unmount_medium() {
  fusermount3 -u "$mnt"
  for _ in $(seq 50); do [[ -s $stats ]] && break; sleep 0.1; done
  awk '/^bytes/ {b = $2} /^failed_reads/ {f = $2} END {print b, f}' "$stats"
}

# Bytes of $1 that are still zero where the medium's pattern is not: what a copy lacks.
missing() { cmp -l "$1" "$2" 2>/dev/null | wc -l; }

if [[ $cases == *kill* ]]; then
  printf 'file disc/big.bin 100000000 3\nslow disc/big.bin 0 100000000 50\n' > "$work/kill.txt"
  mount_medium kill
  "$bin/salvorine-cli" "$mnt/disc" "$work/whole" >/dev/null 2>&1
  read -r whole_bytes _ < <(unmount_medium)

  mount_medium kill
  "$bin/salvorine-cli" "$mnt/disc" "$work/resumed" >/dev/null 2>&1 &
  sleep "$kill_after"
  kill -KILL $!
  wait $! 2>/dev/null || true
  read -r killed_bytes _ < <(unmount_medium)
  saved=0
  while read -r _ size status; do
    [[ $status == + ]] && saved=$((saved + size))
  done < <(grep -v '^#' "$work/resumed/.salvorine/maps/disc/big.bin.map" | tail -n +2)

  mount_medium kill
  "$bin/salvorine-cli" "$mnt/disc" "$work/resumed" >/dev/null 2>&1
  read -r resumed_bytes _ < <(unmount_medium)
  same=$(cmp -s "$work/whole/disc/big.bin" "$work/resumed/disc/big.bin" && echo yes || echo NO)
  lost=$((killed_bytes - saved))
  printf 'kill after %s s: uninterrupted %d bytes; killed run %d (of them %d in its map at the kill, %d read since the last checkpoint); resumed run %d\n' \
    "$kill_after" "$whole_bytes" "$killed_bytes" "$saved" "$lost" "$resumed_bytes"
  awk -v k="$killed_bytes" -v r="$resumed_bytes" -v w="$whole_bytes" -v l="$lost" \
    'BEGIN { printf "  killed + resumed = %.3f x uninterrupted; (killed + resumed - read since the checkpoint) = %.3f x\n", (k + r) / w, (k + r - l) / w }'
  echo "  resumed copy equals the uninterrupted one: $same"
fi

# "bytes failed_reads" so far, from the mounted bench (its counts are cumulative).
stats_now() {
  pkill -USR1 -f "damaged_fs --stats $stats"
  sleep 0.5
  awk '/^bytes/ {b = $2} /^failed_reads/ {f = $2} END {print b, f}' "$stats"
}

if [[ $cases == *retry* ]]; then
  {
    echo "file disc/flaky.bin 52428800 5"
    for start in 1048576 9437184 20971520 31457280 41943040; do
      echo "flaky disc/flaky.bin $start 65536 2"
    done
  } > "$work/retry.txt"
  # The true content, from the same file without damage.
  echo "file disc/flaky.bin 52428800 5" > "$work/clean.txt"
  mount_medium clean
  cp "$mnt/disc/flaky.bin" "$work/truth.bin"
  unmount_medium >/dev/null

  printf '%-10s %-4s %14s %13s %15s\n' tool run "bytes read" "failed reads" "bytes missing"
  for tool in data thorough ddrescue; do
    rm -rf "$work/out" "$work/ddrescue.bin" "$work/ddrescue.map"
    # One mount for both runs: the flaky areas remember how often they were read.
    mount_medium retry
    previous=(0 0)
    for run in 1 2; do
      case $tool in
        data|thorough)
          "$bin/salvorine-cli" --mode "$tool" "$mnt/disc" "$work/out" >/dev/null 2>&1 || true
          copy=$work/out/disc/flaky.bin ;;
        ddrescue)
          retry=(); [[ $run == 2 ]] && retry=(-r1)
          ddrescue -q "${retry[@]}" "$mnt/disc/flaky.bin" "$work/ddrescue.bin" "$work/ddrescue.map" >/dev/null 2>&1 || true
          copy=$work/ddrescue.bin ;;
      esac
      read -r bytes failed < <(stats_now)
      printf '%-10s %-4s %14d %13d %15d\n' "$tool" "$run" $((bytes - previous[0])) $((failed - previous[1])) \
        "$(missing "$copy" "$work/truth.bin")"
      previous=("$bytes" "$failed")
    done
    unmount_medium >/dev/null
  done
fi
