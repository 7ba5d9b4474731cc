#!/usr/bin/env bash
# start|stop STATEDIR: the tests' own PostgreSQL cluster. `start` makes a cluster
# in a fresh folder below /tmp (trust authentication, a Unix socket in that
# folder, no TCP), run as the unprivileged user nobody when called as root, and
# writes its libpq connection string to STATEDIR/conninfo; `stop` stops it and
# removes its folder. CTest runs them as the setup and cleanup of the tests that
# need the server, so the server is stopped however those tests end.
set -euo pipefail
cmd="${1:?start or stop}"
state="${2:?state folder}"
bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -x "$bindir/initdb" ] || { echo "pg-cluster: PostgreSQL is not installed" >&2; exit 1; }
as=()
[ "$(id -u)" -ne 0 ] || as=(runuser -u nobody --)

stop() {
    [ -f "$state/folder" ] || return 0
    local folder
    folder="$(cat "$state/folder")"
    if [ -d "$folder/data" ]; then
        "${as[@]}" "$bindir/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$folder" "$state"
}

case "$cmd" in
    start)
        stop
        mkdir -p "$state"
        folder="$(mktemp -d /tmp/tw-pg.XXXXXX)"
        echo "$folder" >"$state/folder"
        mkdir "$folder/data" "$folder/run"
        [ ${#as[@]} -eq 0 ] || chown -R nobody "$folder"
        "${as[@]}" "$bindir/initdb" -D "$folder/data" -A trust -U tripwatch -E UTF8 --no-locale -N \
            >"$folder/run/initdb.log" 2>&1 || { cat "$folder/run/initdb.log" >&2; exit 1; }
        "${as[@]}" "$bindir/pg_ctl" -D "$folder/data" -l "$folder/run/server.log" -w -t 60 \
            -o "-k $folder/run -c listen_addresses='' -c fsync=off -c full_page_writes=off" \
            start >/dev/null || { cat "$folder/run/server.log" >&2; exit 1; }
        echo "host=$folder/run user=tripwatch dbname=postgres" >"$state/conninfo"
        ;;
    stop) stop ;;
    *) echo "pg-cluster: start or stop" >&2; exit 2 ;;
esac
