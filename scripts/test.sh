#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sanitize=OFF
build="$root/build"
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=ON
  build="$root/build-asan"
  shift
fi

"$root/scripts/install-deps.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DMARVOLEN_WERROR=ON -DMARVOLEN_SANITIZE="$sanitize" "${launcher[@]}" "$@"
cmake --build "$build" -j"$(nproc)"

# Qt wants a private runtime folder; the tests run headless.
XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR QT_QPA_PLATFORM=offscreen
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
if [ "$sanitize" = ON ]; then
  # libxkbcommon-x11 reads past a string from the X server with strndup when a program connects to
  # Xvfb; that is not our code, so the real-program tests do not ask ASan to check strndup.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0"
  export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
ctest --test-dir "$build" --output-on-failure -j2
