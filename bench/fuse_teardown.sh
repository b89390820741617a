# Sourced by the benches that mount a file system from an image the FUSE
# bench serves: $mnt (the mount), $loop (its loop device) and $fuse (the
# FUSE bench's mount) are undone on every way out. A detached loop device
# lets go of its backing file only once nothing holds it any more (udev may
# still be probing it), so the FUSE bench is unmounted as soon as it is
# free, within two minutes, or the script says what is left.
loop=""
teardown() {
  mountpoint -q "$mnt" && umount "$mnt"
  [[ -n $loop ]] && { losetup -d "$loop" 2>/dev/null || true; }
  loop=""
  for _ in $(seq 1200); do
    mountpoint -q "$fuse" || return 0
    fusermount3 -u "$fuse" 2>/dev/null || sleep 0.1
  done
  echo "$(basename "$0" .sh): $fuse is still busy; a loop device holds it (losetup -l), unmount it by hand" >&2
  return 1
}
trap teardown EXIT
trap 'exit 130' INT TERM
