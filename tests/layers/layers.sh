#!/usr/bin/env bash
# layers.sh BIN SOURCE: the dependency arrows that the build must keep.
# - Programs that read reports or jobs load neither libpq nor the hour archive.
# - rthost reaches the report core only through the module it loads.
# - Nothing loads libcurl or libpq at start: only the alerts' and the
#   PostgreSQL archive's own libraries do.
# - The archive's interface names no archive behind it: no header of
#   host/archive/ includes one of dayfile/ or pg/, and outside those folders
#   only their own tests, benchmarks and fuzzers do.
set -u
bin=$1 src=$2
failed=0
fail() { echo "layers: $*"; failed=1; }

for f in libTripcore.so Tripview twdump; do
    [ -e "$bin/$f" ] || { fail "$bin/$f is missing"; continue; }
    deps=$(ldd "$bin/$f") || { fail "ldd $f failed"; continue; }
    for lib in libpq.so libhost_archive.so libhost_request.so; do
        if grep -q "$lib" <<<"$deps"; then fail "$f loads $lib"; fi
    done
done

if ldd "$bin/rthost" | grep -q libTripcore.so; then fail "rthost loads libTripcore.so"; fi

# The network and the database come as libraries loaded when a home or a job
# uses them: the programs and the module link neither libcurl nor libpq.
for f in rthost libTripplug.so libhost_archive.so libhost_notify.so; do
    deps=$(ldd "$bin/$f") || { fail "ldd $f failed"; continue; }
    for lib in libcurl.so libpq.so; do
        if grep -q "$lib" <<<"$deps"; then fail "$f loads $lib"; fi
    done
done

cd "$src" || exit 1
hits=$(grep -l -E '#include "archive/(dayfile|pg)/' host/archive/*.h 2>/dev/null)
[ -z "$hits" ] || fail "interface headers include a backend's: $hits"
outside=$(grep -rl -E '#include "archive/(dayfile|pg)/' --include='*.h' --include='*.cpp' \
    host plugin viewer tools s_Reports 2>/dev/null | grep -v -E '^host/archive/(dayfile|pg)/')
[ -z "$outside" ] || fail "a backend's header included outside its folder: $outside"

[ "$failed" -eq 0 ] && echo "layers: all arrows point one way"
exit "$failed"
