#!/usr/bin/env bash
# Makes varnelo_<version>_<arch>.deb from a reader already built in BUILD_DIR (the reader and
# varnelo-icons), and prints the package's path as its last line.
#   packaging/make-deb.sh BUILD_DIR OUT_DIR
# The version is the project's, from CMake; Depends comes from dpkg-shlibdeps plus the fonts.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:?usage: make-deb.sh BUILD_DIR OUT_DIR}" && pwd)
mkdir -p "${2:?usage: make-deb.sh BUILD_DIR OUT_DIR}"
out_dir=$(cd "$2" && pwd)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || { echo "make-deb: no project version in $build_dir/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
app_id=$(head -n 1 "$source_dir/packaging/app-id")
for tool in varnelo varnelo-icons; do
  [ -x "$build_dir/$tool" ] || { echo "make-deb: $build_dir/$tool is not built" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
umask 022
install -d "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/applications" \
  "$root/usr/share/metainfo" "$root/usr/share/man/man1" "$root/usr/share/doc/varnelo"

# The reader, stripped as Debian's own packages are.
install -m 755 "$build_dir/varnelo" "$root/usr/bin/varnelo"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/varnelo"

# The desktop entry, the icons and the AppStream metadata are named by the application id.
sed -e 's|@EXEC@|varnelo %f|' -e 's|@TRYEXEC@|varnelo|' -e "s|@APP_ID@|$app_id|" \
  "$source_dir/res/varnelo.desktop.in" >"$root/usr/share/applications/$app_id.desktop"
QT_QPA_PLATFORM=offscreen "$build_dir/varnelo-icons" "$root/usr/share/icons/hicolor"
sed -e "s|@APP_ID@|$app_id|g" "$source_dir/packaging/varnelo.metainfo.xml.in" \
  >"$root/usr/share/metainfo/$app_id.metainfo.xml"
gzip -9n <"$source_dir/packaging/varnelo.1" >"$root/usr/share/man/man1/varnelo.1.gz"
install -m 644 "$source_dir/packaging/copyright" "$root/usr/share/doc/varnelo/copyright"
maintainer=$(sed -n 's/^Maintainer: //p' "$source_dir/packaging/control.in")
{
  printf 'varnelo (%s) unstable; urgency=medium\n\n' "$version"
  printf '  * Varnelo %s.\n\n' "$version"
  # The build's own time, so the same tree gives the same package.
  printf ' -- %s  %s\n' "$maintainer" \
    "$(date -R -u -d "@$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || date +%s)")"
} | gzip -9n >"$root/usr/share/doc/varnelo/changelog.gz"
find "$root" -type d -exec chmod 755 {} +
find "$root/usr/share" -type f -exec chmod 644 {} +

# dpkg-shlibdeps wants a source package's control file to read.
mkdir -p "$work/src/debian"
printf 'Source: varnelo\n\nPackage: varnelo\nArchitecture: any\n' >"$work/src/debian/control"
shlibs=$(cd "$work/src" && dpkg-shlibdeps -O "$root/usr/bin/varnelo" 2>/dev/null |
         sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "make-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }

size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@SIZE@|$size|" \
    -e "s|@DEPENDS@|$shlibs, fonts-noto-cjk|" "$source_dir/packaging/control.in" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb="$out_dir/varnelo_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
