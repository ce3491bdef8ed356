#!/usr/bin/env bash
# Idempotent set-up shared by the run and test commands: installs the Debian packages the
# project needs (only those missing), then configures and builds into build/ (or the given
# folder; further arguments go to cmake). --target NAME builds only that target.
#   tools/setup.sh [--target NAME]... [BUILD_DIR [CMAKE_ARGS...]]
set -euo pipefail
cd "$(dirname "$0")/.."

targets=()
while [ "${1:-}" = "--target" ]; do
  [ -n "${2:-}" ] || { echo "setup.sh: --target needs a name" >&2; exit 2; }
  targets+=("$2")
  shift 2
done

packages=(build-essential cmake qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
          libgtest-dev googletest libuchardet-dev libopencc-dev libfontconfig-dev pkg-config
          fonts-noto-cjk fonts-arphic-ukai xvfb xauth locales
          dpkg-dev desktop-file-utils appstream file lintian
          qtkeychain-qt6-dev rclone apache2-utils
          qt6-speech-dev qt6-declarative-dev qt6-speech-speechd-plugin libespeak-ng-dev espeak-ng-data
          qt6-multimedia-dev sox)
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The time formatting tests run under a Chinese locale, as our users do.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "Making the zh_CN.UTF-8 locale"
  $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
if ((${#targets[@]})); then
  cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$build_dir" -j"$(nproc)"
fi
