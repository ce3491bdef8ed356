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
app_id=$(head -n 1 "$source_dir/packaging/app-id")
[[ "$app_id" =~ ^[a-z][a-z0-9]*(\.[A-Za-z][A-Za-z0-9_]*){2,}$ ]] || fail "app id $app_id is not reverse-DNS"
for file in usr/bin/varnelo "usr/share/applications/$app_id.desktop" \
            "usr/share/metainfo/$app_id.metainfo.xml" usr/share/man/man1/varnelo.1.gz \
            usr/share/doc/varnelo/copyright usr/share/doc/varnelo/changelog.gz; do
  [ -s "$root/$file" ] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "no ${size}px icon"
done
[ -x "$root/usr/bin/varnelo" ] || fail "the reader is not executable"
! grep -rIq '@[A-Z_]*@' "$root/usr/share" || fail "a placeholder is left in the package"

entry="$root/usr/share/applications/$app_id.desktop"
desktop-file-validate "$entry"
grep -qx 'Exec=varnelo %f' "$entry" || fail "Exec does not take the book"
grep -qx 'MimeType=text/plain;' "$entry" || fail "no text/plain"
grep -qx 'Name\[zh_CN\]=Varnelo 小说阅读器' "$entry" || fail "no Chinese name"
grep -qx "Icon=$app_id" "$entry" || fail "the entry does not name the icon by the app id"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
# Debian's own checks, errors and warnings alike.
lintian_out=$(lintian --fail-on error,warning "$deb") || fail "lintian: $lintian_out"
man=$(zcat "$root/usr/share/man/man1/varnelo.1.gz")
for topic in VARNELO_HOME Config.ini GB18030 UTF-8 Big5 UTF-16 编码 目录 全书查找 最近阅读 简繁转换; do
  [[ "$man" == *"$topic"* ]] || fail "man page lacks $topic"
done

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6network6 libc6 fonts-noto-cjk; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

shown=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/varnelo" --version)
[ "$shown" = "Varnelo 小说阅读器 $version" ] || fail "--version printed: $shown"
help=$("$root/usr/bin/varnelo" --help)
for topic in Config.ini GB18030 UTF-8 Big5 UTF-16 编码 目录 全书查找 最近阅读 简繁转换; do
  [[ "$help" == *"$topic"* ]] || fail "--help lacks $topic"
done

# The entry for the current user, from the reader built here, under the same id; an entry
# of the reader's earlier name goes.
data="$work/data"
mkdir -p "$data/applications" "$data/icons/hicolor/16x16/apps"
touch "$data/applications/varnelo.desktop" "$data/icons/hicolor/16x16/apps/varnelo.png"
XDG_DATA_HOME="$data" "$source_dir/tools/install-desktop-entry.sh" "$build_dir" >/dev/null
desktop-file-validate "$data/applications/$app_id.desktop"
[ -s "$data/icons/hicolor/48x48/apps/$app_id.png" ] || fail "install-desktop-entry: no icon"
[ ! -e "$data/applications/varnelo.desktop" ] && [ ! -e "$data/icons/hicolor/16x16/apps/varnelo.png" ] ||
  fail "install-desktop-entry left the earlier entry"
XDG_DATA_HOME="$data" "$source_dir/tools/install-desktop-entry.sh" --remove >/dev/null
left=$(find "$data" -type f -iname '*varnelo*')
[ -z "$left" ] || fail "install-desktop-entry --remove left $left"
echo "package: $(basename "$deb") checked"
