#!/bin/sh
# Builds the libFuzzer targets (preset "fuzz") and runs each for the given
# number of seconds (default 5), starting from the seeds in tests/fuzz/corpus.
# Prints executions and findings per target; exits non-zero on any finding.
# QUILLFRAME_FUZZ_BUILD overrides the build folder (default build/fuzz).
set -eu

seconds="${1:-5}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLFRAME_FUZZ_BUILD:-$root/build/fuzz}"
targets="manifest_fuzz web_message_fuzz byte_range_fuzz request_path_fuzz response_plan_fuzz pe_image_fuzz app_icon_fuzz"

cmake --preset fuzz -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 >/dev/null

status=0
for target in $targets; do
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    work="$build/work/$target"
    artifacts="$build/findings/$target"
    rm -rf "$work" "$artifacts"
    mkdir -p "$work" "$artifacts"
    log="$build/work/$target.log"
    if "$build/bin/$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        result=0
    else
        result=$?
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    findings=$(find "$artifacts" -type f | wc -l)
    if [ "$result" -ne 0 ] && [ "$findings" -eq 0 ]; then findings=1; fi
    echo "$target: ${runs:-0} executions, $findings findings"
    if [ "$findings" -ne 0 ]; then
        status=1
        find "$artifacts" -type f -exec echo "  {}" \;
        echo "  log: $log"
    fi
done
exit "$status"
