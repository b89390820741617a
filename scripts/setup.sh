#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing) and
# configures and builds the project into build/; with --packages-only it
# stops after the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config fuse3 libfuse3-dev libgtest-dev
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev libgl-dev qt6-translations-l10n
  libjpeg62-turbo-dev libemf2svg-dev libwmf-dev fonts-urw-base35
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  desktop-file-utils appstream man-db dpkg-dev lintian
  gddrescue strace  # strace counts the failed reads of a pass in the real-disk bench
  # file systems the tests mount from images: xfs for the real-disk bench, exFAT as a save disk with other name rules
  xfsprogs exfatprogs exfat-fuse
  g++-mingw-w64-x86-64-posix  # scripts/check-portable.sh compiles the engine for Windows
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    apt_get=(apt-get)
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    apt_get=(sudo apt-get)
  else
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${apt_get[@]}" update -q
  "${apt_get[@]}" install -y -q "${missing[@]}"
fi

[[ ${1:-} == --packages-only ]] && exit 0
# SALVORINE_WARNINGS_AS_ERRORS=ON (as CI sets it) makes every compiler warning fatal.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSALVORINE_WARNINGS_AS_ERRORS="${SALVORINE_WARNINGS_AS_ERRORS:-OFF}" >/dev/null
cmake --build build --parallel "$(nproc)"
