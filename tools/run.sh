#!/usr/bin/env bash
# Set up what is missing, build the reader alone (not the tests or the bench), and start
# it. Extra arguments go to the reader.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --target varnelo build
exec build/varnelo "$@"
