#!/usr/bin/env bash
# Set up what is missing, build the reader alone (not the tests or the bench), and start
# it. Extra arguments go to the reader; it starts in the caller's folder, so a book named
# relative to it opens, and so does the open dialog.
set -euo pipefail
checkout="$(cd "$(dirname "$0")/.." && pwd)"
"$checkout/tools/setup.sh" --target varnelo build
exec "$checkout/build/varnelo" "$@"
