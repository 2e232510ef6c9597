#!/usr/bin/env bash
# Builds everything and runs every test: the optimised build the main job runs, then the same tests in
# the Debug build under AddressSanitizer and UndefinedBehaviorSanitizer (a plain Debug build would only
# repeat it, on a 2-core machine); each fuzz target for 30 seconds
# (clang's libFuzzer, under the same sanitizers); then the Windows add-in, built
# for 32-bit (the release DLL, whose image is checked) and 64-bit (tested under wine64, with a private
# Xvfb for its message boxes, and its installer package under Wine's msiexec); last the packages users
# install, the Debian package checked by lintian (scripts/package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
jobs=$(nproc)

for preset in linux-release linux-asan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    ctest --preset "$preset" -j"$jobs"
done

echo "== benchmarks, once each at small size"
build/linux-release/bench/fill-bench --benchmark_filter='/450$' --benchmark_min_time=0.01
bash bench/disk.sh --quick

echo "== linux-fuzz"
bash scripts/fuzz.sh 30

for preset in win32 win64; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done
# One Wine prefix: the Windows tests run one at a time.
ctest --preset win32
ctest --preset win64

echo "== packages"
bash scripts/package.sh
