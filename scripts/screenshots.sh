#!/usr/bin/env bash
# Takes the screenshots the AppStream file shows, as a user sees the program:
# the installed build under a virtual X server (Xvfb) with a window manager
# (openbox), the main window in English and in Russian, saved as PNG files in
# packaging/screenshots/.
#
# usage: scripts/screenshots.sh [BUILD_FOLDER]   (default build/, built beforehand)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

# In a mount namespace of its own, the pictures show a user's home and a
# mounted disc instead of this machine's folders; nothing outside changes.
if [[ -z ${SALVORINE_SCREENSHOT_NAMESPACE:-} && $(id -u) -eq 0 ]] && command -v unshare >/dev/null; then
  SALVORINE_SCREENSHOT_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$build"
fi
out=packaging/screenshots

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
export HOME=$work/home
if [[ -n ${SALVORINE_SCREENSHOT_NAMESPACE:-} ]]; then
  mount -t tmpfs salvorine-home /home
  mount -t tmpfs salvorine-media /media
  mkdir -p /home/alice /media/alice/PHOTOS_2009
  mount -t tmpfs salvorine-disc /media/alice/PHOTOS_2009
  mkdir -p /media/alice/PHOTOS_2009/{Holidays,Family}
  export HOME=/home/alice
fi
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache
mkdir -p "$XDG_CONFIG_HOME/salvorine" "$HOME/Rescued"

# A display number no other server holds.
display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
export DISPLAY=:$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp &
pids+=($!)
until xdpyinfo >/dev/null 2>&1; do
  kill -0 "${pids[0]}" || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
openbox >/dev/null 2>&1 &
pids+=($!)
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done

# shot LANGUAGE(1 English, 0 Russian) FILE
shot() {
  printf '[Settings]\nLanguage=%s\nFolder=%s\nIcon=1\n' "$1" "$HOME/Rescued" >"$XDG_CONFIG_HOME/salvorine/Salvorine.ini"
  "$work/usr/bin/salvorine" >/dev/null 2>&1 &
  local program=$! window
  window=$(xdotool search --sync --onlyvisible --pid "$program" --name Salvorine | head -n 1)
  # The window is mapped before its first paint; wait until the manager has framed it and it has settled.
  until xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; do sleep 0.1; done
  xdotool windowactivate --sync "$window" windowsize --sync "$window" 960 600 windowmove --sync "$window" 40 40
  # Painting after the resize has finished when two captures in a row agree.
  import -window "$window" "$work/before.png"
  until import -window "$window" "$work/after.png" && cmp -s <(convert "$work/before.png" rgb:-) <(convert "$work/after.png" rgb:-); do
    mv "$work/after.png" "$work/before.png"
  done
  mv "$work/after.png" "$out/$2"
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
