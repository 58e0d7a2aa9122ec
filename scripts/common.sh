# Shared settings of the build scripts (sourced, not run).
TL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Jobs of the builds and test runs: TL_JOBS when set, else one per core.
TL_JOBS="${TL_JOBS:-$(nproc 2>/dev/null || echo 2)}"

# Configures and builds one build directory: tl_build DIR BUILD_TYPE [cmake args...]
tl_build() {
  local dir="$1" type="$2"
  shift 2
  cmake -S "$TL_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$dir" -j "$TL_JOBS"
}

# Makes sure an X display exists for the GL tests: the existing one, or one
# private Xvfb started for the rest of the calling script (stopped on exit).
# One server for every test pass avoids racing for display numbers, and
# -noreset keeps it from resetting (and refusing connections) each time its
# last client leaves.
tl_ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n=90
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
  Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  TL_XVFB_PID=$!
  trap 'kill "$TL_XVFB_PID" 2>/dev/null' EXIT
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${n}" ] && break
    sleep 0.1
  done
  if [ ! -e "/tmp/.X11-unix/X${n}" ]; then
    echo "Xvfb did not start on :${n}" >&2
    return 1
  fi
  export DISPLAY=":${n}"
}
