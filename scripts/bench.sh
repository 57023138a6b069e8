#!/usr/bin/env bash
# Builds the benchmarks with optimisation (build-release/, apart from the
# tests' debug build) and runs the one at a chain's size. Arguments and the
# LANTING_BENCH_* variables are described in bench/bench_scale.cpp.
#
#   scripts/bench.sh              on the embedded file
#   scripts/bench.sh --postgres   on a PostgreSQL server of its own, started
#                                 for the run (the data copied there once)
source "$(dirname "$0")/common.sh"
install_missing
build "$RELEASE" Release --target bench_scale
if [ "${1:-}" != --postgres ]; then
    exec "$RELEASE/bench/bench_scale" "$@"
fi
shift
source "$ROOT/scripts/bench-pg.sh"
trap bench_pg_stop EXIT
bench_pg_start
"$RELEASE/bench/bench_scale" --generate
"$RELEASE/bench/bench_scale" --schema
data=$("$RELEASE/bench/bench_scale" --path)
bench_pg_load "$data"
"$RELEASE/bench/bench_scale" "$@"
