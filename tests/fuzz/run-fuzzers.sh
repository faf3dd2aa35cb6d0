#!/bin/sh
# Builds the fuzz targets (preset fuzz, clang) and runs each for a bounded
# time. Any finding - a failed check, a sanitizer report, a crash, a hang, a
# leak - fails the run; its input is kept under build/fuzz/fuzzing/TARGET/.
#
#   tests/fuzz/run-fuzzers.sh [SECONDS [TARGET...]]
#
# SECONDS per target, 20 by default; the targets are reply, name, port and cli,
# all by default. Each target fuzzes a working corpus in the build directory,
# seeded from tests/fuzz/corpus/TARGET and kept between runs, so a longer run
# (say 600) goes on from what earlier runs found; the repository's seeds stay
# small.
set -eu

seconds=${1:-20}
case $seconds in
    '' | *[!0-9]* | 0)
        echo "usage: $0 [SECONDS [TARGET...]]  (SECONDS a positive whole number)" >&2
        exit 2
        ;;
esac
[ $# -gt 0 ] && shift
targets=${*:-reply name port cli}

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
work=build/fuzz/fuzzing
mkdir -p "$work"

if ! cmake --preset fuzz >"$work/configure.log" 2>&1 ||
   ! cmake --build --preset fuzz -j "$(nproc)" >"$work/build.log" 2>&1; then
    cat "$work/configure.log" "$work/build.log" >&2
    echo "fuzz: the fuzz build failed" >&2
    exit 1
fi

# Every sanitizer finding ends the input at once; leaks count too.
ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS UBSAN_OPTIONS

passed=0
failed=0
for target in $targets; do
    program=build/fuzz/fuzz_$target
    seeds=tests/fuzz/corpus/$target
    if [ ! -x "$program" ] || [ ! -d "$seeds" ]; then
        echo "fuzz: no target named $target" >&2
        failed=$((failed + 1))
        continue
    fi
    dir=$work/$target
    rm -rf "$dir/artifacts"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp "$seeds"/* "$dir/corpus/"

    # The tool's option parser writes to standard error; -close_fd_mask=2
    # silences the targets, not the reports.
    status=0
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=2 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1 || status=$?

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    if [ "$status" -eq 0 ] && [ -z "$(ls -A "$dir/artifacts")" ]; then
        passed=$((passed + 1))
        echo "fuzz_$target: ${runs:-?} inputs in ${seconds} s, corpus $(ls "$dir/corpus" | wc -l) files, no finding"
    else
        failed=$((failed + 1))
        echo "fuzz_$target: FINDING (exit $status); log $dir/log" >&2
        grep -E -A3 'check failed|ERROR: |runtime error|SUMMARY' "$dir/log" | head -40 >&2 || true
        for artifact in "$dir"/artifacts/*; do
            [ -e "$artifact" ] && echo "  input kept: $artifact (replay: $program $artifact)" >&2
        done
    fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
