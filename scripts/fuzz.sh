#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# each one in turn, starting from its seed corpus in fuzz/corpus/.
#   scripts/fuzz.sh [SECONDS [TARGET...]]      SECONDS per target (default 30); targets default to all
#   VARNOOK_FUZZ_RUNS=N                        stop a target after N executions instead (SECONDS stays a cap)
#   VARNOOK_FUZZ_PRESET=linux-fuzz-fast        the optimised build with UBSan only, for long runs
# What a target finds is kept as build/<preset>/artifacts/<target>/crash-*; the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(metadata locate pattern command-line)

preset=${VARNOOK_FUZZ_PRESET:-linux-fuzz}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"

root=$PWD
build=$root/build/$preset
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
for target in "${targets[@]}"; do
    # The repository's corpus stays as it is; what a run adds lives in the build tree.
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    runs=()
    [ -z "${VARNOOK_FUZZ_RUNS:-}" ] || runs=(-runs="$VARNOOK_FUZZ_RUNS")
    echo "== fuzz-$target: ${seconds}s ${runs[*]:-}"
    if ! (cd "$artifacts" && "$build/fuzz/fuzz-$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
            -print_final_stats=1 "${runs[@]}" -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus/$target" \
            2>"$artifacts/log"); then
        status=1
        echo "fuzz-$target FAILED; its log:" >&2
        grep -v '^    #' "$artifacts/log" | tail -40 >&2
    fi
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb|#[0-9]+ +DONE)' \
        "$artifacts/log" || true
done
exit $status
