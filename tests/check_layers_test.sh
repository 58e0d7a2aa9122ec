#!/usr/bin/env bash
# The layer check passes on this tree and, on a tree with one planted fault
# of each form, refuses every one of them, naming the file and line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/check-layers" "$root" >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
mkdir -p core scene mesh curves view app tests extra
touch app/x.h view/v.h scene/tool.h core/vec.h mesh/mesh.h curves/curve.h tests/t.h extra/e.h
# Sound includes: own floor, lower floors, system headers, a generated file.
printf '#include "core/vec.h"\n#include <vector>\n#include "tool.h"\n' >scene/ok.h
printf '#include "app/main_window_table.inc"\n#include "view/v.h"\n' >app/ok.cpp
# One planted fault a line or a file.
printf '#include <vector>\n#  include "scene/tool.h"\n' >core/low.cpp
printf '#include "app/window.h"\n' >view/plain.cpp
printf '#include "../app/x.h"\n' >view/relative.cpp
printf '#include <app/x.h>\n' >view/angled.cpp
printf '#include "view/v.h"\n' >scene/header.hpp
printf '#include "view/v.h"\n' >scene/inline.inl
printf '#define HEADER "app/x.h"\n#include HEADER\n' >view/macro.cpp
printf '#include "curves/curve.h"\n' >mesh/sideways.cpp
printf '#include "mesh/mesh.h"\n' >curves/sideways.cpp
printf '#include "tests/t.h"\n' >view/tests.cpp
printf '#include "extra/e.h"\n' >app/extra.cpp
printf '#include "core/vec.h"\n' >extra/e.cpp

"$root/scripts/check-layers" "$tmp" >"$tmp/out" 2>/dev/null && { echo "a planted fault passed"; exit 1; }
expect() {
  grep -qF "$1" "$tmp/out" || { echo "not refused: $1"; cat "$tmp/out"; exit 1; }
}
expect 'core/low.cpp:2: core includes scene'
expect 'view/plain.cpp:1: view includes app'
expect 'view/relative.cpp:1: view includes app'
expect 'view/angled.cpp:1: view includes app'
expect 'scene/header.hpp:1: scene includes view'
expect 'scene/inline.inl:1: scene includes view'
expect 'view/macro.cpp:2: view includes through a macro'
expect 'mesh/sideways.cpp:1: mesh includes curves, which shares its floor'
expect 'curves/sideways.cpp:1: curves includes mesh, which shares its floor'
expect 'view/tests.cpp:1: view includes tests, a folder on no floor'
expect 'app/extra.cpp:1: app includes extra, a folder on no floor'
expect 'extra/: a folder on no floor and not listed apart'
# Nothing else: the sound includes pass.
[ "$(wc -l <"$tmp/out")" -eq 12 ] || { echo "unexpected refusals:"; cat "$tmp/out"; exit 1; }
echo "check-layers: refuses every planted form"
