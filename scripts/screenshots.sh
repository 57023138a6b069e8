#!/bin/bash
# Renders the README's pictures of the main screens from the demonstration
# shop of the screen test, on a 1366×768 till, into docs/screens/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake --build "$ROOT/build" --target tst_core_screens
mkdir -p "$ROOT/docs/screens"
LANTING_SCREENSHOTS="$ROOT/docs/screens" LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM="offscreen:configfile=$ROOT/tests/core/till-screen.json" \
    "$ROOT/build/tests/core/tst_core_screens" pictures
