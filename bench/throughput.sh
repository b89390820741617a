#!/usr/bin/env bash
# Throughput and peak memory of salvorine-cli against cp -r on the same input,
# run alternately in the same session so that the ratio survives a noisy machine.
#
#   bench/throughput.sh [BUILD_BIN_DIR]      (default: build/bin)
#
# Inputs: one healthy 1 GiB file ("big"), and a tree of 20,000 files of
# 1-16 KiB in 100 folders ("small"). The working folder lies in the save
# folder, so every copy is linked into place.
# Environment: BENCH_DIR (default /tmp/salvorine-bench), ROUNDS (default 3),
# CASES (default "big small").
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
work=${BENCH_DIR:-/tmp/salvorine-bench}
rounds=${ROUNDS:-3}
cases=${CASES:-big small}
cli="$bin/salvorine-cli"
[[ -x $cli ]] || { echo "build first: $cli is missing" >&2; exit 2; }

mkdir -p "$work"
if [[ " $cases " == *" big "* && ! -f $work/big/big.bin ]]; then
  mkdir -p "$work/big"
  head -c $((1024 * 1024 * 1024)) /dev/urandom > "$work/big/big.bin"
fi
if [[ ! -d $work/small ]]; then
  mkdir -p "$work/small.tmp"
  python3 - "$work/small.tmp" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(1)
for i in range(20000):
    folder = os.path.join(root, "d%03d" % (i // 200))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.dat" % i), "wb") as f:
        f.write(os.urandom(random.randint(1, 16384)))
PY
  mv "$work/small.tmp" "$work/small"
fi

# Prints "seconds peak_kib" for one command, with its output discarded.
measure() {
  /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>"$work/stderr.txt" || { echo "failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  cat "$work/time.txt"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# run_case NAME INPUT
run_case() {
  local name=$1 input=$2
  local cp_times=() cli_times=() cli_mem=() cp_mem=()
  for ((i = 0; i < rounds; i++)); do
    rm -rf "$work/out-cp" "$work/out-cli"; sync
    read -r t m < <(measure cp -r "$input" "$work/out-cp"); cp_times+=("$t"); cp_mem+=("$m")
    rm -rf "$work/out-cp"; sync
    read -r t m < <(measure "$cli" "$input" "$work/out-cli"); cli_times+=("$t"); cli_mem+=("$m")
    cmp -s <(cd "$input" && find . -type f -exec md5sum {} + | sort) \
           <(cd "$work/out-cli/$(basename "$input")" && find . -type f -exec md5sum {} + | sort) ||
      { echo "$name: the recovered copies differ from the input" >&2; exit 1; }
  done
  local cp_t cli_t
  cp_t=$(printf '%s\n' "${cp_times[@]}" | median)
  cli_t=$(printf '%s\n' "${cli_times[@]}" | median)
  printf '%-22s cp -r %7.2f s   salvorine-cli %7.2f s   time ratio %5.2f   peak memory cp %6d KiB, salvorine-cli %6d KiB\n' \
    "$name" "$cp_t" "$cli_t" "$(awk -v a="$cli_t" -v b="$cp_t" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
    "$(printf '%s\n' "${cp_mem[@]}" | sort -n | tail -1)" "$(printf '%s\n' "${cli_mem[@]}" | sort -n | tail -1)"
}

echo "rounds: $rounds (median time, largest peak memory)"
[[ " $cases " == *" big "* ]] && run_case "1 GiB file" "$work/big"
[[ " $cases " == *" small "* ]] && run_case "20,000 small files" "$work/small"
rm -rf "$work/out-cp" "$work/out-cli"
