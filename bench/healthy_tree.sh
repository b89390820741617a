#!/usr/bin/env bash
# Healthy copying against cp, durable against durable: salvorine-cli, which
# syncs every copy before it counts as saved, against `cp -r` + `sync -f` for
# a tree of small files and `cp` + `sync -f` for one large file. The two run
# alternately; before each run its output is removed and synced, outside the
# timing. Prints the median wall time of each, their ratio, the largest peak
# memory (/usr/bin/time) and, with STRACE=1, system calls per file.
#
#   bench/healthy_tree.sh [BUILD_BIN_DIR]      (default: build/bin)
#
# The "damaged" case (not in the default) measures what many damaged files
# cost a Thorough run instead: for each count in DAMAGED (default "1 100
# 1000"), files of 256 KiB with two bad areas each, served by the FUSE bench
# at 1 ms per failed read; it prints the peak of open descriptors (sampled
# every 20 ms) and the peak memory (/usr/bin/time) against the one-file run.
#
# Environment: BENCH_DIR (default /tmp/salvorine-healthy; put it on the disk
# to measure, e.g. an ext4 image on `losetup --direct-io=on`, so that a sync
# reaches the disk), FILES (default 20000; 150000 for the full bench) files of
# 1-8 KiB in folders of 500, BIG_MIB (default 1024; 4096 for the full bench),
# ROUNDS (default 3), CASES (default "small big"; "damaged" too),
# DAMAGED (default "1 100 1000"), STRACE (default 0).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
work=${BENCH_DIR:-/tmp/salvorine-healthy}
files=${FILES:-20000}
big_mib=${BIG_MIB:-1024}
rounds=${ROUNDS:-3}
cases=${CASES:-small big}
cli="$bin/salvorine-cli"
[[ -x $cli ]] || { echo "build first: $cli is missing" >&2; exit 2; }

mkdir -p "$work"
small="$work/small-$files"
big="$work/big-$big_mib"
if [[ " $cases " == *" small "* && ! -d $small ]]; then
  python3 - "$small.tmp" "$files" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
