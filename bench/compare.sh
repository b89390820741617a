#!/usr/bin/env bash
# Serves the same damaged media through the FUSE test bench to salvorine-cli
# (each mode), GNU ddrescue (defaults and -n), safecopy and dd, and reports per
# tool: wall time, failed reads (counted by the bench), the failed reads paid
# before 99% of the readable bytes had been read (from the bench's trace of
# requests: the order of the work), bytes recovered and readable bytes lost
# (bytes outside the true bad areas that the copy lacks).
#
#   bench/compare.sh [MEDIA...]        media: A B C D E F G (default: all)
#
# Environment: DELAY_MS per failed read (default 20; real optical drives take
# 1 to 30 s), BAD_SECTOR (default 2048: damage spoils whole 2048-byte sectors,
# as on an optical disc; 1 makes it exact to the byte), BENCH_DIR (default
# /tmp/salvorine-compare), TOOLS (default all), BUILD_DIR (default build).
# The bench has no block device behind it, so Thorough rescues in 512-byte
# sectors unless THOROUGH_SECTOR gives --sector-size.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
delay=${DELAY_MS:-20}
work=${BENCH_DIR:-/tmp/salvorine-compare}
tools=${TOOLS:-"data speed thorough ddrescue ddrescue-n safecopy dd"}
media=${*:-"A B C D E F G"}
build=${BUILD_DIR:-build}

for tool in ddrescue safecopy; do
  command -v "$tool" >/dev/null || {
    if [[ $(id -u) -eq 0 ]]; then apt-get install -y -q gddrescue safecopy >/dev/null
    else echo "install: sudo apt-get install -y gddrescue safecopy" >&2; exit 1; fi
  }
done
# A fresh clone gets its packages and a first build; later runs only rebuild what they use.
[[ -f $build/CMakeCache.txt ]] || scripts/setup.sh >/dev/null
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target copy_check damaged_fs salvorine-cli >/dev/null
bin=$(cd "$build" && pwd)/bin
mkdir -p "$work"

KiB=1024
MiB=$((1024 * 1024))

# Writes the description of medium $1 and sets size, seed and bad (START:LENGTH list).
describe() {
  local name=$1 out=$work/$1.txt
  bad=()
  case $name in
    A)  # 50 MiB, about 20 bad areas of mixed sizes
      size=$((50 * MiB)); seed=11
      local areas=(
        $((1 * MiB + 7)):1 $((3 * MiB + 1001)):1 $((9 * MiB + 77)):1 $((40 * MiB + 3)):1
        $((5 * MiB)):2048 $((11 * MiB + 4096)):2048 $((17 * MiB)):4096 $((23 * MiB + 8192)):2048
        $((29 * MiB)):6144 $((44 * MiB + 2048)):2048
        $((7 * MiB + 333)):10000 $((21 * MiB + 12345)):10000 $((33 * MiB + 999)):10000
        $((13 * MiB)):$((64 * KiB)) $((27 * MiB + 5000)):$((64 * KiB)) $((38 * MiB)):$((64 * KiB))
        $((15 * MiB)):$((1 * MiB)) $((31 * MiB + 4096)):$((128 * KiB)) $((36 * MiB + 100)):300
        $((47 * MiB)):$((16 * KiB)))
      bad=("${areas[@]}") ;;
    B)  # a scratch: every 84 KiB, 12 bad 2 KiB sectors alternating with good ones; one solid 256 KiB area
      size=$((4608 * KiB)); seed=12
      for ((at = 20 * KiB; at + 46 * KiB < size; at += 84 * KiB)); do
        for ((k = 0; k < 12; k++)); do bad+=($((at + k * 4096)):2048); done
      done
      bad+=($((2 * MiB + 40 * KiB)):$((256 * KiB))) ;;
    C)  # healthy
      size=$((200 * MiB)); seed=13 ;;
    D)  # four 64 KiB windows where every read takes 1.5 s but succeeds
      size=$((8 * MiB)); seed=14 ;;
    E)  # 50 MiB, 16 bad areas of 1 to 512 sectors of 2 KiB
      size=$((50 * MiB)); seed=15
      local sectors=(1 1 2 2 3 4 5 6 8 10 12 16 24 32 48 512) k
      for k in "${!sectors[@]}"; do bad+=($(((2 + 3 * k) * MiB + k * 12345)):$((sectors[k] * 2048))); done ;;
    F)  # 50 MiB, a scratch: over 4.5 MiB, every 84 KiB a band of 12 bad sectors; one solid 256 KiB area
      size=$((50 * MiB)); seed=16
      for ((at = 20 * MiB; at < 20 * MiB + 4608 * KiB; at += 84 * KiB)); do bad+=($at:$((12 * 2048))); done
      bad+=($((40 * MiB)):$((256 * KiB))) ;;
    G)  # 30 MiB, 20 bad areas of 64 sectors, each with a readable island of 4 sectors
      size=$((30 * MiB)); seed=17
      local k at island
      for ((k = 0; k < 20; k++)); do
        at=$((MiB + k * 1400 * KiB)); island=$((8 + 2 * k))
        bad+=($at:$((island * 2048)) $((at + (island + 4) * 2048)):$(((60 - island) * 2048)))
      done ;;
  esac
  {
    echo "delay_bad $delay"
    echo "bad_sector ${BAD_SECTOR:-2048}"
    echo "file disc/$name.bin $size $seed"
    for range in "${bad[@]}"; do echo "bad disc/$name.bin ${range%%:*} ${range##*:}"; done
    if [[ $name == D ]]; then
      for start in $((1 * MiB + 5000)) $((3 * MiB)) $((5 * MiB + 777)) $((7 * MiB + 100000)); do
        echo "slow disc/$name.bin $start $((64 * KiB)) 1500"
      done
    fi
  } > "$out"
}

