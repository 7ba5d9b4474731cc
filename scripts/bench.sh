#!/usr/bin/env bash
# Runs every benchmark of the build and prints its figures. The archive
# benchmarks get a PostgreSQL server of their own for their PostgreSQL column:
# a cluster in a temporary folder (tests/pg/pg-cluster.sh), its connection
# string in TW_BENCH_PG, stopped on every way out. Without PostgreSQL they
# measure the rest and say why the column is skipped.
set -euo pipefail
build=${1:-build}
here="$(cd "$(dirname "$0")/.." && pwd)"
state="$(mktemp -d /tmp/tw-bench-pg.XXXXXX)"
child=
cleanup() {
    [ -z "$child" ] || kill "$child" 2>/dev/null || true
    bash "$here/tests/pg/pg-cluster.sh" stop "$state/cluster" >/dev/null 2>&1 || true
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if bash "$here/tests/pg/pg-cluster.sh" start "$state/cluster" 2>"$state/start.log"; then
    TW_BENCH_PG="$(cat "$state/cluster/conninfo")"
    export TW_BENCH_PG
else
    echo "bench: no PostgreSQL server for the benchmarks: $(tail -n 1 "$state/start.log")"
    unset TW_BENCH_PG
fi
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    # In the background, so that a signal ends the run at once (the trap runs
    # during wait, not after a benchmark that may take a minute).
    "$b" &
    child=$!
    wait "$child"
    child=
done
