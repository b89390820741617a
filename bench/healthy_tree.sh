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
# Environment: BENCH_DIR (default /tmp/salvorine-healthy; put it on the disk
# to measure, e.g. an ext4 image on `losetup --direct-io=on`, so that a sync
# reaches the disk), FILES (default 20000; 150000 for the full bench) files of
# 1-8 KiB in folders of 500, BIG_MIB (default 1024; 4096 for the full bench),
# ROUNDS (default 3), CASES (default "small big"), STRACE (default 0).
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

echo "rounds: $rounds (median time, largest peak memory), in $work"
[[ " $cases " == *" small "* ]] && run_case "$files small files" "$small" "$files"
[[ " $cases " == *" big "* ]] && run_case "one $big_mib MiB file" "$big" 1
clear_output
rm -rf "$out"
