#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under the prefix /opt/tripwatch
# and uses the installed programs from outside the build tree with a bare
# environment: rthost demo, rthost run --catch-up, twdump. Then checks that
# every option each program's --help lists is in its manual page and the
# reverse.
set -euo pipefail
build="$1"
source="$2"
work="$(mktemp -d /tmp/tw-install.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /opt/tripwatch >"$work/install.log" ||
    fail "cmake --install failed: $(tail -n 3 "$work/install.log")"
prefix="$work/root/opt/tripwatch"
for f in bin/rthost bin/Tripview bin/twdump lib/tripwatch/libTripplug.so \
    share/man/man1/rthost.1.gz share/doc/tripwatch/README.md share/tripwatch/examples/README.md \
    share/tripwatch/templates/Tripwatch.xls \
    lib/systemd/system/tripwatch-daily@.service lib/systemd/system/tripwatch-daily@.timer \
    lib/systemd/system/tripwatch-serve@.service lib/tripwatch/libTripweb.so \
    lib/tripwatch/libTripviewWindow.so lib/tripwatch/libTripplugDialogs.so \
    lib/tripwatch/libhost_archive_pg.so lib/tripwatch/libhost_notify_curl.so; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# No installed binary looks for libraries in the build tree.
for f in "$prefix"/bin/* "$prefix"/lib/tripwatch/*.so; do
    if readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "$(basename "$f") looks for libraries in the build folder"
    fi
done

# The installed programs, from a folder of their own, with a bare environment.
cd "$work"
run() { env -i PATH=/usr/bin:/bin TZ=Europe/Moscow "$@"; }
run "$prefix/bin/rthost" demo "$work/home" --days 3 --end 2026-03-01 --background 10 >demo.out ||
    fail "rthost demo failed: $(cat demo.out)"
run "$prefix/bin/rthost" run "$work/home" --catch-up --today 2026-03-01 >run.out 2>run.err ||
    fail "rthost run --catch-up failed: $(cat run.out run.err)"
expected="Catch-up of job Daily: 1 day(s), 2026-02-28 .. 2026-02-28 (no earlier report)"
[ "$(head -n 1 run.out)" = "$expected" ] || fail "rthost run printed: $(head -n 1 run.out)"
report="$work/home/Reports/Daily 28-02-2026 00_00-00_00.twr"
run "$prefix/bin/twdump" "$report" >dump.json || fail "twdump failed"
grep -q '"Start": "2026-02-28 00:00:00"' dump.json || fail "twdump printed: $(head -c 300 dump.json)"
run QT_QPA_PLATFORM=offscreen "$prefix/bin/Tripview" --batch --path "$work/home/Reports" \
    --from 2026-02-28 --to 2026-03-01 --stats "$work/stats" >batch.out 2>&1 ||
    fail "Tripview --batch failed: $(cat batch.out)"
# The charts come from the window library, found beside the module.
grep -q '^chart: ' batch.out || fail "Tripview --batch drew no chart: $(cat batch.out)"
# The web view's library is found beside the module: the server listens.
# (env itself in the background, not the function: the signal goes to rthost)
env -i PATH=/usr/bin:/bin "$prefix/bin/rthost" serve "$work/home" --listen 127.0.0.1:0 \
    >serve.out 2>&1 &
serving=$!
for _ in $(seq 50); do grep -q '^listening on' serve.out && break; sleep 0.1; done
kill "$serving" 2>/dev/null
wait "$serving" || fail "rthost serve failed: $(cat serve.out)"
grep -q '^listening on http://127.0.0.1:[0-9]*/$' serve.out || fail "rthost serve printed: $(cat serve.out)"

# Options of a --help text, and of a manual page's source, one a line.
help_options() { grep -oE '(^|[ ,])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
man_options() { sed 's/\\-/-/g' "$1" | grep -oE -- '--[a-z][a-z-]*|(^|[^a-z-])-[a-z]\b' |
    grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
check_page() {
    local page="$1" help="$2" missing stale
    missing="$(comm -23 <(help_options <<<"$help") <(man_options "$page"))"
    stale="$(comm -13 <(help_options <<<"$help") <(man_options "$page"))"
    [ -z "$missing" ] || fail "$(basename "$page") lacks: $(echo $missing)"
    [ -z "$stale" ] || fail "$(basename "$page") names what --help does not: $(echo $stale)"
}
rthost_help="$(run "$prefix/bin/rthost" --help)"
for sub in $(sed -n '/^Subcommands:/,$p' <<<"$rthost_help" | awk 'NR > 1 { print $1 }'); do
    grep -q "^\.B rthost $sub\b" "$source/docs/man/rthost.1" || fail "rthost.1 lacks the command $sub"
    rthost_help+=$'\n'"$(run "$prefix/bin/rthost" "$sub" --help)"
done
check_page "$source/docs/man/rthost.1" "$rthost_help"
check_page "$source/docs/man/Tripview.1" "$(run QT_QPA_PLATFORM=offscreen "$prefix/bin/Tripview" --help)"
check_page "$source/docs/man/twdump.1" "$(run "$prefix/bin/twdump" 2>&1 || true)"
echo "install_test: the installed tree works from $prefix"
