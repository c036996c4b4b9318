#!/bin/sh
# Runs every test inside a private network namespace that holds only loopback, so that the
# program's broadcasts never leave this machine while the tests run.
set -eu
build_dir=${1:-build}

inner="ip link set lo up && exec ctest --test-dir '$build_dir' --output-on-failure -j2 --timeout 600"
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n sh -c "$inner"
elif unshare -rn true 2>/dev/null; then
    exec unshare -rn sh -c "$inner"
fi
echo "Cannot create a private network namespace (unshare -n / unshare -rn); refusing to run" >&2
echo "the tests on the real network. Run as root or allow unprivileged user namespaces." >&2
exit 1
