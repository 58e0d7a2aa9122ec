#!/usr/bin/env bash
# The include-scope check passes on this tree and, on a tree with includes
# planted inside a class body, a function body and an initialiser, refuses
# each of them, naming the file and line, and none of the includes at file
# scope around them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/check-include-scope" "$root" >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/mesh" "$tmp/view" "$tmp/build/x" "$tmp/.hidden"
# File scope: inside namespaces and an extern "C" block, after
# conditional branches that each open a brace, and after braces that only a
# directive, a comment or a literal holds.
cat >"$tmp/mesh/sound.h" <<'SOURCE'
#pragma once
#include <vector>
namespace a { namespace b::c {
#include "mesh/in_namespace.h"
inline namespace v1 {
#include "mesh/in_inline_namespace.h"
}
}}
namespace {
#include "mesh/in_anonymous_namespace.h"
}
extern "C" {
#include "mesh/in_linkage.h"
}
#define OPEN {
const char* s = "{ \" {";
const char c = '{';
const char* r = R"x({ )" })x";
int n = 1'000'000;
// {
/* { */
#if defined(A)
struct S {
#else
struct S { int q;
#endif
};
#include "mesh/after_branches.h"
SOURCE
# Planted: one include in a class body, one in an initialiser inside a
# function, one inside digraph braces; a class in a namespace.
cat >"$tmp/mesh/planted.h" <<'SOURCE'
#pragma once
namespace qel {
class Mesh {
public:
#include "mesh/members.h"
    void f() {
        int x[] = {
#include "mesh/table.inc"
        };
    }
};
}
SOURCE
printf 'struct T <%%\n  %%:include "view/digraph.h"\n%%>;\n' >"$tmp/view/digraph.cpp"
# Build and hidden folders are not read.
printf 'struct U {\n#include "x.h"\n};\n' >"$tmp/build/x/built.h"
cp "$tmp/build/x/built.h" "$tmp/.hidden/hidden.h"

"$root/scripts/check-include-scope" "$tmp" >"$tmp/out" 2>"$tmp/err" && { echo "a planted include passed"; exit 1; }
expect() {
  grep -qF "$1" "$tmp/out" || { echo "not refused: $1"; cat "$tmp/out"; exit 1; }
}
expect 'mesh/planted.h:5: an include inside the braces opened on line 3'
expect 'mesh/planted.h:8: an include inside the braces opened on line 7'
expect 'view/digraph.cpp:2: an include inside the braces opened on line 1'
# Nothing else: the includes at file scope pass.
[ "$(wc -l <"$tmp/out")" -eq 3 ] || { echo "unexpected refusals:"; cat "$tmp/out"; exit 1; }
echo "check-include-scope: refuses every planted include"
