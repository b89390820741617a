#!/usr/bin/env bash
# A run through the main window against salvorine-cli on the same input,
# alternating, so that the ratio survives a noisy machine. The window runs
# offscreen, and on a real X server (Xvfb) with a window manager (openbox)
# where both are installed.
#
#   bench/window_speed.sh [BUILD_BIN_DIR]     (default: build/bin)
#
# Build first: cmake --build BUILD --target salvorine-cli window_run
# Inputs: 2,000, 6,000 and 20,000 files of 1-16 KiB, and one 1 GiB file, in
# BENCH_DIR; fuse6k is 6,000 such files served by the FUSE bench (damaged_fs,
# no damage), a file system that refuses non-blocking reads.
# Environment: BENCH_DIR (default /tmp/salvorine-bench), ROUNDS (default 5),
# CASES (default "small2k small6k small big"; fuse6k on request), SCREENS
# (default "offscreen xvfb": where the window is shown).
#
# The page cache is warmed by one untimed run of each; the previous output is
# removed and its file system synced before each timed run, outside the
# timing, so that no run pays for the one before it.
# Two figures for the window: the run alone (click on Recover to its return,
# timed inside window_run) and the whole process (start-up and window
# creation included). salvorine-cli is timed as a whole process.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
work=${BENCH_DIR:-/tmp/salvorine-bench}
rounds=${ROUNDS:-5}
cli="$bin/salvorine-cli"
window="$bin/window_run"
fuse="$bin/damaged_fs"
for program in "$cli" "$window" $([[ ${CASES:-} == *fuse6k* ]] && echo "$fuse"); do
  [[ -x $program ]] || { echo "build first: $program is missing" >&2; exit 2; }
done

mkdir -p "$work/program/Language"
cp Language/*.ini "$work/program/Language/"

make_small() {
  local count=$1 dir=$2
  [[ -d $dir ]] && return
  python3 - "$dir.tmp" "$count" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
random.seed(1)
for i in range(count):
    folder = os.path.join(root, "d%03d" % (i // 200))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.dat" % i), "wb") as f:
        f.write(os.urandom(random.randint(1, 16384)))
PY
  mv "$dir.tmp" "$dir"
}
cases=${CASES:-small2k small6k small big}
[[ $cases == *small2k* ]] && make_small 2000 "$work/small2k"
[[ $cases == *small6k* ]] && make_small 6000 "$work/small6k"
[[ $cases =~ small( |$) ]] && make_small 20000 "$work/small"
fuse_mount="$work/fuse6k-mnt"
if [[ $cases == *fuse6k* ]]; then
  fusermount3 -u "$fuse_mount" 2>/dev/null || true
  mkdir -p "$fuse_mount"
  awk 'BEGIN { srand(1); for (i = 0; i < 6000; i++)
    printf "file d%03d/f%05d.dat %d %d\n", i / 200, i, 1 + int(rand() * 16384), i + 1 }' > "$work/fuse6k.txt"
  "$fuse" "$work/fuse6k.txt" "$fuse_mount"
fi
if [[ $cases == *big* && ! -f $work/big/big.bin ]]; then
  mkdir -p "$work/big"
  head -c $((1024 * 1024 * 1024)) /dev/urandom > "$work/big/big.bin"
fi

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

run_cli() { "$cli" "$1" "$work/out-cli" >/dev/null 2>"$work/stderr.txt" || { tail -3 "$work/stderr.txt" >&2; false; }; }
run_window() { "$window" "$1" "$work/out-window" "$work/program" 2>"$work/stderr.txt" || { tail -3 "$work/stderr.txt" >&2; false; }; }

run_case() {
  local name=$1 input=$2
  local cli_times=() window_runs=() window_wholes=()
  rm -rf "$work/out-cli" "$work/out-window"
  run_cli "$input"; run_window "$input" >/dev/null  # warm the page cache
  # Which one goes first alternates: a run right after many files were deleted
  # pays for it (ext4 avoids reusing recently freed inodes).
  for ((i = 0; i < rounds; i++)); do
    for who in $( ((i % 2 == 0)) && echo "cli window" || echo "window cli"); do
      local start end inside
      if [[ $who == cli ]]; then
        rm -rf "$work/out-cli"; sync -f "$work"
        start=$(now); run_cli "$input" || { echo "$name: salvorine-cli failed" >&2; exit 1; }; end=$(now)
        cli_times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
      else
        rm -rf "$work/out-window"; sync -f "$work"
        start=$(now); inside=$(run_window "$input") || { echo "$name: window_run failed" >&2; exit 1; }; end=$(now)
        window_runs+=("$inside")
        window_wholes+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
      fi
    done
  done
  diff -rq --exclude=.salvorine "$work/out-cli" "$work/out-window" >/dev/null ||
    { echo "$name: the window and salvorine-cli saved different files" >&2; exit 1; }
  local c r w
  c=$(printf '%s\n' "${cli_times[@]}" | median)
  r=$(printf '%s\n' "${window_runs[@]}" | median)
  w=$(printf '%s\n' "${window_wholes[@]}" | median)
  printf '%-20s salvorine-cli %7.2f s   window run %7.2f s (ratio %4.2f)   window process %7.2f s (ratio %4.2f)\n' \
    "$name" "$c" "$r" "$(awk -v a="$r" -v b="$c" 'BEGIN { print a / b }')" \
    "$w" "$(awk -v a="$w" -v b="$c" 'BEGIN { print a / b }')"
}

# An X server of its own with openbox managing the windows, as on a desktop.
xvfb_pid= wm_pid=
stop_xvfb() {
  local pid
  for pid in $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wm_pid= xvfb_pid=
}
trap 'stop_xvfb; fusermount3 -u "$fuse_mount" 2>/dev/null || true' EXIT
start_xvfb() {
  # A display number no other X server holds.
  local number=90
  while [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]]; do number=$((number + 1)); done
  local display=:$number
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb_pid=$!
  for ((i = 0; i < 100; i++)); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=$display openbox --sm-disable >/dev/null 2>&1 & wm_pid=$!
  for ((i = 0; i < 100; i++)); do DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
  export DISPLAY=$display QT_QPA_PLATFORM=xcb
}

echo "rounds: $rounds (median)"
for screen in ${SCREENS:-offscreen xvfb}; do
  if [[ $screen == xvfb ]]; then
    if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
      echo "xvfb: Xvfb or openbox is not installed; skipped" >&2
      continue
    fi
    start_xvfb
  else
    export QT_QPA_PLATFORM=offscreen
  fi
  echo "-- window: $screen"
  # CASES picks some of them: any of small2k, small6k, small, big, fuse6k.
  for case in $cases; do
    case $case in
      small2k) run_case "2,000 small files" "$work/small2k" ;;
      small6k) run_case "6,000 small files" "$work/small6k" ;;
      small) run_case "20,000 small files" "$work/small" ;;
      big) run_case "1 GiB file" "$work/big" ;;
      fuse6k) run_case "6,000 files on FUSE" "$fuse_mount" ;;
    esac
  done
  if [[ $screen == xvfb ]]; then stop_xvfb; fi
done
rm -rf "$work/out-cli" "$work/out-window"
