#!/usr/bin/env bash
# Puts Varnelo in the desktop's application menu for the current user: the entry in
# ~/.local/share/applications and the icon, at the usual sizes, in the hicolor theme.
#   tools/install-desktop-entry.sh              builds the reader into build/ first
#   tools/install-desktop-entry.sh BUILD_DIR    uses a reader already built there
#   tools/install-desktop-entry.sh --remove     takes the entry and the icons away again
# XDG_DATA_HOME, when set, replaces ~/.local/share.
set -euo pipefail
cd "$(dirname "$0")/.."
data="${XDG_DATA_HOME:-$HOME/.local/share}"
app_id=$(head -n 1 packaging/app-id)
entry="$data/applications/$app_id.desktop"
icons="$data/icons/hicolor"

# An entry and icons installed under the reader's earlier name would show it twice.
remove_earlier() { rm -f "$data/applications/varnelo.desktop" "$icons"/*/apps/varnelo.png; }

refresh() {
  command -v update-desktop-database >/dev/null && update-desktop-database -q "$data/applications" || true
  command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
}

if [ "${1:-}" = "--remove" ]; then
  rm -f "$entry" "$icons"/*/apps/"$app_id".png
  remove_earlier
  refresh
  echo "Removed $entry and its icons"
  exit 0
fi

if [ -n "${1:-}" ]; then
  build_dir=$(cd "$1" && pwd)
else
  tools/setup.sh --target varnelo --target varnelo-icons build
  build_dir="$PWD/build"
fi
reader="$build_dir/varnelo"
[ -x "$reader" ] || { echo "install-desktop-entry: no reader at $reader" >&2; exit 1; }

QT_QPA_PLATFORM=offscreen "$build_dir/varnelo-icons" "$icons"

# Exec is quoted, with the characters the desktop entry format reserves escaped; %f is the
# book chosen with "Open with".
string_escape() { printf '%s' "$1" | sed -e 's/\\/\\\\/g'; }
quoted=$(printf '%s' "$reader" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g')
exec_line=$(string_escape "\"$quoted\" %f")
try_exec=$(string_escape "$reader")
mkdir -p "$data/applications"
sed -e "s|@EXEC@|$(printf '%s' "$exec_line" | sed 's/[|&\\]/\\&/g')|" \
    -e "s|@TRYEXEC@|$(printf '%s' "$try_exec" | sed 's/[|&\\]/\\&/g')|" \
    -e "s|@APP_ID@|$app_id|" res/varnelo.desktop.in >"$entry.tmp"
mv "$entry.tmp" "$entry"
remove_earlier
refresh
echo "Installed $entry (starts $reader)"
