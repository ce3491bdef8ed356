#!/usr/bin/env bash
# Set up what is missing, build, and start the reader. Extra arguments go to the reader.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh build
exec build/varnelo "$@"
