#!/bin/sh
# Runs fuzz targets of a fuzz build tree, each for the given number of seconds, one after the
# other: tools/run-fuzz.sh BUILD_DIR SECONDS [TARGET...] (all six when none is named).
# Each target first runs the inputs of earlier findings (fuzz/regressions/<target>), then fuzzes
# starting from its corpus in BUILD_DIR/corpus/<target>, which grows from run to run, and from
# the seeds: fuzz/corpus/<target> and the matching test data. Extra seed directories may be
# named in QUILLPAD_FUZZ_SEEDS (blank-separated). A finding is written to
# BUILD_DIR/fuzz-artifacts/ and makes the script fail. QUILLPAD_FUZZ_RUNS ends a target's run
# after that many executions, if its time has not run out before.
set -eu
build_dir=${1:?build directory}
seconds=${2:?seconds per target}
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=${*:-fuzz_record fuzz_logon fuzz_book fuzz_ftp fuzz_rtf fuzz_registry}

failed=""
# Seeds larger than this only slow the fuzzer down; the long test files are for the tests.
max_seed_kb=64

for target in $targets; do
    binary="$build_dir/fuzz/$target"
    [ -x "$binary" ] || { echo "$binary is not built" >&2; exit 1; }
    corpus="$build_dir/corpus/$target"
    seeds="$build_dir/seeds/$target"
    artifacts="$build_dir/fuzz-artifacts"
    mkdir -p "$corpus" "$artifacts"
    rm -rf "$seeds"
    mkdir -p "$seeds"

    # Test data holds notes and sources beside the inputs: only the inputs are seeds.
    data="" pattern="*"
    case $target in
        fuzz_ftp) data="$source_dir/tests/data/ftp" ;;
        fuzz_rtf) data="$source_dir/tests/data/rtf" pattern="*.rtf" ;;
    esac
    for dir in "$source_dir/fuzz/corpus/$target" "$source_dir/fuzz/regressions/$target"; do
        [ -d "$dir" ] && cp "$dir"/* "$seeds"/ 2>/dev/null || true
    done
    for dir in $data ${QUILLPAD_FUZZ_SEEDS:-}; do
        [ -d "$dir" ] || continue
        find "$dir" -type f -size -"${max_seed_kb}"k -name "$pattern" ! -name '*.md' \
            ! -name '*.py' ! -name '*.sh' ! -name '*.conf' |
            while read -r file; do
                cp "$file" "$seeds/$(echo "$file" | md5sum | cut -c1-16)"
            done
    done

    options="-max_total_time=$seconds -timeout=10 -rss_limit_mb=2048 -print_final_stats=1"
    options="$options -artifact_prefix=$artifacts/$target-"
    [ -n "${QUILLPAD_FUZZ_RUNS:-}" ] && options="$options -runs=$QUILLPAD_FUZZ_RUNS"
    [ -f "$source_dir/fuzz/dict/$target.dict" ] && options="$options -dict=$source_dir/fuzz/dict/$target.dict"
    [ "$target" = fuzz_rtf ] && options="$options -max_len=32768"

    if [ -d "$source_dir/fuzz/regressions/$target" ] &&
        [ -n "$(ls -A "$source_dir/fuzz/regressions/$target")" ]; then
        echo "== $target: earlier findings"
        # shellcheck disable=SC2046
        "$binary" -timeout=10 $(find "$source_dir/fuzz/regressions/$target" -type f) ||
            { failed="$failed $target"; continue; }
    fi
    echo "== $target: fuzzing for $seconds s"
    # shellcheck disable=SC2086
    "$binary" $options "$corpus" "$seeds" || failed="$failed $target"
done
if [ -n "$failed" ]; then
    echo "Findings in:$failed (see $build_dir/fuzz-artifacts/)" >&2
    exit 1
fi
