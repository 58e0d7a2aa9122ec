#!/usr/bin/env bash
# The layer check passes on this tree and, on a tree with one planted fault
# of each form, refuses every one of them, naming the file and line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/check-layers" "$root" >/dev/null

tmp="$(mktemp -d)"
outside=
trap 'rm -rf "$tmp" ${outside:+"$outside"}' EXIT
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
# Forms the compiler reads as includes: a comment inside the directive, the
# digraph, a backslash-newline splice, and a name through a link.
printf '#/**/include "app/x.h"\n' >view/comment.cpp
printf '#/* a comment\n   over lines */ include "app/x.h"\n' >view/longcomment.cpp
printf '%%:include "app/x.h"\n' >view/digraph.cpp
printf 'int a;\n#inc\\\nlude "app/x.h"\n' >view/splice.cpp
printf '#include \\\n  "app/x.h"\n' >view/splicename.cpp
ln -s ../app view/up
printf '#include "up/x.h"\n' >view/link.cpp
ln -s ../scene/tool.h core/tool_link.h
printf '#include "core/tool_link.h"\n' >core/linked_file.cpp
outside="$(mktemp -d)"
touch "$outside/o.h"
ln -s "$outside" scene/outside
printf '#include "scene/outside/o.h"\n' >scene/far.cpp
# Not includes: commented out, or inside a literal.
printf '// #include "app/x.h"\n/*\n#include "app/x.h"\n*/\nconst char *s = "#include \\"app/x.h\\"";\n' >view/commented.cpp

"$root/scripts/check-layers" "$tmp" >"$tmp/out" 2>"$tmp/err" && { echo "a planted fault passed"; exit 1; }
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
expect 'view/comment.cpp:1: view includes app'
expect 'view/longcomment.cpp:1: view includes app'
expect 'view/digraph.cpp:1: view includes app'
expect 'view/splice.cpp:2: view includes app'
expect 'view/splicename.cpp:1: view includes app'
expect 'view/link.cpp:1: view includes app'
expect 'core/linked_file.cpp:1: core includes scene'
expect 'scene/far.cpp:1: scene includes a file outside the tree through a link'
# Nothing else: the sound includes pass.
[ "$(wc -l <"$tmp/out")" -eq 20 ] || { echo "unexpected refusals:"; cat "$tmp/out"; exit 1; }
echo "check-layers: refuses every planted form"
