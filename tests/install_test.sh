#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed copy as a
# user meets it: every file in its place, a menu entry and an AppStream file the
# desktop tools accept, manual pages that render without warnings, --help and
# --version answer, and an installed salvorine-cli that finds its language files in
# share/salvorine, nowhere near the build folder.
#
# usage: install_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION
set -euo pipefail
build=$1 source=$2 version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

app_id=example.salvorine.Salvorine
for file in bin/salvorine bin/salvorine-cli \
    share/salvorine/Language/English.ini share/salvorine/Language/Russian.ini \
    share/salvorine/help/Salvorine.html share/salvorine/help/Salvorine-ru.html \
    share/icons/hicolor/scalable/apps/salvorine.svg \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/man/man1/salvorine.1.gz share/man/man1/salvorine-cli.1.gz \
    share/doc/salvorine/copyright share/doc/salvorine/changelog.gz \
    share/doc/salvorine/README.md.gz share/doc/salvorine/NEWS.gz \
    share/doc-base/salvorine.salvorine share/doc-base/salvorine.salvorine-ru \
    share/doc/salvorine/html/Salvorine.html share/doc/salvorine/html/Salvorine-ru.html \
    share/bash-completion/completions/salvorine-cli; do
  [[ -f $prefix/$file ]] || fail "not installed: $file"
done

# Hints are not faults: "System;Utility;" names two main categories on purpose.
validation=$(desktop-file-validate "$prefix/share/applications/$app_id.desktop" 2>&1) ||
  fail "desktop-file-validate: $validation"
[[ -z $(grep -v ': hint: ' <<<"$validation") ]] || fail "desktop-file-validate: $validation"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" ||
  fail "appstreamcli validate: $(cat "$work/appstream.log")"
for page in salvorine salvorine-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page.1: $warnings"
done

# --version needs no display: DISPLAY and WAYLAND_DISPLAY are cleared.
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/salvorine" --version) == "salvorine $version" ]] ||
  fail "salvorine --version"
[[ $("$prefix/bin/salvorine-cli" --version) == "salvorine-cli $version" ]] || fail "salvorine-cli --version"
# --help, likewise, lists the window program's own options.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/salvorine" -platform xcb --help) ||
  fail "salvorine --help exited $?"
[[ $help == "usage: salvorine "* && $help == *--version* ]] || fail "salvorine --help: $help"

# A small recovery in Russian: the completion message comes from the installed Russian.ini.
mkdir -p "$work/disc/photos" "$work/tmp"
printf 'first file\n' >"$work/disc/photos/a.txt"
head -c 5000 /dev/urandom >"$work/disc/photos/b.bin"
finished=$(sed -n 's/^48=//p' "$source/Language/Russian.ini")
[[ -n $finished ]] || fail "no message 48 in Russian.ini"
TMPDIR=$work/tmp "$prefix/bin/salvorine-cli" --language ru "$work/disc/photos" "$work/saved" \
  >"$work/out.tsv" 2>"$work/err.txt" || fail "salvorine-cli exited $?: $(cat "$work/err.txt")"
grep -qxF "$finished" "$work/err.txt" || fail "installed salvorine-cli did not find its language files: $(cat "$work/err.txt")"
cmp "$work/disc/photos/a.txt" "$work/saved/photos/a.txt" || fail "a.txt not saved intact"
cmp "$work/disc/photos/b.bin" "$work/saved/photos/b.bin" || fail "b.bin not saved intact"
echo "installed copy in $prefix: OK"
