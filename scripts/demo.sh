#!/usr/bin/env bash
# Builds a demo home and shows what the system makes of it.
set -euo pipefail
build=${1:-build}
home=${2:-demo-home}
bin="$build/bin"

echo "== The report module"
"$bin/rthost" info
if "$bin/rthost" --help 2>/dev/null | grep -q '^ *demo'; then
    echo
    echo "== A demo plant in $home"
    "$bin/rthost" demo "$home"
fi
