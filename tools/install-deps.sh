#!/bin/sh
# Installs the Debian packages Tessaro needs to build, test and show its
# texts, and the X tools with which the run command asks whether its display
# answers; does nothing when they are all there already.
set -eu

PACKAGES="build-essential cmake qtbase5-dev qtbase5-dev-tools fonts-noto-cjk fonts-noto-color-emoji fonts-wqy-microhei qttranslations5-l10n x11-utils"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -q
# shellcheck disable=SC2086
$as_root apt-get install -y -q --no-install-recommends $missing
