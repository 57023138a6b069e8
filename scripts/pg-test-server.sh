# Sourced by test.sh: a throwaway PostgreSQL server for the tests, in a data
# folder of its own, listening on loopback only, run by an unprivileged user.
# Sets LANTING_TEST_PG; pg_test_stop removes everything again.

pg_test_start() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$bin" ] || { echo "PostgreSQL server binaries not found" >&2; return 1; }
    PG_TEST_DIR=$(mktemp -d /tmp/lanting-pg.XXXXXX)
    local as=()
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$PG_TEST_DIR"
        as=(runuser -u postgres --)
    fi
    local port=55432
    while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    "${as[@]}" "$bin/initdb" -D "$PG_TEST_DIR/data" -U lanting --auth=trust -E UTF8 --no-locale >"$PG_TEST_DIR/initdb.log" 2>&1 \
        || { cat "$PG_TEST_DIR/initdb.log" >&2; return 1; }
    "${as[@]}" "$bin/pg_ctl" -D "$PG_TEST_DIR/data" -l "$PG_TEST_DIR/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $PG_TEST_DIR -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null || { cat "$PG_TEST_DIR/server.log" >&2; return 1; }
    PG_TEST_BIN=$bin
    PG_TEST_AS=("${as[@]}")
    export LANTING_TEST_PG="postgresql://lanting@127.0.0.1:$port/postgres"
    echo "PostgreSQL test server on 127.0.0.1:$port"
}

pg_test_stop() {
    [ -n "${PG_TEST_DIR:-}" ] || return 0
    "${PG_TEST_AS[@]}" "$PG_TEST_BIN/pg_ctl" -D "$PG_TEST_DIR/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$PG_TEST_DIR"
    PG_TEST_DIR=
}
