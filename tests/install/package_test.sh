#!/usr/bin/env bash
# Builds the Debian package (CPack), checks its contents against the install
# layout, that its dependencies were computed from the binaries, that lintian
# finds no error in it and that systemd accepts its units.
set -euo pipefail
build="$1"
work="$(mktemp -d /tmp/tw-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack failed: $(tail -n 5 "$work/cpack.log")"
deb="$(ls "$work"/out/tripwatch_*_*.deb)"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' | grep -v '/$' | sort >"$work/contents"
for f in usr/bin/rthost usr/bin/Tripview usr/bin/twdump usr/lib/tripwatch/libTripplug.so \
    usr/lib/tripwatch/libTripplugDialogs.so usr/lib/tripwatch/libtripplug_core.so \
    usr/lib/tripwatch/libhost_archive_pg.so usr/lib/tripwatch/libhost_notify_curl.so \
    usr/lib/tripwatch/libTripcore.so usr/share/man/man1/rthost.1.gz \
    usr/share/man/man1/Tripview.1.gz usr/share/man/man1/twdump.1.gz \
    usr/share/doc/tripwatch/copyright usr/share/doc/tripwatch/changelog.gz \
    usr/share/tripwatch/templates/Tripwatch.xls \
    usr/lib/systemd/system/tripwatch-daily@.service usr/lib/systemd/system/tripwatch-daily@.timer \
    usr/lib/systemd/system/tripwatch-serve@.service; do
    grep -qx "$f" "$work/contents" || fail "the package lacks $f"
done
# Only the FHS folders a package may use.
if grep -vE '^usr/(bin|lib|share)/' "$work/contents"; then fail "files outside the FHS folders"; fi

# Dependencies from dpkg-shlibdeps: the libraries the binaries link.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libpq5 libsqlite3-0 zlib1g libfreexl1; do
    tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF "$lib" ||
        fail "no dependency on $lib: $depends"
done

lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
if grep -E '^E: ' "$work/lintian.txt"; then fail "lintian reports errors"; fi

# The units as systemd reads them, for an instance, with the package's rthost
# and manual pages.
dpkg-deb -x "$deb" "$work/root"
mkdir "$work/units"
for unit in daily@.service daily@.timer serve@.service; do
    sed "s|/usr/bin/rthost|$work/root/usr/bin/rthost|" \
        "$work/root/usr/lib/systemd/system/tripwatch-$unit" \
        >"$work/units/tripwatch-${unit/@/@plant}"
done
MANPATH="$work/root/usr/share/man" systemd-analyze verify \
    "$work/units/tripwatch-daily@plant.service" "$work/units/tripwatch-daily@plant.timer" \
    "$work/units/tripwatch-serve@plant.service" \
    >"$work/verify.txt" 2>&1 || fail "systemd-analyze verify: $(cat "$work/verify.txt")"
echo "package_test: $(basename "$deb"), lintian: $(grep -c '^[EW]: ' "$work/lintian.txt") warning(s)"
