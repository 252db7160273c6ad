#!/usr/bin/env bash
# Installs what is missing, builds the debug and the sanitizer (ASan + UBSan) configurations
# with warnings as errors, and runs every test through ctest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

for preset in debug asan; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" -DTESSARIN_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== ${preset}: test"
  ctest --preset "$preset" -j "$jobs"
done

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz: bounded libFuzzer runs"
  cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build build/fuzz -j "$jobs"
  ctest --test-dir build/fuzz --output-on-failure -L fuzz
fi
