#!/usr/bin/env bash
# Builds every preset CI needs and the release files (build/dist), and runs
# every test: unit tests, the renderer end to end, the cross-target frame
# comparison, both Windows savers under the WoW64 Wine of the Wine root (made
# once, then reused), the installer, the X11 host under Xvfb and on two
# monitors, the Debian package and the robustness checks; then
# scripts/run.sh on a fresh minimal Debian 13 root with this repository cloned
# in (made for the check and removed after it); then the unit suite and a
# 20000-frame soak under AddressSanitizer + UBSan; then each fuzzer for a
# short while (KIVO_FUZZ_SECONDS, 15 by default).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/wine-root.sh make

jobs=$(nproc)
for preset in mingw-i686 mingw-x64 linux-i686 everything; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
scripts/release.sh >/dev/null   # the installer, the zip and the package, for the tests below
ctest --preset everything -j "$jobs"
tests/e2e/fresh_debian_test.sh build/native/kivo-render   # scripts/run.sh on a fresh Debian 13
cmake --workflow --preset sanitize
cmake --workflow --preset fuzz
