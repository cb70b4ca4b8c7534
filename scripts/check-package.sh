#!/usr/bin/env bash
# Checks a built package (default: the corvid_*.deb in the project root): the
# files it holds, the unpacked programs running from a temporary root on the
# system's libraries (corvid extracts the sample database headless, which
# the test build writes to build/samples/sample.mdb), the desktop entry, and
# lintian (errors fail the check; warnings are shown).
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls corvid_*.deb | tail -n 1)}
sample=build/samples/sample.mdb
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "== $deb"
dpkg-deb -c "$deb" | awk '{ print $1, $6 }'
listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/corvid ./usr/bin/corvid-mkmdb ./usr/share/applications/corvid.desktop \
  ./usr/share/icons/hicolor/scalable/apps/corvid.svg ./usr/share/man/man1/corvid.1.gz \
  ./usr/share/man/man1/corvid-mkmdb.1.gz ./usr/share/bash-completion/completions/corvid \
  ./usr/share/bash-completion/completions/corvid-mkmdb \
  ./usr/share/doc/corvid/copyright ./usr/share/doc/corvid/changelog.gz; do
  grep -qxF "$path" <<<"$listing" || { echo "missing from the package: $path" >&2; exit 1; }
done
if grep -qiE 'fixture|test|bench' <<<"$listing"; then
  echo "test or benchmark files in the package:" >&2
  grep -iE 'fixture|test|bench' <<<"$listing" >&2
  exit 1
fi

dpkg-deb -x "$deb" "$root/fs"
corvid=$root/fs/usr/bin/corvid
if ldd "$corvid" "$root/fs/usr/bin/corvid-mkmdb" | grep 'not found'; then exit 1; fi
"$corvid" --version
[ -f "$sample" ] || { echo "no $sample: build the project first (scripts/test.sh)" >&2; exit 1; }
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$root/config" \
  "$corvid" --headless /t=table /fi=img /fn=id /fn2= /ff=filter "/fv=*" "/d=$root/out/" "$sample" >/dev/null
written=$(find "$root/out" -type f | wc -l)
echo "the unpacked corvid wrote $written files from $sample"
[ "$written" -gt 0 ]
"$root/fs/usr/bin/corvid-mkmdb" bench "$root/bench.mdb" --records 3 --blob-kib 1

desktop-file-validate "$root/fs/usr/share/applications/corvid.desktop"
lintian --fail-on error "$deb"
echo "package checked: $deb"
