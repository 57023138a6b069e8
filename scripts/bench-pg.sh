# Sourced by bench.sh --postgres: a PostgreSQL server for the benchmark,
# kept between runs in a data folder outside the repository
# ($LANTING_BENCH_PG_DIR, else /var/tmp/lanting-bench-pg), listening on
# loopback only, and the embedded benchmark file copied into it once.

bench_pg_start() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
    [ -n "$bin" ] || { echo "PostgreSQL server binaries not found" >&2; return 1; }
    BENCH_PG_DIR=${LANTING_BENCH_PG_DIR:-/var/tmp/lanting-bench-pg}
    case $BENCH_PG_DIR in
    *[[:space:]]*) echo "LANTING_BENCH_PG_DIR must not hold blanks: $BENCH_PG_DIR" >&2; return 1 ;;
    esac
    BENCH_PG_BIN=$bin
    BENCH_PG_AS=()
    mkdir -p "$BENCH_PG_DIR"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$BENCH_PG_DIR"
        BENCH_PG_AS=(runuser -u postgres --)
    fi
    local port=55532
    while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    if [ ! -f "$BENCH_PG_DIR/data/PG_VERSION" ]; then
        # A UTF-8 locale, as a shop's server has: pg_trgm takes Chinese
        # characters for letters only then.
        "${BENCH_PG_AS[@]}" "$bin/initdb" -D "$BENCH_PG_DIR/data" -U lanting --auth=trust -E UTF8 \
            --locale=C.UTF-8 >"$BENCH_PG_DIR/initdb.log" 2>&1 || { cat "$BENCH_PG_DIR/initdb.log" >&2; return 1; }
    fi
    # One left running by a run that was stopped halfway is stopped first.
    "${BENCH_PG_AS[@]}" "$bin/pg_ctl" -D "$BENCH_PG_DIR/data" status >/dev/null 2>&1 &&
        "${BENCH_PG_AS[@]}" "$bin/pg_ctl" -D "$BENCH_PG_DIR/data" -m fast -w stop >/dev/null
    # A server as a shop would set one up on a machine like this one:
    # durable commits, a gigabyte of shared buffers.
    "${BENCH_PG_AS[@]}" "$bin/pg_ctl" -D "$BENCH_PG_DIR/data" -l "$BENCH_PG_DIR/server.log" -w -t 120 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $BENCH_PG_DIR -c shared_buffers=1GB -c max_wal_size=4GB" \
        start >/dev/null || { cat "$BENCH_PG_DIR/server.log" >&2; return 1; }
    BENCH_PG_PORT=$port
    "${BENCH_PG_AS[@]}" "$bin/psql" -h 127.0.0.1 -p "$port" -U lanting -d postgres -qtAc \
        "SELECT 1 FROM pg_database WHERE datname = 'bench'" | grep -q 1 ||
        "${BENCH_PG_AS[@]}" "$bin/psql" -h 127.0.0.1 -p "$port" -U lanting -d postgres -qc "CREATE DATABASE bench"
    export LANTING_BENCH_PG="postgresql://lanting@127.0.0.1:$port/bench"
    echo "PostgreSQL benchmark server on 127.0.0.1:$port ($BENCH_PG_DIR)"
}

bench_pg_stop() {
    [ -n "${BENCH_PG_DIR:-}" ] || return 0
    "${BENCH_PG_AS[@]}" "$BENCH_PG_BIN/pg_ctl" -D "$BENCH_PG_DIR/data" -m fast stop >/dev/null 2>&1 || true
}

bench_psql() {
    "$BENCH_PG_BIN/psql" -h 127.0.0.1 -p "$BENCH_PG_PORT" -U lanting -d bench -v ON_ERROR_STOP=1 "$@"
}

# bench_pg_load FILE: the tables of the embedded file FILE into the server's
# database, whose tables the program has made; once for each file
# (bench_loaded names the file copied last).
# Amounts are kept in ten-thousandths in the file and as decimals on the
# server; each is written out exactly, digit by digit.
bench_pg_load() {
    local file=$1
    [ -s "$file" ] || { echo "No benchmark data at '$file'" >&2; return 1; }
    if [ "$(bench_psql -qtAc "SELECT file FROM bench_loaded" 2>/dev/null)" = "$file" ]; then
        return 0
    fi
    bench_psql -qc "DROP TABLE IF EXISTS bench_loaded"
    local t cols select c type copied=0
    for t in $(bench_psql -qtAc "SELECT table_name FROM information_schema.tables
            WHERE table_schema = 'public' AND table_type = 'BASE TABLE'
            AND table_name NOT IN ('schemaver') AND table_name NOT LIKE 'bench%' ORDER BY 1"); do
        sqlite3 "$file" "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '$t'" | grep -q 1 || continue
        cols=() select=()
        while IFS='|' read -r c type; do
            cols+=("$c")
            case $type in
            numeric) select+=("CASE WHEN $c IS NULL THEN NULL ELSE (CASE WHEN $c < 0 THEN '-' ELSE '' END)
                || (abs($c) / 10000) || '.' || substr('0000' || (abs($c) % 10000), -4) END") ;;
            timestamp*) select+=("NULLIF($c, '')") ;;
            *) select+=("$c") ;;
            esac
        done < <(bench_psql -qtAc "SELECT column_name, data_type FROM information_schema.columns
                WHERE table_schema = 'public' AND table_name = '$t' ORDER BY ordinal_position")
        echo "Copying $t ..."
        local IFS=,
        bench_psql -qc "TRUNCATE $t"
        sqlite3 -csv "$file" "SELECT ${select[*]} FROM $t" |
            bench_psql -qc "\\copy $t (${cols[*]}) FROM STDIN WITH (FORMAT csv)"
        unset IFS
        copied=$((copied + 1))
        # The numbering goes on after the rows copied.
        if bench_psql -qtAc "SELECT 1 FROM information_schema.columns WHERE table_schema = 'public'
                AND table_name = '$t' AND column_name = 'id' AND is_identity = 'YES'" | grep -q 1; then
            bench_psql -qtAc "SELECT setval(pg_get_serial_sequence('$t', 'id'), max(id)) FROM $t
                    HAVING max(id) IS NOT NULL" >/dev/null
        fi
    done
    [ "$copied" -gt 0 ] || { echo "No table of '$file' was copied" >&2; return 1; }
    echo "Analysing ..."
    bench_psql -qc "VACUUM ANALYZE"
    bench_psql -qc "CREATE TABLE bench_loaded (file text, at timestamp DEFAULT now())"
    echo "INSERT INTO bench_loaded (file) VALUES (:'file')" | bench_psql -q -v file="$file"
}
