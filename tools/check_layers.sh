#!/usr/bin/env bash
# Fails, printing file:line, on an include that reaches up the layers or on a Qt include in
# the pure library. Layers, bottom to top: platform, res, store, text, aids, app; a file
# may include its own layer and those below.
#   tools/check_layers.sh [--root DIR] [PURE_SOURCE...]   (the sources of varnelo_core)
#   tools/check_layers.sh --self-test                     (runs on a small made-up tree)
set -euo pipefail

layers=(platform res store text aids app)

# Prints every fault under $1 and returns 1 if there is one; the other arguments are the
# pure library's sources, each .cpp also standing for its .h beside it.
check() {
  local root=$1
  shift
  local pure="" missing=0 source rel
  for source in "$@"; do
    rel=${source#"$root"/}
    # Generated sources (moc output in the build folder) are not ours to check.
    case ${rel%%/*} in platform | res | store | text | aids | app) ;; *) continue ;; esac
    if [ ! -f "$root/$rel" ]; then
      echo "$rel: listed in the pure library but not found"
      missing=1
      continue
    fi
    pure+="$rel"$'\n'
    if [[ $rel == *.cpp && -f "$root/${rel%.cpp}.h" ]]; then pure+="${rel%.cpp}.h"$'\n'; fi
  done

  cd "$root"
  local files=() layer
  shopt -s globstar nullglob
  for layer in "${layers[@]}"; do files+=("$layer"/**/*.h "$layer"/**/*.cpp); done
  shopt -u globstar nullglob
  ((${#files[@]})) || return "$missing"

  LAYERS="${layers[*]}" PURE="$pure" awk '
    BEGIN {
      n = split(ENVIRON["LAYERS"], names, " ")
      for (i = 1; i <= n; i++) rank[names[i]] = i
      m = split(ENVIRON["PURE"], list, "\n")
      for (i = 1; i <= m; i++) if (list[i] != "") pure[list[i]] = 1
    }
    # The file a quoted include names: a leading layer folder is from the top of the tree,
    # anything else from the including file folder.
    function resolve(dir, header,    parts, k, i, depth, stack, out) {
      if (header !~ /^\.\.?\// && (substr(header, 1, index(header "/", "/") - 1) in rank))
        return header
      k = split(dir "/" header, parts, "/")
      depth = 0
      for (i = 1; i <= k; i++) {
        if (parts[i] == "" || parts[i] == ".") continue
        if (parts[i] == "..") { if (depth == 0) return ""; depth--; continue }
        stack[++depth] = parts[i]
      }
      out = stack[1]
      for (i = 2; i <= depth; i++) out = out "/" stack[i]
      return out
    }
    FNR == 1 {
      own = FILENAME; sub(/\/.*/, "", own)
      dir = FILENAME; sub(/\/[^\/]*$/, "", dir)
      below = names[1]
      for (i = 2; i <= rank[own]; i++) below = below ", " names[i]
    }
    /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
      rest = $0
      sub(/^[ \t]*#[ \t]*include[ \t]*/, "", rest)
      if (substr(rest, 1, 1) == "<") {
        header = substr(rest, 2, index(rest, ">") - 2)
        if ((FILENAME in pure) && header ~ /^Q/) {
          print FILENAME ":" FNR ": Qt include <" header "> in the pure library"
          bad = 1
        }
        next
      }
      rest = substr(rest, 2)
      header = substr(rest, 1, index(rest, "\"") - 1)
      target = resolve(dir, header)
      top = target; sub(/\/.*/, "", top)
      if ((top in rank) && rank[top] > rank[own]) {
        print FILENAME ":" FNR ": upward include \"" header "\" (" own "/ may include " below ")"
        bad = 1
      }
    }
    END { exit bad }
  ' "${files[@]}" || return 1
  return "$missing"
}

# Writes a file of the made-up tree: path, then its lines.
put() {
  local path=$1
  shift
  mkdir -p "$(dirname "$path")"
  printf '%s\n' "$@" >"$path"
}

# Runs the check on the made-up tree; compares the status and the file:line list printed.
expect() {
  local want_status=$1 want=$2 out status=0
  shift 2
  out=$(check "$tree" "$@") || status=$?
  [ "$status" = "$want_status" ] && [ "$(cut -d: -f1,2 <<<"$out")" = "$want" ] && return
  printf 'self-test: status %s, not %s; printed\n%s\ninstead of\n%s\n' \
    "$status" "$want_status" "$out" "$want" >&2
  return 1
}

self_test() {
  put "$tree/platform/base.h" '#pragma once' '#include <string>'
  put "$tree/platform/base.cpp" '#include "base.h"' '#include "platform/base.h"'
  put "$tree/store/store.h" '#pragma once'
  put "$tree/store/store.cpp" '#include "store/store.h"' '  #  include "text/engine.h"' \
    '// #include "app/frame.h"' '#include "platform/base.h"'
  put "$tree/text/engine.h" '#pragma once' '#include <QtCore/QString>'
  put "$tree/text/engine.cpp" '#include "engine.h"' '#include <vector>' '#include <QObject>' \
    '#include "../app/frame.h"' '#include "./parse/line.h"' '#include <string> // not <QFile>'
  put "$tree/text/parse/line.h" '#pragma once' '#include "store/store.h"'
  put "$tree/aids/side.cpp" '#include <QWidget>' '#include "app/frame.h"'
  put "$tree/app/frame.h" '#pragma once' '#include <QMainWindow>' '#include "text/engine.h"'
  put "$tree/app/frame.cpp" '#include "frame.h"' '#include "aids/side.h"' '#include "res/x.h"'
  # Given as CMake gives them: relative, absolute, and generated in the build folder.
  local pure=(text/engine.cpp "$tree/platform/base.cpp" build/core_autogen/mocs_compilation.cpp)

  local faults=(store/store.cpp:2 text/engine.h:2 text/engine.cpp:3 text/engine.cpp:4 aids/side.cpp:2)
  expect 1 "$(printf '%s\n' "${faults[@]}")" "${pure[@]}"
  sed -i '2d' "$tree/store/store.cpp" "$tree/aids/side.cpp" "$tree/text/engine.h"
  sed -i '3,4d' "$tree/text/engine.cpp"
  expect 0 "" "${pure[@]}"
  expect 1 "store/gone.cpp: listed in the pure library but not found" store/gone.cpp
  echo "self-test passed"
}

root="$(cd "$(dirname "$0")/.." && pwd)"
case "${1:-}" in
  --self-test)
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' EXIT
    self_test "$tree"
    exit
    ;;
  --root)
    root=$2
    shift 2
    ;;
esac
check "$root" "$@"
