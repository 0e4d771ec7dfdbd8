#!/usr/bin/env bash
# Builds every preset CI needs and runs every test: unit tests, the renderer
# end to end, the cross-target frame comparison and the Windows saver under
# Wine, then the whole unit suite again under AddressSanitizer + UBSan.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
for preset in mingw-i686 mingw-x64 linux-i686; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
cmake --preset native -DKIVO_CROSSCHECK=ON >/dev/null
cmake --build --preset native -j "$jobs"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"

ctest --preset native -j "$jobs"
ctest --preset sanitize -j "$jobs"
