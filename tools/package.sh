#!/usr/bin/env bash
# Builds the reader (installing what it needs, as the set-up does) and the Debian package
# varnelo_<version>_<arch>.deb in the project's folder; the package's path is the last line.
#   tools/package.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --target varnelo --target varnelo-icons build
packaging/make-deb.sh build "${1:-.}"
