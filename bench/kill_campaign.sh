#!/usr/bin/env bash
# Kill campaign: salvorine-cli killed with SIGKILL at random moments, at each
# sync, rename and link it makes and at up to WRITE_POINTS of its block
# writes (pwrite), in a fresh run (empty save folder) and
# in a resuming one (a save folder holding a copy and map left by a stopped
# run). After each kill, and again after the run that follows it, every copy
# in the save folder is checked against its source:
#
#   - a copy without a map that has its source's size and modification time
#     passes for whole: it must equal the source byte for byte;
#   - every byte a map marks finished ('+') must equal the source's byte;
#   - a run on a worse medium (every third read of big.bin and mid.bin
#     fails) between the kill and the follow-up run leaves every byte a copy
#     had: where a copy equalled its source, it still does;
#   - after the follow-up run (which must exit 0: the sources have no damage)
#     every copy equals its source and no temporary ".part" file is left.
#
#   bench/kill_campaign.sh [RANDOM_KILLS]      (default 20 per kind of run)
#
# Environment: BENCH_DIR (default /tmp/salvorine-kill-campaign), BUILD_DIR
# (default build), READ_DELAY_US (default 100000: each pread(2) or preadv2(2) of a run killed
# at a random moment is slowed by this much, so that it lasts about 2.5 s),
# WRITE_POINTS (default 40), RANDOM_SPAN_MS (default 2500: random kills come
# 0 to this many ms after the start), RESUME_AFTER (default 0.6: seconds
# before the run that leaves a copy to resume, its reads slowed by 200 ms
# each, is stopped with SIGTERM).
# Prints one line per kill that broke a rule, then the counts.
set -uo pipefail
cd "$(dirname "$0")/.."
work=${BENCH_DIR:-/tmp/salvorine-kill-campaign}
build=${BUILD_DIR:-build}
random_kills=${1:-20}
read_delay=${READ_DELAY_US:-100000}
random_span=${RANDOM_SPAN_MS:-2500}
# When the run that leaves a copy to resume is stopped: inside big.bin, the first file.
resume_after=${RESUME_AFTER:-0.6}

command -v strace >/dev/null || {
  if [[ $(id -u) -eq 0 ]]; then apt-get install -y -q strace >/dev/null
  else echo "install: sudo apt-get install -y strace" >&2; exit 1; fi
}
cmake --build "$build" --target salvorine-cli >/dev/null || exit 1
cli=$(cd "$build" && pwd)/bin/salvorine-cli

rm -rf "$work"
mkdir -p "$work/src/small"
src=$work/src
head -c 4000000 /dev/urandom >"$src/big.bin"
head -c 300000 /dev/urandom >"$src/mid.bin"
for i in $(seq 1 12); do head -c $((i * 1300)) /dev/urandom >"$src/small/f$i.txt"; done
: >"$src/empty.bin"
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

# The rules above, for save folder $1; prints a line per broken rule and exits 1 if any.
# $2 = "final" also asks for every copy whole and no temporary file left.
check() {
  python3 - "$src" "$1" "${2:-}" <<'EOF'
import os, sys
src, save, final = sys.argv[1], sys.argv[2], sys.argv[3] == "final"
broken = []
def map_segments(path):
    lines = [l.split() for l in open(path) if l.strip() and not l.lstrip().startswith("#")]
    return [(int(a, 0), int(b, 0), s) for a, b, s in lines[1:]]
for folder, _, names in os.walk(src):
    for name in names:
        source = os.path.join(folder, name)
        rel = os.path.relpath(source, os.path.dirname(src))
        copy = os.path.join(save, rel)
        map_path = os.path.join(save, ".salvorine", "maps", rel + ".map")
        if not os.path.lexists(copy):
            if final: broken.append(f"{rel}: no copy after the follow-up run")
            continue
        data = open(source, "rb").read()
        saved = open(copy, "rb").read()
        if os.path.exists(map_path):
            if final: broken.append(f"{rel}: a map is left after the follow-up run")
            for start, length, state in map_segments(map_path):
                if state == "+" and saved[start:start + length] != data[start:start + length]:
                    broken.append(f"{rel}: bytes {start}+{length} marked finished differ from the source")
            continue
        s, c = os.stat(source), os.lstat(copy)
        if c.st_size == s.st_size and c.st_mtime_ns == s.st_mtime_ns and saved != data:
            broken.append(f"{rel}: passes for whole (size and time of the source) but differs")
        elif final and saved != data:
            broken.append(f"{rel}: differs from the source after the follow-up run")
for folder, _, names in os.walk(save):
    for name in names:
        if final and name.startswith(".salvorine-") and name.endswith(".part"):
            broken.append(f"{os.path.join(folder, name)}: temporary file left")
for line in broken: print("   ", line)
sys.exit(1 if broken else 0)
EOF
}

