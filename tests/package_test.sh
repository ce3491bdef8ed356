#!/usr/bin/env bash
# The Debian package from the reader already built: its files, the desktop entry and the
# AppStream metadata as their validators see them, and the packaged reader itself.
#   tests/package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

deb=$("$source_dir/packaging/make-deb.sh" "$build_dir" "$work/out" | tail -n 1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ "$(basename "$deb")" = "varnelo_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "unexpected package name $deb"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/varnelo usr/share/applications/varnelo.desktop \
            usr/share/metainfo/varnelo.metainfo.xml usr/share/man/man1/varnelo.1.gz \
            usr/share/doc/varnelo/copyright usr/share/doc/varnelo/changelog.gz; do
  [ -s "$root/$file" ] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/varnelo.png"
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "no ${size}px icon"
done
[ -x "$root/usr/bin/varnelo" ] || fail "the reader is not executable"

entry="$root/usr/share/applications/varnelo.desktop"
desktop-file-validate "$entry"
grep -qx 'Exec=varnelo %f' "$entry" || fail "Exec does not take the book"
grep -qx 'MimeType=text/plain;' "$entry" || fail "no text/plain"
grep -qx 'Name\[zh_CN\]=Varnelo 小说阅读器' "$entry" || fail "no Chinese name"
# There is no domain of the project's own to build a reverse-DNS id from.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$root/usr/share/metainfo/varnelo.metainfo.xml"
zcat "$root/usr/share/man/man1/varnelo.1.gz" | grep -q 'VARNELO_HOME' || fail "man page lacks VARNELO_HOME"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6network6 libc6 fonts-noto-cjk; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

shown=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/varnelo" --version)
[ "$shown" = "Varnelo 小说阅读器 $version" ] || fail "--version printed: $shown"
echo "package: $(basename "$deb") checked"
