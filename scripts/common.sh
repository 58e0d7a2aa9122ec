# Shared settings of the build scripts (sourced, not run).
TL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TL_JOBS="$(nproc 2>/dev/null || echo 2)"

# Configures and builds one build directory: tl_build DIR BUILD_TYPE [cmake args...]
tl_build() {
  local dir="$1" type="$2"
  shift 2
  cmake -S "$TL_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$dir" -j "$TL_JOBS"
}

# Runs a command with an X display: the existing one, or a private Xvfb.
tl_with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
