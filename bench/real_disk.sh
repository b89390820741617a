#!/usr/bin/env bash
# A damaged disk as a user has one: a kernel file system on a block device,
# read through the page cache. Builds a file system image holding a few files
# (ext4 with mkfs.ext4 -d; xfs too when mkfs.xfs is installed), serves it from
# the FUSE bench (damaged_fs) with unreadable 2048-byte sectors inside the
# files (a scratch, single sectors, islands inside long bad bands, a mixed
# area; one file healthy), attaches it with losetup -r --sector-size 2048,
# mounts it read-only and runs each tool on the mounted files. Per tool it
# prints the failed device reads (the bench's trace of requests), those paid
# before 99% of the readable bytes were in (over the run, and summed over the
# files: each file's own failures before 99% of its readable bytes were in),
# the readable bytes lost against the original files, and the wall time; for Max Data and Max Speed also the
# failed reads of the pass itself (counted with strace), to set the device's
# failures against. CHECK=1 also makes it fail when Max Data or Max Speed
# cost the device more than one failed request per failed read of the pass
# plus one per damaged file.
#
#   bench/real_disk.sh
#
# Environment: LAYOUT (default bench; see real_disk.py: bench, the files
# above; mixed, islands in a long band, single sectors in many files, a band
# across two files, a file's first or last sector alone; many, 300 files of
# 256 KiB to 4 MiB, 100 damaged), DELAY_MS per failed read (default 20),
# FILES (default 5) of FILE_MIB MiB (default 12) for the bench layout,
# KINDS (default "ext4 xfs"), TOOLS (default
# "thorough ddrescue-d ddrescue data speed"), BENCH_DIR (default
# /tmp/salvorine-real-disk), BUILD_DIR (default build). CHECK=1 makes it fail
# when Thorough loses a readable byte (the test suite runs a small case so).
# With both thorough and ddrescue-d, a line per file system sets their failed
# reads before 99% and in all side by side.
# Needs root, FUSE and a free loop device; without them it says so and exits
# 77 (skipped). It always unmounts and detaches what it attached.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build}
work=${BENCH_DIR:-/tmp/salvorine-real-disk}
delay=${DELAY_MS:-20}
count=${FILES:-5}
mib=${FILE_MIB:-12}
kinds=${KINDS:-"ext4 xfs"}
layout=${LAYOUT:-bench}
tools=${TOOLS:-"thorough ddrescue-d ddrescue data speed"}
sector=2048

skip() { echo "real_disk: skipped: $*" >&2; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "needs root to attach a loop device and mount it"
for program in losetup mount umount filefrag fusermount3 python3 mkfs.ext4; do
  command -v "$program" >/dev/null || skip "$program is missing"
done
[[ -c /dev/fuse ]] || skip "no /dev/fuse"
losetup -f >/dev/null 2>&1 || skip "no free loop device (losetup -f failed)"
[[ $tools != *ddrescue* ]] || command -v ddrescue >/dev/null || skip "ddrescue is missing (scripts/setup.sh installs it)"
[[ $tools != *data* && $tools != *speed* ]] || command -v strace >/dev/null || skip "strace is missing"

bin=$(cd "$build" && pwd)/bin
[[ -x $bin/salvorine-cli && -x $bin/damaged_fs ]] || cmake --build "$build" --target damaged_fs salvorine-cli >/dev/null
fuse=$work/fuse; mnt=$work/mnt
source "$root/bench/fuse_teardown.sh"

rm -rf "$work"
mkdir -p "$work/src" "$fuse" "$mnt"
python3 "$root/bench/real_disk.py" files "$work/src" "$layout" "$count" "$mib"
image_mib=$(( $(du -sm "$work/src" | cut -f1) * 5 / 4 + 16 ))

# Makes $work/$1.img holding $work/src.
make_image() {
  local kind=$1 image=$work/$1.img
  case $kind in
    ext4) mkfs.ext4 -q -F -b 4096 -d "$work/src" "$image" "${image_mib}M" ;;
    xfs)
      truncate -s "$((image_mib > 300 ? image_mib : 300))M" "$image"
      mkfs.xfs -q -f -s size=$sector "$image"
      loop=$(losetup -f --show "$image")
      mount "$loop" "$mnt"
      cp "$work/src"/* "$mnt"/
      umount "$mnt"; losetup -d "$loop"; loop="" ;;
  esac
}

mount_options() { [[ $1 == ext4 ]] && echo ro,noload || echo ro,norecovery; }

# Serves image $1 from damaged_fs with the damage in $work/$2.txt, attached and mounted at $mnt.
attach() {
  local kind=$1 description=$2 trace=$3
  "$bin/damaged_fs" --stats "$work/stats.txt" --trace "$trace" "$description" "$fuse"
  loop=$(losetup -r --sector-size $sector -f --show "$fuse/disk.img")
  mount -o "$(mount_options "$kind")" "$loop" "$mnt"
}

# Runs tool $1 on every file of $mnt into $2; the pass's own failed reads go to $work/pass-failures.
run_tool() {
  local tool=$1 out=$2
  mkdir -p "$out"
  case $tool in
    thorough) "$bin/salvorine-cli" --mode thorough "$mnt" "$out" >/dev/null 2>"$work/cli.err" || true ;;
    data|speed)
      strace -f -qq -y -e trace=pread64 -o "$work/strace.txt" \
        "$bin/salvorine-cli" --mode "$tool" "$mnt" "$out" >/dev/null 2>"$work/cli.err" || true
      python3 "$root/bench/real_disk.py" pass-failures "$work/strace.txt" "$work/src" > "$work/pass-failures" ;;
    ddrescue-d)
      for file in "$mnt"/*; do ddrescue -q -d -b$sector "$file" "$out/${file##*/}" "$out/${file##*/}.map" || true; done ;;
    ddrescue)
      for file in "$mnt"/*; do ddrescue -q "$file" "$out/${file##*/}" "$out/${file##*/}.map" || true; done ;;
  esac
}

