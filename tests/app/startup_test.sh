#!/usr/bin/env bash
# The built program, started from an empty working directory: it keeps
# running on a display (with no Qt connection warning), ends with 40 below
# OpenGL 4.0, and without any display ends through its own one-line message.
# Usage: startup_test.sh PROGRAM (needs an X display in DISPLAY).
set -u
program="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
# The program keeps prefiltered environments in the user's cache folder: here a
# folder of the test's own.
export XDG_CACHE_HOME="$work/cache"
fail() { echo "FAILED: $*" >&2; exit 1; }

"$program" 2>"$work/err" &
pid=$!
sleep 4
kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"
kill "$pid"
wait "$pid"
if grep -E "QObject::connect|connectSlotsByName|No such (slot|signal)" "$work/err"; then
  fail "Qt connection warnings"
fi

MESA_GL_VERSION_OVERRIDE=3.3 timeout 60 "$program" 2>/dev/null
code=$?
[ "$code" -eq 40 ] || fail "below OpenGL 4.0 the exit code is $code, not 40"

env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$program" 2>"$work/err"
code=$?
[ "$code" -ne 0 ] && [ "$code" -ne 40 ] && [ "$code" -lt 128 ] || fail "without a display the exit code is $code"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "without a display standard error holds: $(cat "$work/err")"
grep -q "needs a graphical display" "$work/err" || fail "the message is: $(cat "$work/err")"
echo "start-up checks passed"
