#!/usr/bin/env bash
# Installs what is missing, builds with optimisation, and starts the program
# on its embedded database. Arguments go to the program (--home DIR, --db URL).
source "$(dirname "$0")/scripts/common.sh"
install_missing
build "$RELEASE" Release --target lanting lanting_template lanting_help
exec "$RELEASE/src/app/lanting" "$@"