random.seed(1)
for i in range(count):
    folder = os.path.join(root, "d%04d" % (i // 500))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
        f.write(random.randbytes(random.randint(1024, 8192)))
PY
  mv "$small.tmp" "$small"
fi
if [[ " $cases " == *" big "* && ! -f $big/big.bin ]]; then
  mkdir -p "$big"
  head -c $((big_mib * 1024 * 1024)) /dev/urandom > "$big/big.bin"
fi

out="$work/out"
clear_output() { rm -rf "$out"; sync -f "$work"; mkdir -p "$out"; sync -f "$work"; }

# Prints "seconds peak_kib" for one command.
measure() {
  /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { echo "failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

cp_durable() { cp -r "$1" "$out/" && sync -f "$out"; }

# run_case LABEL INPUT FILE_COUNT
run_case() {
  local label=$1 input=$2 count=$3 t m
  local cp_t=() cli_t=() cp_m=() cli_m=()
  # The sources are read from the page cache by both, as a healthy disk that was just listed would be.
  find "$input" -type f -exec cat {} + >/dev/null
  for ((i = 0; i < rounds; i++)); do
    clear_output
    read -r t m < <(measure bash -c "$(declare -f cp_durable); out='$out'; cp_durable '$input'"); cp_t+=("$t"); cp_m+=("$m")
    clear_output
    read -r t m < <(measure "$cli" "$input" "$out"); cli_t+=("$t"); cli_m+=("$m")
    cmp -s <(cd "$input" && find . -type f -exec md5sum {} + | sort) \
           <(cd "$out/$(basename "$input")" && find . -type f -exec md5sum {} + | sort) ||
      { echo "$label: the copies differ from the input" >&2; exit 1; }
  done
  local a b
  a=$(printf '%s\n' "${cp_t[@]}" | median)
  b=$(printf '%s\n' "${cli_t[@]}" | median)
  printf '%-26s cp+sync %7.2f s  salvorine-cli %7.2f s  ratio %5.2f  peak cp %7d KiB  salvorine-cli %7d KiB\n' \
    "$label" "$a" "$b" "$(awk -v a="$b" -v b="$a" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
    "$(printf '%s\n' "${cp_m[@]}" | sort -n | tail -1)" "$(printf '%s\n' "${cli_m[@]}" | sort -n | tail -1)"
  if [[ ${STRACE:-0} == 1 ]]; then
    clear_output
    strace -f -c -o "$work/strace-cp.txt" bash -c "cp -r '$input' '$out/' && sync -f '$out'"
    clear_output
    strace -f -c -o "$work/strace-cli.txt" "$cli" "$input" "$out" >/dev/null
    local calls_cp calls_cli
    calls_cp=$(awk '$NF == "total" {print $4}' "$work/strace-cp.txt")
    calls_cli=$(awk '$NF == "total" {print $4}' "$work/strace-cli.txt")
    printf '%-26s system calls per file: cp+sync %.1f  salvorine-cli %.1f\n' "$label" \
      "$(awk -v c="$calls_cp" -v n="$count" 'BEGIN { print c / n }')" \
      "$(awk -v c="$calls_cli" -v n="$count" 'BEGIN { print c / n }')"
  fi
}

# damaged_case N: peak descriptors and memory of a Thorough run over N damaged files.
damaged_case() {
  local n=$1 dir="$work/damaged-$1" most=0 count pid
  fusermount3 -u "$dir/mnt" 2>/dev/null || true
  rm -rf "$dir"; mkdir -p "$dir/mnt" "$dir/out"
  {
    echo "delay_bad 1"; echo "bad_sector 2048"
    for ((k = 1; k <= n; k++)); do
      echo "file d/f$k.bin 262144 $k"
      echo "bad d/f$k.bin $(((k * 7919 % 100) * 2048)) 2048"
      echo "bad d/f$k.bin $((131072 + (k % 50) * 2048)) 6144"
    done
  } > "$dir/desc"
  "$bin/damaged_fs" "$dir/desc" "$dir/mnt"
  /usr/bin/time -o "$dir/time.txt" -f "%e %M" "$cli" --mode thorough "$dir/mnt/d" "$dir/out" >"$dir/stdout" 2>/dev/null &
  local timed=$!
  while kill -0 "$timed" 2>/dev/null; do
    pid=$(pgrep -P "$timed" -x salvorine-cli || true)
    if [[ -n $pid && -d /proc/$pid/fd ]]; then
      count=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
      ((count > most)) && most=$count
    fi
    sleep 0.02
  done
  wait "$timed" || true  # exit status 3: damaged files, as expected
  fusermount3 -u "$dir/mnt" 2>/dev/null || umount -l "$dir/mnt"
  local seconds peak
  read -r seconds peak < <(tail -1 "$dir/time.txt")
  echo "$n $most $peak $seconds $(grep -c damaged "$dir/stdout" || true)"
}

echo "rounds: $rounds (median time, largest peak memory), in $work"
if [[ " $cases " == *" damaged "* ]]; then
  one_peak=
  for n in ${DAMAGED:-1 100 1000}; do
    read -r n most peak seconds damaged < <(damaged_case "$n")
    [[ -z $one_peak ]] && one_peak=$peak
    printf '%5d damaged files: most descriptors %3d  peak %7d KiB (%.2f x the first count)  %6.1f s  %d rows damaged\n' \
      "$n" "$most" "$peak" "$(awk -v a="$peak" -v b="$one_peak" 'BEGIN { print a / b }')" "$seconds" "$damaged"
  done
fi
[[ " $cases " == *" small "* ]] && run_case "$files small files" "$small" "$files"
[[ " $cases " == *" big "* ]] && run_case "one $big_mib MiB file" "$big" 1
clear_output
rm -rf "$out"
