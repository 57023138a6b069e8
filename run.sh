#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on its embedded
# database. Arguments go to the program (--home DIR, --db URL).
source "$(dirname "$0")/scripts/common.sh"
install_missing
build
exec "$BUILD/src/app/lanting" "$@"
