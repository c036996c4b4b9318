#!/bin/sh
# Installs those of the given Debian packages that are missing; does nothing when all are there.
set -eu
missing=""
for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $pkg"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "These packages are missing and there is no sudo to install them:$missing" >&2
    exit 1
fi
$sudo apt-get -o DPkg::Lock::Timeout=600 update -q
# Another package manager may hold the lock for a while (unattended upgrades); wait for it.
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends $missing
