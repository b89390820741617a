#!/usr/bin/env bash
# Builds the Debian package of the last commit with Debian's build flags
# (hardening included), checks it with lintian, and copies it to build-deb/.
# Prints the package's path.
#
# usage: scripts/package.sh [--twice]
#   --twice  builds the package a second time in another folder and fails
#            unless the two are byte for byte the same (a reproducible build)
#
# The sources are the last commit's (git archive), built in a fresh folder,
# so neither uncommitted changes nor an earlier build can leak in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --packages-only

# The commit is fixed once, so a commit made meanwhile changes neither build.
commit=$(git rev-parse HEAD)
# Every time in the package is the commit's: file times (CPack sets them from
# SOURCE_DATE_EPOCH), and the resource times rcc would take from the files.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
# CFLAGS, CXXFLAGS, CPPFLAGS and LDFLAGS as Debian packages are built with,
# with every hardening feature (bindnow included).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all

# Builds the package from a fresh copy of the commit's sources in folder $1; prints its path.
build_package() {
  local tree=$1/salvorine
  mkdir -p "$tree"
  git archive --format=tar "$commit" | tar -x -C "$tree"
  (
    cd "$tree"
    # dpkg-buildflags maps this folder to "." in debug paths (fixfilepath), so
    # where the build happens does not reach the binaries.
    eval "$(dpkg-buildflags --export=sh)"
    export CXXFLAGS="$CXXFLAGS $CPPFLAGS" CFLAGS="$CFLAGS $CPPFLAGS"
    # The None build type adds no flags of its own, so the flags are exactly Debian's.
    cmake -S . -B build -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF >/dev/null
    cmake --build build --parallel "$(nproc)" >&2
    cd build && cpack -G DEB >/dev/null
  )
  ls "$tree"/build/salvorine_*.deb
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
package=$(build_package "$work/first")
if [[ ${1:-} == --twice ]]; then
  again=$(build_package "$work/second-build")
  if ! cmp "$package" "$again"; then
    echo "The two builds of ${commit:0:7} differ:" >&2
    diff <(dpkg-deb -c "$package") <(dpkg-deb -c "$again") >&2 || true
    exit 1
  fi
  echo "Two builds of ${commit:0:7} are byte-identical." >&2
fi

mkdir -p build-deb
cp "$package" build-deb/
package=build-deb/$(basename "$package")
# Errors and warnings fail the build; every tag lintian shows, pedantic ones
# included, is listed in README.md with the reason it is kept.
lintian -EviIL +pedantic --fail-on error,warning "$package" >&2
echo "$package"
