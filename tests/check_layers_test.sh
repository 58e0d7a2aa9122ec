#!/usr/bin/env bash
# The layer check passes on this tree and fails, naming the include, on a
# tree where a low floor includes a higher one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/check-layers" "$root" >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/core" "$tmp/scene" "$tmp/view" "$tmp/app"
printf '#include "core/vec.h"\n' >"$tmp/scene/ok.h"
printf '#include "app/window.h"\n' >"$tmp/view/ok.cpp"
printf '#include <vector>\n#  include "scene/tool.h"\n' >"$tmp/core/low.cpp"
"$root/scripts/check-layers" "$tmp" >"$tmp/out" 2>/dev/null && { echo "an upward include passed"; exit 1; }
grep -q 'core/low.cpp:2: core includes scene' "$tmp/out"
grep -q 'view/ok.cpp:1: view includes app' "$tmp/out"
[ "$(wc -l <"$tmp/out")" -eq 2 ]
echo "check-layers: refuses upward includes"
