# Sourced by test.sh: the Debian package is built and checked with lintian,
# installed on this machine, started headless far enough to make its
# database and show the login window, and removed again; the user's data
# stays. Any failure fails the tests; package_cleanup (in test.sh's exit
# trap) removes what an interrupted check left.

PKG_HOME=
PKG_INSTALLED=

pkg_sudo() {
    if [ "$(id -u)" -ne 0 ]; then sudo -n env DEBIAN_FRONTEND=noninteractive "$@"
    else env DEBIAN_FRONTEND=noninteractive "$@"; fi
}

package_cleanup() {
    [ -n "$PKG_INSTALLED" ] && pkg_sudo apt-get remove -y -q lanting >/dev/null 2>&1
    [ -n "$PKG_HOME" ] && rm -rf "$PKG_HOME"
    PKG_INSTALLED= PKG_HOME=
}

pkg_fail() {
    echo "package: $*" >&2
    return 1
}

package_check() {
    local deb out version
    deb=$("$ROOT/scripts/package.sh") || pkg_fail "build or lintian failed" || return 1
    version=$(dpkg-deb -f "$deb" Version)
    # This build, even over one at the same version left installed; its
    # dependencies only, so the machine is left as it was found.
    pkg_sudo apt-get install -y -q --reinstall --no-install-recommends "$deb" >/dev/null \
        || pkg_fail "apt install $deb failed" || return 1
    PKG_INSTALLED=1
    PKG_HOME=$(mktemp -d)
    [ "$(lanting --version)" = "lanting $version" ] \
        || pkg_fail "lanting --version said: $(lanting --version)" || return 1
    for f in /usr/share/applications/lanting.desktop \
             /usr/share/icons/hicolor/48x48/apps/lanting.png \
             /usr/share/metainfo/example.lanting.Lanting.metainfo.xml \
             /usr/share/man/man1/lanting.1.gz /usr/share/doc/lanting/copyright \
             /usr/share/lanting/m.xls; do
        [ -f "$f" ] || pkg_fail "$f missing" || return 1
    done
    # As a user would start it from the menu: its data in the user's folder.
    out=$(HOME="$PKG_HOME" XDG_DATA_HOME="$PKG_HOME/data" QT_QPA_PLATFORM=offscreen \
          timeout 60 lanting --quit-when-ready 2>"$PKG_HOME/stderr") \
        || pkg_fail "the installed program did not start: $(cat "$PKG_HOME/stderr")" || return 1
    case "$out" in
        "ready: $PKG_HOME/data/lanting 岚汀会员管理系统"*) ;;
        *) pkg_fail "the installed program said: $out" || return 1 ;;
    esac
    [ -s "$PKG_HOME/data/lanting/qzdb.qdb" ] || pkg_fail "no database in the user's folder" || return 1
    pkg_sudo apt-get remove -y -q lanting >/dev/null || pkg_fail "apt remove failed" || return 1
    PKG_INSTALLED=
    [ ! -e /usr/bin/lanting ] || pkg_fail "the program stayed after removal" || return 1
    [ -s "$PKG_HOME/data/lanting/qzdb.qdb" ] || pkg_fail "removal took the user's data" || return 1
    package_cleanup
    echo "package: $deb built, lintian-clean, installed, started, removed"
}