mount_medium() {
  mnt=$work/mnt; stats=$work/stats.txt
  mkdir -p "$mnt"; rm -f "$stats"
  "$bin/damaged_fs" --stats "$stats" --trace "$work/trace.txt" "$work/$1.txt" "$mnt"
}

unmount_medium() {
  fusermount3 -u "$mnt"
  for _ in $(seq 50); do [[ -s $stats ]] && break; sleep 0.1; done
}

# Leaves the tool's copy of $2 in $3 (salvorine-cli's in $work/cli-out until collect_copy).
run_tool() {
  local tool=$1 src=$2 out=$3
  case $tool in
    data|speed|thorough)
      TMPDIR=$work "$bin/salvorine-cli" --mode "$tool" ${THOROUGH_SECTOR:+--sector-size "$THOROUGH_SECTOR"} \
        "$src" "$work/cli-out" >/dev/null 2>&1 || true ;;
    ddrescue) ddrescue -q "$src" "$out" "$out.map" >/dev/null 2>&1 || true ;;
    ddrescue-n) ddrescue -q -n "$src" "$out" "$out.map" >/dev/null 2>&1 || true ;;
    safecopy) (cd "$work" && safecopy "$src" "$out" >/dev/null 2>&1) || true ;;
    dd) dd if="$src" of="$out" bs=2048 conv=noerror,sync status=none 2>/dev/null || true ;;
  esac
}

collect_copy() {
  local src=$1 out=$2
  if [[ -d $work/cli-out ]]; then mv "$work/cli-out/$(basename "$src")" "$out"; fi
}

printf '| Medium | Tool | Wall time (s) | Failed reads | Failed reads to 99%% | Bytes recovered | Readable bytes lost |\n'
printf '|---|---|---|---|---|---|---|\n'
# ROUNDS (default 1) runs the tools that many times, alternating, and reports the median wall time.
for name in $media; do
  describe "$name"
  declare -A times=() counts=()
  for ((round = 1; round <= ${ROUNDS:-1}; round++)); do
    for tool in $tools; do
      rm -rf "$work/copy.bin" "$work/copy.bin.map" "$work/cli-out"
      mount_medium "$name"
      start=$(date +%s.%N)
      run_tool "$tool" "$mnt/disc/$name.bin" "$work/copy.bin"
      end=$(date +%s.%N)
      unmount_medium
      collect_copy "$mnt/disc/$name.bin" "$work/copy.bin"
      times[$tool]+="$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}') "
      # The counts do not change from round to round.
      failed=$(awk '/failed_reads/ {print $2}' "$stats")
      read -r recovered lost to99 < <("$bin/copy_check" --trace "$work/trace.txt" "$work/copy.bin" "$size" "$seed" \
        "${BAD_SECTOR:-2048}" "${bad[@]}")
      counts[$tool]="$failed | $to99 | $recovered | $lost"
    done
  done
  for tool in $tools; do
    median=$(tr ' ' '\n' <<< "${times[$tool]}" | sed '/^$/d' | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
    printf '| %s | %s | %.1f | %s |\n' "$name" "$tool" "$median" "${counts[$tool]}"
  done
  unset times counts
done