# Whether every byte of the copies in save folder $1 that equalled the source
# still does in save folder $2; prints a line per copy that lost some.
kept() {
  python3 - "$src" "$1" "$2" <<'EOF'
import os, sys
src, before, after = sys.argv[1:4]
lost = []
for folder, _, names in os.walk(src):
    for name in names:
        rel = os.path.relpath(os.path.join(folder, name), os.path.dirname(src))
        if not os.path.lexists(os.path.join(before, rel)):
            continue
        data = open(os.path.join(folder, name), "rb").read()
        old = open(os.path.join(before, rel), "rb").read()
        new = open(os.path.join(after, rel), "rb").read() if os.path.lexists(os.path.join(after, rel)) else b""
        for i in range(min(len(old), len(data))):
            if old[i] == data[i] and (i >= len(new) or new[i] != data[i]):
                lost.append(f"{rel}: byte {i} was the source's before the run on a worse medium, not after")
                break
for line in lost: print("   ", line)
sys.exit(1 if lost else 0)
EOF
}

kills=0
failures=0
# One kill and what follows it: $1 label, $2 save folder (prepared), then the
# strace options that kill the run (empty: a random moment after $3 ms).
after_kill() {
  local label=$1 save=$2
  kills=$((kills + 1))
  local report
  if ! report=$(check "$save"); then
    failures=$((failures + 1)); echo "$label, after the kill:"; echo "$report"
  fi
  # The medium worse now: every third read of the two big files fails.
  rm -rf "$work/before-worse"
  cp -a "$save" "$work/before-worse"
  strace -f -o /dev/null -P "$src/big.bin" -P "$src/mid.bin" -e trace=pread64,preadv2 \
    -e inject=pread64,preadv2:error=EIO:when=3+3 "$cli" "$src" "$save" >/dev/null 2>&1
  if ! report=$(kept "$work/before-worse" "$save"); then
    failures=$((failures + 1)); echo "$label, after a run on a worse medium:"; echo "$report"
  fi
  "$cli" "$src" "$save" >/dev/null 2>"$work/rerun.err"
  local status=$?
  if [[ $status -ne 0 ]]; then
    failures=$((failures + 1)); echo "$label: the follow-up run exited $status: $(head -c 300 "$work/rerun.err")"
  elif ! report=$(check "$save" final); then
    failures=$((failures + 1)); echo "$label, after the follow-up run:"; echo "$report"
  fi
}

# The program strace $1 runs, once it has started it.
traced_child() {
  local child=""
  while [[ -z $child ]] && kill -0 "$1" 2>/dev/null; do
    child=$(pgrep -P "$1" | head -1)
    [[ -z $child ]] && sleep 0.01
  done
  echo "$child"
}

# A save folder as the kind of run $1 finds it: empty (fresh), or holding
# what a run stopped inside big.bin left (resume).
prepare() {
  local kind=$1 save=$2
  local attempt
  for attempt in 1 2 3 4 5; do
    rm -rf "$save"
    mkdir -p "$save"
    [[ $kind == fresh ]] && return
    # Stopped inside big.bin, the first file: its copy as far as it got, with its map.
    strace -f -o /dev/null -e trace=pread64,preadv2 -e inject=pread64,preadv2:delay_exit=200000 "$cli" "$src" "$save" \
      >/dev/null 2>&1 &
    local tracer=$!
    local child
    child=$(traced_child "$tracer")
    sleep "$resume_after"
    [[ -n $child ]] && kill -TERM "$child" 2>/dev/null
    wait "$tracer" 2>/dev/null
    [[ -f $save/.salvorine/maps/src/big.bin.map ]] && return
  done
  echo "warning: five stopped runs left no map of big.bin; this run starts afresh" >&2
}

syscalls=(fsync fdatasync syncfs rename renameat renameat2 link linkat pwrite64)
# Writes are many (one per block): at most this many of them, spread evenly, are kill points.
write_points=${WRITE_POINTS:-40}
trace_list=$(IFS=,; echo "${syscalls[*]}")

for kind in fresh resume; do
  save=$work/save-$kind
  # How many of each call a whole run of this kind makes.
  prepare "$kind" "$save"
  strace -f -o "$work/calls.log" -e trace="$trace_list" "$cli" "$src" "$save" >/dev/null 2>&1
  for call in "${syscalls[@]}"; do
    count=$(grep -c "\b$call(" "$work/calls.log")
    step=1
    [[ $call == pwrite64 ]] && step=$(((count + write_points - 1) / write_points))
    [[ $step -lt 1 ]] && step=1
    for ((n = 1; n <= count; n += step)); do
      prepare "$kind" "$save"
      # In the background, so that the shell does not announce the kill.
      strace -f -o /dev/null -e trace="$call" -e inject="$call":signal=KILL:when="$n" "$cli" "$src" "$save" \
        >/dev/null 2>&1 &
      wait $! 2>/dev/null
      after_kill "$kind run killed at $call #$n" "$save"
    done
    echo "$kind: $count × $call" >&2
  done
  for ((k = 1; k <= random_kills; k++)); do
    prepare "$kind" "$save"
    strace -f -o /dev/null -e trace=pread64,preadv2 -e inject=pread64,preadv2:delay_exit="$read_delay" "$cli" "$src" "$save" \
      >/dev/null 2>&1 &
    tracer=$!
    child=$(traced_child "$tracer")
    delay_ms=$((RANDOM % random_span))
    sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
    [[ -n $child ]] && kill -KILL "$child" 2>/dev/null
    wait "$tracer" 2>/dev/null
    after_kill "$kind run killed after ${delay_ms} ms" "$save"
  done
done

echo "kills: $kills, broken rules: $failures"
[[ $failures -eq 0 ]]
