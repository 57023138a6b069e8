#!/usr/bin/env bash
# Builds the Debian package of the program with optimisation (build-release/)
# and checks it with lintian; prints the package's path.
#   scripts/package.sh    then: sudo apt install ./build-release/lanting_*.deb
source "$(dirname "$0")/common.sh"
install_missing >&2
build "$RELEASE" Release --target lanting >&2
rm -f "$RELEASE"/lanting_*.deb
(cd "$RELEASE" && cpack -G DEB >&2)
deb=$(ls "$RELEASE"/lanting_*.deb)
# Errors fail; warnings are shown. The licence is the shop's own, not a free
# one, and the program is built for this architecture only.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2
echo "$deb"
