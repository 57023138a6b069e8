# Sourced by test.sh: a real CUPS print queue for the receipt tests. The
# queue passes each job unchanged to a socket on loopback, where the test
# listens and reads the printed page (a PDF) back. Sets LANTING_TEST_PRINTER
# and LANTING_TEST_PRINTER_PORT.

scheduler_running() {
    LC_ALL=C lpstat -r 2>/dev/null | grep -q "scheduler is running"
}

print_queue_start() {
    local queue=LantingReceipt port=56310
    while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    # lpstat -r exits 0 either way; only its text tells whether cupsd runs.
    if ! scheduler_running; then
        mkdir -p /run/cups
        cupsd || { echo "cupsd did not start" >&2; return 1; }
        for _ in $(seq 50); do scheduler_running && break; sleep 0.2; done
    fi
    local out
    out=$(lpadmin -p "$queue" -E -v "socket://127.0.0.1:$port" -m raw 2>&1) \
        || { echo "could not add the print queue $queue: $out" >&2; return 1; }
    cancel -a "$queue" 2>/dev/null || true
    export LANTING_TEST_PRINTER=$queue LANTING_TEST_PRINTER_PORT=$port
    echo "Print queue $queue prints to 127.0.0.1:$port"
}
