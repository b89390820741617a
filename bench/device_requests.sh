#!/usr/bin/env bash
# Device requests for a healthy tree: how many read requests, and how many
# bytes, the disk is asked for while salvorine-cli copies a tree, against
# `cp -r` copying the same tree. The tree (small files of 1-8 KiB in folders
# of 500, and a few large files) is put in an ext4 image (mkfs.ext4 -d),
# served by the FUSE bench (damaged_fs, with no damage) with its read log,
# attached with `losetup -r`, mounted read-only, and copied by each tool in
# turn. Each copy has a fresh FUSE mount, loop device and mount, so both start
# with nothing of the image cached. The requests of mounting and unmounting
# alone (the read log is written at unmount) are counted once without a copy
# and taken off both. Prints both counts and their ratio, per round.
#
#   bench/device_requests.sh
#
# Environment: FILES (default 2000) small files, BIG (default 2) files of
# BIG_MIB MiB (default 16), ROUNDS (default 2), BENCH_DIR (default
# /tmp/salvorine-requests), BUILD_DIR (default build). CHECK=1 makes it fail
# when salvorine-cli asks for more than 1.2 times cp's requests.
# Needs root, FUSE and a free loop device; without them it says so and exits
# 77 (skipped). It always unmounts and detaches what it attached.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build}
work=${BENCH_DIR:-/tmp/salvorine-requests}
files=${FILES:-2000}
big=${BIG:-2}
big_mib=${BIG_MIB:-16}
rounds=${ROUNDS:-2}

skip() { echo "device_requests: skipped: $*" >&2; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "needs root to attach a loop device and mount it"
for program in losetup mount umount fusermount3 python3 mkfs.ext4; do
  command -v "$program" >/dev/null || skip "$program is missing"
done
[[ -c /dev/fuse ]] || skip "no /dev/fuse"
losetup -f >/dev/null 2>&1 || skip "no free loop device (losetup -f failed)"

bin=$(cd "$build" && pwd)/bin
[[ -x $bin/salvorine-cli && -x $bin/damaged_fs ]] || cmake --build "$build" --target damaged_fs salvorine-cli >/dev/null
fuse=$work/fuse; mnt=$work/mnt
source "$root/bench/fuse_teardown.sh"

rm -rf "$work"
mkdir -p "$work/src" "$fuse" "$mnt"
python3 - "$work/src" "$files" "$big" "$big_mib" <<'PY'
import os, random, sys
root, count, big, big_mib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
random.seed(1)
for i in range(count):
    folder = os.path.join(root, "small", "d%04d" % (i // 500))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
        f.write(random.randbytes(random.randint(1024, 8192)))
os.makedirs(os.path.join(root, "big"), exist_ok=True)
for i in range(big):
    with open(os.path.join(root, "big", "big%d.bin" % i), "wb") as f:
        for _ in range(big_mib):
            f.write(random.randbytes(1 << 20))
PY
image_mib=$(( $(du -sm "$work/src" | cut -f1) * 3 / 2 + 32 ))
mkfs.ext4 -q -F -b 4096 -d "$work/src" "$work/tree.img" "${image_mib}M"
echo "image disk.img $work/tree.img" > "$work/tree.txt"

# Copies the mounted tree with tool $1 into $work/out; writes "requests bytes"
# the image saw meanwhile to $work/count.txt. Not in a subshell, so that the
# trap finds what it attached.
requests_of() {
  local tool=$1 trace=$work/trace-$1.txt
  rm -rf "$work/out"; mkdir -p "$work/out"
  "$bin/damaged_fs" --trace "$trace" "$work/tree.txt" "$fuse"
  loop=$(losetup -r -f --show "$fuse/disk.img")
  mount -o ro,noload "$loop" "$mnt"
  command -v udevadm >/dev/null && udevadm settle 2>/dev/null || true
  case $tool in
    cp) cp -r "$mnt/." "$work/out/" ;;
    cli) "$bin/salvorine-cli" "$mnt" "$work/out" >/dev/null 2>"$work/cli.err" ||
           { cat "$work/cli.err" >&2; exit 1; } ;;
  esac
  teardown
  awk -v n0="${base_n:-0}" -v b0="${base_b:-0}" '{n++; b += $2} END {printf "%d %d\n", n - n0, b - b0}' \
    "$trace" > "$work/count.txt"
}

requests_of none; read -r base_n base_b < "$work/count.txt"
echo "mounting and unmounting alone: $base_n requests (not counted below)"
printf '| Round | cp requests | cp MiB | salvorine-cli requests | salvorine-cli MiB | Ratio (requests) |\n'
printf '|---|---|---|---|---|---|\n'
status=0
for ((i = 1; i <= rounds; i++)); do
  requests_of cp; read -r cp_n cp_b < "$work/count.txt"
  requests_of cli; read -r cli_n cli_b < "$work/count.txt"
  ratio=$(awk -v a="$cli_n" -v b="$cp_n" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '| %d | %d | %.1f | %d | %.1f | %s |\n' "$i" "$cp_n" "$(awk -v b="$cp_b" 'BEGIN {print b / 1048576}')" \
    "$cli_n" "$(awk -v b="$cli_b" 'BEGIN {print b / 1048576}')" "$ratio"
  if [[ ${CHECK:-0} == 1 ]] && awk -v r="$ratio" 'BEGIN { exit !(r > 1.2) }'; then
    echo "device_requests: salvorine-cli asked for $cli_n requests against cp's $cp_n" >&2; status=1
  fi
done
exit $status
