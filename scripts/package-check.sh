# Sourced by test.sh: the Debian package is built and checked with lintian,
# installed on this machine, started headless far enough to make its
# database and show the login window, and removed again; the user's data
# stays. Any failure fails the tests.

package_check() {
    local deb home out
    deb=$("$ROOT/scripts/package.sh") || { echo "package: build or lintian failed" >&2; return 1; }
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    # Its dependencies only: the machine is left as it was found.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "$deb" >/dev/null \
        || { echo "package: apt install $deb failed" >&2; return 1; }
    home=$(mktemp -d)
    (
        set -e
        [ "$(lanting --version)" = "lanting $(dpkg-query -W -f='${Version}' lanting)" ]
        for f in /usr/share/applications/lanting.desktop \
                 /usr/share/icons/hicolor/48x48/apps/lanting.png \
                 /usr/share/metainfo/example.lanting.Lanting.metainfo.xml \
                 /usr/share/man/man1/lanting.1.gz /usr/share/doc/lanting/copyright \
                 /usr/share/lanting/m.xls; do
            [ -f "$f" ] || { echo "package: $f missing" >&2; exit 1; }
        done
        # As a user would start it from the menu: its data in the user's folder.
        out=$(HOME="$home" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=offscreen \
              timeout 60 lanting --quit-when-ready 2>"$home/stderr") || { cat "$home/stderr" >&2; exit 1; }
        case "$out" in
            "ready: $home/data/lanting 岚汀会员管理系统"*) ;;
            *) echo "package: the installed program said: $out" >&2; exit 1 ;;
        esac
        [ -s "$home/data/lanting/qzdb.qdb" ]
    ) || { echo "package: the installed program did not start as it should" >&2
           "${sudo[@]}" apt-get remove -y -q lanting >/dev/null; rm -rf "$home"; return 1; }
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q lanting >/dev/null \
        || { echo "package: apt remove failed" >&2; rm -rf "$home"; return 1; }
    local kept=0
    [ ! -e /usr/bin/lanting ] && [ -s "$home/data/lanting/qzdb.qdb" ] && kept=1
    rm -rf "$home"
    [ "$kept" = 1 ] || { echo "package: removal took the program's data or left the program" >&2; return 1; }
    echo "package: $deb built, lintian-clean, installed, started, removed"
}
