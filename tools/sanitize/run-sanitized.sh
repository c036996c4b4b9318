#!/bin/sh
# Runs every test of a build made with AddressSanitizer and UndefinedBehaviorSanitizer (see
# `make check-sanitize`). Every sanitized process writes its reports into one directory instead
# of its standard error: the test processes themselves and the programs they start (the
# program, quillpad-send, the helpers), whose output a test may never show. Any report there
# fails the run, even when every test passed.
set -eu
build_dir=$(cd "${1:-build-sanitize}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

reports="$build_dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"

to_file="log_path=$reports/report:log_exe_name=1"
# Options given by the caller come after ours and win. A leak's allocation stack stops at the
# first frame in Qt (its libraries keep no frame pointers); ASAN_OPTIONS=fast_unwind_on_malloc=0
# gives whole stacks, at several times the run's length.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}:$to_file"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:$to_file"
# Leaks inside the system's libraries only; see the file for what and why.
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
# Sanitized code runs several times slower: the tests' own time bounds stretch by this factor.
export QUILLPAD_TEST_TIME_SCALE="${QUILLPAD_TEST_TIME_SCALE:-4}"
# QtTest's own limit on one test function, as long as ctest's on the whole test.
export QTEST_FUNCTION_TIMEOUT="${QTEST_FUNCTION_TIMEOUT:-1200000}"

status=0
"$here/../run-tests.sh" "$build_dir" || status=$?

found=$(find "$reports" -type f | sort)
if [ -n "$found" ]; then
    for report in $found; do
        echo "===== $(basename "$report")"
        cat "$report"
    done
    echo "Sanitizer reports: $(echo "$found" | wc -l) (in $reports)" >&2
    exit 1
fi
[ "$status" -eq 0 ] && echo "No sanitizer reports."
exit "$status"
