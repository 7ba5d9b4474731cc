#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Tripwatch need.
# Idempotent: packages already present are not touched; apt is only called when
# something is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev
    zlib1g-dev libsqlite3-dev nlohmann-json3-dev libfreexl-dev libcli11-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    poppler-utils python3 python3-aiosmtpd xvfb xauth fonts-dejavu-core tzdata locales faketime
    libreoffice-calc-nogui
    postgresql libpq-dev clang libclang-rt-14-dev
    dpkg-dev lintian man-db systemd
    libmicrohttpd-dev chromium sqlite3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests format numbers under a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
