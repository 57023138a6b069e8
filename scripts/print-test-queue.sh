# Sourced by test.sh: a real CUPS print queue for the receipt tests. The
# queue passes each job unchanged to a socket on loopback, where the test
# listens and reads the printed page (a PDF) back. Sets LANTING_TEST_PRINTER
# and LANTING_TEST_PRINTER_PORT.

print_queue_start() {
    local queue=LantingReceipt port=56310
    while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    if ! lpstat -r >/dev/null 2>&1; then
        mkdir -p /run/cups
        cupsd || { echo "cupsd did not start" >&2; return 1; }
        for _ in $(seq 50); do lpstat -r >/dev/null 2>&1 && break; sleep 0.2; done
    fi
    lpadmin -p "$queue" -E -v "socket://127.0.0.1:$port" -m raw 2>/dev/null \
        || { echo "could not add the print queue $queue" >&2; return 1; }
    cancel -a "$queue" 2>/dev/null || true
    export LANTING_TEST_PRINTER=$queue LANTING_TEST_PRINTER_PORT=$port
    echo "Print queue $queue prints to 127.0.0.1:$port"
}
