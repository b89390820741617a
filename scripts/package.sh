#!/usr/bin/env bash
# Builds the Debian package into build-deb/ with Debian's build flags
# (hardening included) and checks it with lintian. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# CFLAGS, CXXFLAGS, CPPFLAGS and LDFLAGS as Debian packages are built with,
# with every hardening feature (bindnow included).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS" CFLAGS="$CFLAGS $CPPFLAGS"
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-deb --parallel "$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
package=$(ls -t build-deb/salvorine_*.deb | head -n 1)

# Errors fail the build; warnings are listed in README.md with the reason each is kept.
lintian --fail-on error "$package"
echo "$package"
