#!/usr/bin/env bash
# Takes the screenshots the AppStream file shows, as a user sees the program:
# the installed build under a virtual X server (Xvfb) with a window manager
# (openbox), after a Thorough recovery of a damaged camera card, in English and
# in Russian, saved as PNG files in packaging/screenshots/.
#
# The card is served by the test bench's damaged_fs (BUILD_FOLDER/bin), from
# scripts/screenshot-card.txt, at /media/alice/CAMERA, in a mount
# namespace of the script's own: there the only media are the card, the home
# folder is /home/alice, and nothing outside changes. That needs root.
#
# usage: sudo scripts/screenshots.sh [BUILD_FOLDER]   (default build/, built beforehand)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

if [[ -z ${SALVORINE_SCREENSHOT_NAMESPACE:-} ]]; then
  if [[ $(id -u) -ne 0 ]] || ! command -v unshare >/dev/null; then
    echo "screenshots.sh: needs root and unshare, to mount the card in a mount namespace of its own" >&2
    exit 1
  fi
  SALVORINE_SCREENSHOT_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$build"
fi
out=packaging/screenshots
card=/media/alice/CAMERA
damaged_fs=$build/bin/damaged_fs
[[ -x $damaged_fs ]] || { echo "screenshots.sh: no $damaged_fs; build the damaged_fs target" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An installed copy keeps its settings in XDG_CONFIG_HOME, not beside the build.
cmake --install "$build" --prefix "$work/usr" >/dev/null

# The tree lists everything mounted under /media, /run/media and /mnt, covered
# or not, so in this namespace those mounts are taken away (deepest first),
# not hidden under another.
awk '$2 ~ "^/(media|run/media|mnt)(/|$)" { print $2 }' /proc/self/mounts | sort -r | while read -r mount; do
  umount -l "$(printf '%b' "$mount")"
done
mount -t tmpfs salvorine-home /home
mount -t tmpfs salvorine-media /media
mkdir -p /home/alice "$card"
"$damaged_fs" scripts/screenshot-card.txt "$card" -f >"$work/damaged_fs.log" 2>&1 &
pids+=($!)
until mountpoint -q "$card"; do
  kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/damaged_fs.log" >&2; exit 1; }
  sleep 0.1
done
export HOME=/home/alice XDG_CONFIG_HOME=/home/alice/.config XDG_CACHE_HOME=/home/alice/.cache

# The server picks a display number no other server holds and writes it once it
# accepts clients: a number free of lock files in this namespace's /tmp may
# still be held by a server elsewhere through its abstract socket.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" &
pids+=($!)
until [[ -s $work/display ]]; do
  kill -0 "${pids[-1]}" || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$work/display")
openbox >/dev/null 2>&1 &
pids+=($!)
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done

# Waits until the window's painting has settled: two captures in a row agree.
settled_capture() {
  import -window "$1" "$work/before.png"
  until import -window "$1" "$work/after.png" && cmp -s <(convert "$work/before.png" rgb:-) <(convert "$work/after.png" rgb:-); do
    mv "$work/after.png" "$work/before.png"
  done
  mv "$work/after.png" "$2"
}

# shot LANGUAGE(1 English, 0 Russian) FILE
shot() {
  # A fresh save folder and Thorough (mode 2), so every run is the same first run.
  rm -rf "$HOME/Rescued" "$XDG_CONFIG_HOME"
  mkdir -p "$XDG_CONFIG_HOME/salvorine" "$HOME/Rescued"
  printf '[Settings]\nLanguage=%s\nFolder=%s\nMode=2\nIcon=1\nLeft=40\nTop=40\nWidth=1000\nHeight=640\n' \
    "$1" "$HOME/Rescued/" >"$XDG_CONFIG_HOME/salvorine/Salvorine.ini"
  "$work/usr/bin/salvorine" >"$work/salvorine.log" 2>&1 &
  local program=$! window box
  window=$(xdotool search --all --sync --onlyvisible --pid "$program" --name Salvorine | head -n 1)
  # The window is mapped before its first paint; wait until the manager has framed it.
  until xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; do sleep 0.1; done
  xdotool windowactivate --sync "$window" windowsize --sync "$window" 1000 640 windowmove --sync "$window" 40 40
  # Clicks reach the window once it has painted.
  settled_capture "$window" "$work/ready.png"
  # A click on the card, the tree's third item (rows 18 pixels high under a
  # 70-pixel menu and tool bar), Right to open it, Ctrl+R to recover it.
  xdotool mousemove --sync --window "$window" 120 113 click 1
  xdotool key Right ctrl+r
  # The run ends with its one information box (titled so in both languages); Enter closes it.
  box=$(timeout 120 xdotool search --all --sync --onlyvisible --pid "$program" --name '^Information$' | head -n 1 || true)
  [[ -n $box ]] || { echo "screenshots.sh: the run did not end with its information box" >&2; exit 1; }
  xdotool windowactivate --sync "$box" key Return
  while xdotool search --all --onlyvisible --pid "$program" --name '^Information$' >/dev/null; do sleep 0.1; done
  find "$HOME/Rescued" -name VID_0417.MOV | grep -q . || { echo "screenshots.sh: the card was not recovered" >&2; exit 1; }
  # The pointer leaves the window, so no row shows it hovering.
  xdotool mousemove --sync 1270 790
  settled_capture "$window" "$out/$2"
  kill "$program"
  wait "$program" 2>/dev/null || true
}

mkdir -p "$out"
shot 1 main-window.png
shot 0 main-window-ru.png
# No time stamps or names of this machine in the files, so they only change when the window does.
for png in "$out"/*.png; do
  mogrify -strip "$png" 2>/dev/null || convert "$png" -strip "$png"
done
ls -l "$out"
