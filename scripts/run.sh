#!/usr/bin/env bash
# Sets up a fresh machine, builds the program and runs it on the bundled sample question bank.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install-deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}"
cmake --build "$build" -j"$(nproc)" --target marvolen sample_bank

# The program reads tovra.mdb from its current directory.
cd "$build/sample"
exec "$build/app/marvolen" "$@"
