# Sourced by test.sh: pcscd with the virtual reader driver of vsmartcard
# (vsmartcard-vpcd, configured in /etc/reader.conf.d/vpcd), which serves
# "Virtual PCD 00 00"; the PC/SC tests put a virtual card on it
# (tests/devices/virtual_mifare.py). Sets LANTING_REQUIRE_PCSC.

PCSC_STARTED=

pcsc_reader_start() {
    if ! pgrep -x pcscd >/dev/null; then
        mkdir -p /run/pcscd
        pcscd || { echo "pcscd did not start" >&2; return 1; }
        PCSC_STARTED=1
    fi
    for _ in $(seq 50); do [ -S /run/pcscd/pcscd.comm ] && break; sleep 0.2; done
    [ -S /run/pcscd/pcscd.comm ] || { echo "pcscd does not answer" >&2; return 1; }
    export LANTING_REQUIRE_PCSC=1
    echo "pcscd serves the virtual reader"
}

# Stops pcscd again when this script started it.
pcsc_reader_stop() {
    [ -n "$PCSC_STARTED" ] && pkill -x pcscd || true
}
