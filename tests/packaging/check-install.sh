#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/marvolen bin/quizbank share/marvolen/tovra.mdb \
         share/marvolen/images/picture133.png share/marvolen/images/picture133@2x.png \
         share/icons/hicolor/32x32/apps/marvolen.png share/icons/hicolor/64x64/apps/marvolen.png \
         share/applications/example.marvolen.Marvolen.desktop \
         share/metainfo/example.marvolen.Marvolen.metainfo.xml share/man/man1/quizbank.1; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/marvolen" ] || fail "bin/marvolen is not executable"

desktop="$prefix/share/applications/example.marvolen.Marvolen.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx "Path=$prefix/share/marvolen" "$desktop" \
  || fail "the entry's working directory is not the sample bank's folder"
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "no Chinese name"
appstreamcli validate --no-net "$prefix/share/metainfo/example.marvolen.Marvolen.metainfo.xml" >/dev/null \
  || fail "appstreamcli validate"
man -l "$prefix/share/man/man1/quizbank.1" 2>/dev/null | grep -q 'dump' || fail "manual page lacks the verbs"
# The installed bank opens with the installed tool.
"$prefix/bin/quizbank" check "$prefix/share/marvolen/tovra.mdb" >/dev/null || fail "installed bank does not check clean"
echo "install: all files in place, validators pass"
