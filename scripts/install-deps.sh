#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Tripwatch need.
# Idempotent: packages already present are not touched; apt is only called when
# something is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools
    zlib1g-dev libsqlite3-dev nlohmann-json3-dev libfreexl-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    poppler-utils python3 xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
