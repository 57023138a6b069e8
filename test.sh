#!/usr/bin/env bash
# Installs what is missing, builds, starts the test servers and runs the
# whole test suite headless. Exits non-zero on any failure.
source "$(dirname "$0")/scripts/common.sh"
source "$ROOT/scripts/pg-test-server.sh"
source "$ROOT/scripts/print-test-queue.sh"
source "$ROOT/scripts/pcsc-test-reader.sh"
source "$ROOT/scripts/package-check.sh"
install_missing
build
trap 'pg_test_stop; pcsc_reader_stop; package_cleanup' EXIT
pg_test_start
print_queue_start
pcsc_reader_start
export LANTING_REQUIRE_PG=1 LANTING_REQUIRE_PRINTER=1
export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j2 "$@"
# With no arguments (the whole suite), the package too.
if [ $# -eq 0 ]; then
    package_check
fi
