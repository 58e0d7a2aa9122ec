#!/usr/bin/env bash
# The floor libraries refuse a call that reaches a floor above: a call from
# the scene floor to Scene::save (defined in files/) links when the files
# floor is linked, and fails to link, naming the symbol, when only the scene
# floor and those below it are.
# Usage: floor_link_test.sh BUILD_DIR
set -uo pipefail
build="$1"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
if ! cmake --build "$build" --target tl_planted_above >"$out" 2>&1; then
  echo "the planted call did not link with the floor that defines it:" >&2
  cat "$out" >&2
  exit 1
fi
if cmake --build "$build" --target tl_planted_below >"$out" 2>&1; then
  echo "a call reaching a higher floor linked" >&2
  exit 1
fi
if ! grep -q "undefined reference to .qel::Scene::save" "$out"; then
  echo "the planted call failed for another reason:" >&2
  cat "$out" >&2
  exit 1
fi
echo "floor libraries: a call reaching a higher floor fails to link"
