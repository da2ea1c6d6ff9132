#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan in build-fuzz/, replays every kept crash
# input under fuzz/regressions/ and runs each target for a short fixed time from its seed corpus.
#   scripts/fuzz.sh [SECONDS]   seconds per target, 30 unless given
# MARVOLEN_FUZZ_BUILD names another build directory.
# Exits non-zero when a target crashes, leaks, hangs (10 s per input) or exceeds 2 GB.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build="${MARVOLEN_FUZZ_BUILD:-$root/build-fuzz}"
targets=(fuzz_open_bank fuzz_statement fuzz_version_text fuzz_banksource)

"$root/scripts/install-deps.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARVOLEN_BUILD_FUZZERS=ON -DMARVOLEN_BUILD_TESTS=OFF -DMARVOLEN_SANITIZE=ON -DMARVOLEN_WERROR=ON \
  "${launcher[@]}"
cmake --build "$build" --target fuzzers -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  regressions=("$root/fuzz/regressions/$target"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "== $target: replaying ${#regressions[@]} kept inputs"
    "$binary" -rss_limit_mb=2048 -timeout=10 "${regressions[@]}"
  fi

  # A copy, so that what the run adds stays out of the repository's seeds.
  mkdir -p "$work/$target" "$build/fuzz-artifacts/$target"
  cp "$root/fuzz/corpus/$target"/* "$work/$target/"
  echo "== $target: fuzzing for $seconds s"
  "$binary" "$work/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$target/" 2>&1 | grep -Ev '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' \
    || { echo "$target failed; the input is in $build/fuzz-artifacts/$target/" >&2; exit 1; }
done
