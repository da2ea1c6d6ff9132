#!/usr/bin/env bash
# Builds the Debian package and checks its contents and dependencies.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/marvolen_*.deb)
fail() { echo "FAIL: $*" >&2; exit 1; }
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/marvolen ./usr/bin/quizbank ./usr/share/marvolen/tovra.mdb \
         ./usr/share/applications/example.marvolen.Marvolen.desktop ./usr/share/man/man1/quizbank.1; do
  grep -q " $f\$" <<<"$contents" || fail "package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6network6 fonts-arphic-uming qt6-translations-l10n; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
grep -qx 'Path=/usr/share/marvolen' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/example.marvolen.Marvolen.desktop) \
  || fail "packaged entry's working directory"
echo "deb: $(basename "$deb"), Depends: $depends"
