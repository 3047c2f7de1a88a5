#!/usr/bin/env bash
# Runs every libFuzzer target built in a tree for a bounded smoke, two at a time:
#   tests/fuzz/run_fuzzers.sh build-fuzz
# Each target reads its seeds from tests/fuzz/corpus/<name without _fuzz>/ and writes what it
# finds only into a temporary directory. Crash inputs are kept in <build-dir>/fuzz-artifacts/.
# FUZZ_RUNS, FUZZ_SECONDS and FUZZ_JOBS change the bounds. Fails when any target fails.
set -euo pipefail

if [[ $# -ne 1 || ! -d $1 ]]; then
    echo "usage: $0 <build-dir>" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
corpora=$(cd "$(dirname "$0")" && pwd)/corpus
runs=${FUZZ_RUNS:-60000}
seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-2}

mapfile -t targets < <(find "$build" -type f -name '*_fuzz' -perm -u+x -not -path '*/CMakeFiles/*' |
    sort)
if [[ ${#targets[@]} -eq 0 ]]; then
    echo "no *_fuzz binaries under $build (cmake --build $1 --target fuzz)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

# One target: new inputs go to the first directory, so the repository's seeds stay as they are.
fuzz_one() {
    local binary=$1 name
    name=$(basename "$binary")
    local seeds=$corpora/${name%_fuzz}
    mkdir -p "$work/$name.corpus"
    local dirs=("$work/$name.corpus")
    if [[ -d $seeds ]]; then
        dirs+=("$seeds")
    else
        echo "warning: no seeds for $name in $seeds" >&2
    fi
    local start=$SECONDS status=0
    # The outer timeout only catches a target that stops answering libFuzzer's own limits.
    UBSAN_OPTIONS=print_stacktrace=1 timeout $((seconds + 120)) "$binary" -runs="$runs" \
        -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${dirs[@]}" >"$work/$name.log" 2>&1 || status=$?
    echo "$status $((SECONDS - start))" >"$work/$name.result"
}

running=0
for binary in "${targets[@]}"; do
    if [[ $running -ge $jobs ]]; then
        wait -n
        running=$((running - 1))
    fi
    fuzz_one "$binary" &
    running=$((running + 1))
done
wait

failed=0
for binary in "${targets[@]}"; do
    name=$(basename "$binary")
    read -r status took <"$work/$name.result"
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$work/$name.log")
    if [[ $status -eq 0 ]]; then
        echo "$name: ${executed:-?} runs in ${took} s, ${added:-0} new inputs"
    else
        failed=1
        echo "$name: FAILED (exit $status after ${took} s, ${executed:-?} runs); the end of its log:"
        tail -n 60 "$work/$name.log"
    fi
done
exit $failed
