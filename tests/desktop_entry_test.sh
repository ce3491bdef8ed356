#!/usr/bin/env bash
# Installs the desktop entry into a scratch data folder from a build folder reached through
# a path with a blank, and checks what the desktop's menu will read: the command starts
# that reader with no file argument, and every icon size is there at its size.
#   tests/desktop_entry_test.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ln -s "$(cd "$1" && pwd)" "$scratch/my build"
export XDG_DATA_HOME="$scratch/data"
fail() { echo "FAIL: $*"; exit 1; }

"$root/tools/install-desktop-entry.sh" "$scratch/my build" >/dev/null
entry="$XDG_DATA_HOME/applications/varnelo.desktop"
[ -f "$entry" ] || fail "no entry at $entry"
exec_line=$(grep '^Exec=' "$entry")
[ "$exec_line" = "Exec=\"$scratch/my build/varnelo\"" ] || fail "command: $exec_line"
[ -x "$scratch/my build/varnelo" ] || fail "the command names no reader"
grep -q '^Icon=varnelo$' "$entry" || fail "icon name"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "invalid entry"; fi

for size in 16 32 48 64 128 256; do
  png="$XDG_DATA_HOME/icons/hicolor/${size}x${size}/apps/varnelo.png"
  [ -f "$png" ] || fail "no icon $png"
  # The PNG header: signature, then the IHDR chunk with width and height, big-endian.
  read -r -a header <<<"$(od -An -tu1 -w24 -N24 "$png")"
  [ "${header[1]} ${header[2]} ${header[3]}" = "80 78 71" ] || fail "$png is no PNG"
  width=$(( (header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19] ))
  height=$(( (header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23] ))
  [ "$width $height" = "$size $size" ] || fail "$png is ${width}x${height}"
done

"$root/tools/install-desktop-entry.sh" --remove >/dev/null
[ ! -e "$entry" ] || fail "entry left after --remove"
[ -z "$(find "$XDG_DATA_HOME/icons" -name varnelo.png)" ] || fail "icons left after --remove"
echo "desktop entry ok"