# The cli keeps the selected folder's name under the save folder.
copies_of() { [[ -d $1/${mnt##*/} ]] && echo "$1/${mnt##*/}" || echo "$1"; }

status=0
printf '| Layout | File system | Tool | Failed device reads | To 99%% | To 99%% per file | Readable bytes lost | Wall (s) | Pass failed reads |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
for kind in $kinds; do
  if [[ $kind == xfs ]] && ! command -v mkfs.xfs >/dev/null; then
    echo "real_disk: xfs skipped: mkfs.xfs is missing (apt-get install xfsprogs)" >&2; continue
  fi
  make_image "$kind"
  # The damage is laid through the files' extents, read from the clean image.
  loop=$(losetup -r --sector-size $sector -f --show "$work/$kind.img")
  mount -o "$(mount_options "$kind")" "$loop" "$mnt"
  python3 "$root/bench/real_disk.py" damage "$work/src" "$mnt" $sector "$layout" "$count" "$mib" > "$work/bad.txt"
  teardown
  {
    echo "delay_bad $delay"
    echo "bad_sector $sector"
    echo "image disk.img $work/$kind.img"
    while read -r start length; do echo "bad disk.img $start $length"; done < "$work/bad.txt"
  } > "$work/$kind.txt"
  declare -A side=()
  for tool in $tools; do
    rm -rf "$work/out" "$work/pass-failures"
    trace=$work/trace-$kind-$tool.txt
    attach "$kind" "$work/$kind.txt" "$trace"
    command -v udevadm >/dev/null && udevadm settle 2>/dev/null || true
    mounted=$(wc -l < "$trace")
    start=$(date +%s.%N)
    run_tool "$tool" "$work/out"
    end=$(date +%s.%N)
    teardown
    read -r failed to99 per_file lost damaged < <(python3 "$root/bench/real_disk.py" figures "$work/damage.json" \
      "$trace" "$(copies_of "$work/out")" "$work/src" "$mounted")
    pass=$([[ -f $work/pass-failures ]] && cat "$work/pass-failures" || echo "-")
    side[$tool]="$failed $to99"
    printf '| %s | %s | %s | %s | %s | %s | %s | %.1f | %s |\n' "$layout" "$kind" "$tool" "$failed" "$to99" "$per_file" "$lost" \
      "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" "$pass"
    if [[ ${CHECK:-0} == 1 && $tool == thorough && $lost != 0 ]]; then
      echo "real_disk: Thorough lost $lost readable bytes on $kind" >&2; status=1
    fi
    # Max Data and Max Speed: one failed request per failed read of the pass, and one more per damaged file.
    if [[ ${CHECK:-0} == 1 && $pass != - ]] && (( failed > pass + damaged )); then
      echo "real_disk: $tool cost the device $failed failed reads for $pass of its own in $damaged files on $kind" >&2
      status=1
    fi
  done
  if [[ -n ${side[thorough]:-} && -n ${side[ddrescue-d]:-} ]]; then
    read -r t_all t_99 <<<"${side[thorough]}"
    read -r d_all d_99 <<<"${side[ddrescue-d]}"
    # ddrescue -d gets its 99% only near its end: "never" there counts as all its failures.
    [[ $d_99 =~ ^[0-9]+$ ]] || d_99=$d_all
    awk -v l="$layout" -v k="$kind" -v t9="$t_99" -v d9="$d_99" -v ta="$t_all" -v da="$d_all" 'BEGIN {
      r9 = (t9 ~ /^[0-9]+$/ && d9 > 0) ? sprintf("%.2f", t9 / d9) : "-"
      ra = (da > 0) ? sprintf("%.2f", ta / da) : "-"
      printf "%s on %s, thorough against ddrescue -d: to 99%% %s / %s = %sx, in all %s / %s = %sx\n", l, k, t9, d9, r9, ta, da, ra
    }'
  fi
done
exit $status
